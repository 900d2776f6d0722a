#pragma once

// The pages of the tags window, built from two HTML templates: the tag-it
// form (tags and description of one page, with the tag cloud) and the tag
// search page (side list of tags, a filter box and the pages found).
// Templates are read again for every page, so an edited template shows at
// once.

#include <string>
#include <string_view>
#include <vector>

class CColctNode;
class CFolderTreeMgr;
class CRecentPages;
class CTagItem;
class CTagStore;
class CUrlNode;
class RNode;

// What a page is built from.
struct CTagPageContext {
    CFolderTreeMgr* tree = nullptr;           // its tag store is searched, its pages listed
    const char16_t* projectName = nullptr;    // null when no project description is loaded
    bool plainSideList = false;               // the tags view setting asks for the plain list
    bool keepOpen = false;                    // the keep-open box is ticked
    CRecentPages* recentTagged = nullptr;     // the recently tagged pages, for that page
};

// A page found by a tag search.
struct CTaggedPage {
    RNode* folder = nullptr;
    CUrlNode* item = nullptr;
};

class CTagPageBuilder {
public:
    // Template files, in the assets folder.
    static constexpr char16_t kTagItTemplate[] = u"tags/tagit.htm";
    static constexpr char16_t kSearchTemplate[] = u"tags/tagsearch.htm";

    // Templates are read from `templateFolder` (ending in "/"); the
    // default is the program's assets folder.
    CTagPageBuilder() = default;
    explicit CTagPageBuilder(std::u16string templateFolder) : m_folder(std::move(templateFolder)) {}

    // Each gives false, and no page, when its template cannot be read; the
    // tag-it form also when the collection or the page is missing.
    bool BuildTagItPage(const CTagPageContext& context, CColctNode* colct, CUrlNode* page, std::u16string* html) const;
    // `tag` is taken as one tag, as clicked in the main window's tag bar.
    bool BuildOneTagPage(const CTagPageContext& context, const std::u16string& tag, std::u16string* html) const;
    // `text` holds several tags, split as an item's tags are.
    bool BuildSearchPage(const CTagPageContext& context, const std::u16string& text, std::u16string* html) const;
    bool BuildRecentPage(const CTagPageContext& context, std::u16string* html) const;

    // The tag cloud: links calling addTag (the tag-it form) or ontag.
    static std::u16string BuildCloud(const CTagStore* store, bool addTag);
    // The side list of the search page: the cloud or the plain list.
    static std::u16string BuildSideList(const CTagStore* store, bool plain);

    // The pages carrying every one of `tags`, in the order of their names.
    static std::vector<CTaggedPage> FindPages(CFolderTreeMgr& tree, const std::vector<CTagItem*>& tags);
    // In ascending order of names, ignoring letter case; pages of equal
    // names keep their order.
    static void SortByName(std::vector<CTaggedPage>& pages);

    // The link of a page in a result entry: the project name, "\", each
    // folder name below the root followed by "\", the page's address.
    static std::u16string GetPageLink(const CTagPageContext& context, RNode* folder, CUrlNode* item);

    // Replaces "<TEMP_VAR NAME=name>" wherever it occurs.
    static void Fill(std::u16string& page, std::u16string_view name, const std::u16string& value);

private:
    bool LoadTemplate(const char16_t* name, std::u16string* text) const;
    // One result entry, appended to `out`.
    static void AppendEntry(const CTagPageContext& context, RNode* folder, CUrlNode* item, std::u16string& out);
    // `page` with the entries of `pages` in place of its result list.
    static void FillResults(const std::u16string& page, const CTagPageContext& context,
                            const std::vector<CTaggedPage>& pages, std::u16string* html);

    std::u16string m_folder;
};
