#pragma once

// Search of page titles and descriptions over the project's collections,
// for the search pane: the matches as records and as list rows, and the
// opening of a match.

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

class CColctNode;
class CFolderNode;
class CFolderTreeMgr;
class CUrlNode;
class RNode;

// One matching page. The nodes are the project's; a record may outlive
// them, so they are only looked at again after being found in the tree.
struct CTitleResult {
    CFolderNode* host = nullptr;  // holds the page's collection
    std::u16string pagePath;      // the folder's directory + the address; "" when not a plain name
    CUrlNode* item = nullptr;     // not owned
    std::u16string title;
    // The item's identifier at search time, so a new item that took the
    // place of a deleted one is not taken for it.
    std::array<char16_t, 37> uuid{};
};

// The three texts of a row of the result list.
struct CTitleRow {
    std::u16string title;
    std::u16string folder;  // "\" + each folder name below the root; "" for the root
    std::u16string file;    // the page's address
};

class CTitleSearch {
public:
    struct CColumn {
        const char16_t* heading;
        int width;
    };
    static constexpr CColumn kColumns[] = {{u"Title", 170}, {u"Folder", 200}, {u"File", 450}};
    static constexpr char16_t kNotFoundText[] = u"Can not find this Page, it may be removed!";

    using ShowItemHook = std::function<void(RNode* folder, CColctNode* colct, CUrlNode* item)>;

    explicit CTitleSearch(CFolderTreeMgr& tree) : m_tree(tree) {}

    // Shows a found page: its folder, its collection and the item.
    void SetShowItemHook(ShowItemHook hook) { m_showItem = std::move(hook); }

    // Forgets the previous results, then looks for `text` (in any case) in
    // the names and descriptions of the pages at the first level of every
    // collection in tree order, or only of the current folder's; loads the
    // collections not loaded yet. The number of matches; 0 for an empty
    // text.
    size_t Search(const std::u16string& text, bool allColcts);
    void Clear();

    const std::u16string& GetQuery() const { return m_query; }
    std::span<const CTitleResult> GetResults() const { return {m_results.data(), m_nResults}; }
    // The texts of a record's row; to be taken while the record is fresh,
    // as the list is filled after a search.
    CTitleRow GetRow(size_t row) const;

    // Shows the page of `row` when it is still in the project; otherwise
    // says it may have been removed. True when shown.
    bool OpenResult(size_t row);

private:
    struct Colct {
        RNode* folder;
        CColctNode* colct;
        std::u16string directory;  // "" when the folder has no place on disk
    };
    // Collections walked side by side.
    static constexpr size_t kLanes = 8;

    // The items at the first level of the collections
    // m_colcts[first, first + count) into m_items.
    void GatherItems(size_t first, size_t count);
    // The items of m_items whose texts hold the query into m_found.
    void MatchItems();
    // A record for each page of m_found.
    void MakeResults();
    // The folder record holding `host` in the current tree, or null.
    RNode* FindFolder(const CFolderNode* host) const;

    CFolderTreeMgr& m_tree;
    ShowItemHook m_showItem;
    std::u16string m_query;
    // Records keep their storage from search to search; the first
    // m_nResults are the results.
    std::vector<CTitleResult> m_results;
    size_t m_nResults = 0;
    // Reused from search to search.
    struct Level {
        RNode* folder = nullptr;
        std::u16string relative;  // its place below the project's content folder
        bool usable = true;       // false when it has none
    };
    std::vector<Level> m_levels;  // the folders above the one visited
    // The first m_nColcts are to search, in tree order.
    std::vector<Colct> m_colcts;
    size_t m_nColcts = 0;
    std::array<std::vector<CUrlNode*>, kLanes> m_lanes;  // items of the collections walked side by side
    struct Item {
        CUrlNode* node;
        size_t colct;  // in m_colcts
    };
    std::vector<Item> m_items;  // of those collections, in order
    std::vector<Item> m_found;  // the matches among them
};
