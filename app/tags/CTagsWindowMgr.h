#pragma once

// The tags window seen from the main window: which page it shows, the
// pending page until its view exists, the "krv:" commands of its pages,
// and what they do to the project's tags, pages and files.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CProjectTags.h"
#include "app/core/CRecentPages.h"
#include "app/tags/CTagPageBuilder.h"

class CColctNode;
class CFolderTreeMgr;
class CPageMgr;
class CProjectMgr;
class CUrlNode;
class RNode;

class CTagsWindowMgr {
public:
    // What the window shows.
    enum tagTAGSMODE : int {
        MODE_SEARCH = 0,
        MODE_TAGIT = 1,
    };

    using FormPairs = std::vector<std::pair<std::u16string, std::optional<std::u16string>>>;
    // Shows a page of another collection: its folder, the collection, the item.
    using ShowItemHook = std::function<void(RNode* folder, CColctNode* colct, CUrlNode* item)>;

    CTagsWindowMgr(CFolderTreeMgr& tree, CPageMgr& pages, CProjectMgr& projects);
    CTagsWindowMgr(const CTagsWindowMgr&) = delete;
    CTagsWindowMgr& operator=(const CTagsWindowMgr&) = delete;

    void SetShowItemHook(ShowItemHook hook) { m_showItem = std::move(hook); }
    CTagPageBuilder& GetBuilder() { return m_builder; }
    CRecentPages& GetRecentTagged() { return m_recent; }

    // Main-window commands. Tag it needs a current page; false (after the
    // message) without one, or when no page was built.
    bool TagIt();
    // The recently tagged pages.
    bool ShowTags();
    // A search page: several tags, or the text as one tag.
    bool SearchTags(const std::u16string& text, bool several);
    // Rebuilds the store from the tags of every page, sorted, and writes
    // it. "No Project" without a project.
    bool RebuildTagList();

    // Shows the window with `html`, or keeps the page until the window is ready.
    void ShowPage(const std::u16string& html);
    // The window's view exists: the pending page goes in.
    void OnWindowReady();
    bool IsReady() const { return m_bReady; }
    int GetMode() const { return m_nMode; }
    bool GetKeepOpen() const { return m_bKeepOpen; }
    void SetKeepOpen(bool keepOpen) { m_bKeepOpen = keepOpen; }

    // A "krv:" navigation of the tags window: `command` is the text after
    // "krv:", `body` the posted form body (null when nothing was posted).
    // The shell runs it outside the view's navigation handler.
    void OnCommand(const std::u16string& command, const std::string* body);

    // What the main window does with the kinds the commands send.
    void OnTagItForm(const FormPairs& pairs);  // kind 1
    void OnOpenPage(const std::u16string& data);  // kind 2
    // kind 3 is SearchTags(text, true).

    // The tag dialogs and what the main window does with their answer.
    void AskDeleteTag();
    void AskRenameTag();
    bool DeleteTag(const std::u16string& name);
    bool RenameTag(const std::u16string& oldName, const std::u16string& newName);

    // The project closed: the window's pages are of no use any more.
    void OnProjectClosed();

    // A form body: "%XX" is that byte and "+" a space, read as UTF-8, then
    // split at "&" into name=value pairs; a piece without "=" is dropped
    // and an empty value is none.
    static FormPairs DecodeFormBody(const std::string& body);
    // Where the window opens for `mode` on a screen of the given size,
    // given the rectangle remembered for that mode.
    static CQVRect GetWindowRect(int screenWidth, int screenHeight, const CQVRect& remembered);

private:
    CTagPageContext MakeContext();
    // Sets the page's tags from `text` and keeps the store current; true
    // when the tags changed. `tagAdded` tells whether a tag came to it.
    bool SetPageTags(RNode* folder, CUrlNode* item, const char16_t* text, bool* tagAdded);
    // Renames the tag on the pages at `paths`, or takes it off them when
    // `newName` is null; then writes them and shows the recent pages.
    // False when a collection could not be written: the pages keep the old
    // tags then, in memory and on disk.
    bool ReplaceTagOnPages(const std::vector<std::u16string>& paths, const std::u16string& oldName,
                           const std::u16string* newName);
    // Writes the tags file, then the pages of `paths`; undoes both when
    // either is not written. `before` is the store before the change.
    bool ChangeTagEverywhere(const CProjectTags::CSnapshot& before, const std::vector<std::u16string>& paths,
                             const std::u16string& oldName, const std::u16string* newName);
    // Writes the collections of changed pages, each once, then their
    // keywords. False at the first collection not written; `written` gets
    // the collections written until then.
    bool SaveTouchedPages(const std::vector<std::pair<RNode*, CUrlNode*>>& pages,
                          std::vector<CColctNode*>* written = nullptr);

    CFolderTreeMgr& m_tree;
    CPageMgr& m_pages;
    CProjectMgr& m_projects;
    CRecentPages m_recent = CRecentPages::ForTaggedPages();
    CTagPageBuilder m_builder;
    ShowItemHook m_showItem;
    bool m_bWindowMade = false;
    bool m_bReady = false;
    std::optional<std::u16string> m_pending;
    int m_nMode = MODE_SEARCH;
    bool m_bKeepOpen = false;
};
