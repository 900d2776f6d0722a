#pragma once

// The pages of the open project, one manager per main window: the page
// being shown, new pages, saving with the "~" copy, leaving a page, titles
// and renames, moving, deleting and flags. Installs the leave-page hook
// that folder and project operations ask before the view changes.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/core/CFileStamp.h"
#include "app/core/CPageHistory.h"

class CColctNode;
class CFolderTreeMgr;
class CRecentPages;
class CUrlNode;
class RNode;

class CPageMgr {
public:
    // One row of the flag menu: command 100 + flag, picture flag + 3 of
    // "Flags.bmp" (flag 0 has none).
    struct CFlagEntry {
        int flag;
        int command;
        int picture;
        const char16_t* text;
    };
    static constexpr int kFlagCommandBase = 100;
    static constexpr int kFlagCount = 11;
    static const std::array<CFlagEntry, kFlagCount>& GetFlagTable();

    // Results of SavePage.
    enum : int {
        SAVE_FAILED = -1,
        SAVE_NOTHING = 0,
        SAVE_DONE = 1,
    };

    // Moves a deleted page file and its assets folder to the trash, off
    // the interface thread.
    using TrashPageHook = std::function<void(const std::u16string& file)>;

    CPageMgr(CFolderTreeMgr& tree, CRecentPages& recent, TrashPageHook trashPage);
    // Removes the leave-page hook and frees the deleted items.
    ~CPageMgr();
    CPageMgr(const CPageMgr&) = delete;
    CPageMgr& operator=(const CPageMgr&) = delete;

    // Showing. Both leave the current page first; false when that was
    // refused, or when the item cannot be shown. A folder without a page
    // to show clears the view.
    bool ShowFolder(RNode* folder);
    bool ShowItem(CColctNode* colct, CUrlNode* item);
    // The page being shown and its collection; null when none, also after
    // the tree that held it went away.
    CUrlNode* GetCurrentPage();
    CColctNode* GetCurrentColct();

    // A new empty page "Untitled-N" in the current folder, shown; null when
    // the page was not left or there is no collection.
    CUrlNode* NewPage();
    // SAVE_DONE, SAVE_FAILED (the user was told) or SAVE_NOTHING when the
    // view holds no document.
    [[nodiscard]] int SavePage(CUrlNode* item);
    // Saves when the view has changes; false when the save failed and the
    // user chose to stay on the page.
    bool SaveIfModified(CUrlNode* item);
    // Before another page, folder or project is shown: the title box, then
    // save-if-modified, then the item row and the recent pages.
    bool LeavePage();

    // The title as typed (it is cleaned first). True when the item bears
    // it afterwards; a rename whose files are not all written is undone.
    bool RenamePage(CUrlNode* item, const std::u16string& title);
    // Into the collection of `target`, with a " (N)" name when the target
    // has the name already. True when moved; when a file of the move could
    // not be written, files and collections are as they were before.
    bool MovePage(CUrlNode* item, RNode* target);
    // After the user confirmed; the file goes to the trash.
    bool DeletePage(CUrlNode* item);
    // Writes the collection only when the flag changes.
    bool SetFlag(CUrlNode* item, int flag);

    // Page history of the page on show. Its versions, newest first, and
    // its file in `pageFile` ("" when no saved page is shown).
    std::vector<CPageHistory::CVersion> ListVersions(std::u16string* pageFile = nullptr);
    // Puts `version` (one of ListVersions) back as the page, after the
    // unsaved edits were saved and the file as it is now was kept as a
    // version, so the restore can be undone; then shows it again. False
    // when nothing was restored (the user was told why, or refused).
    bool RestoreVersion(const std::u16string& version);
    // After asking: deletes the versions of the page on show, or those of
    // the pages deleted from the current folder. True when done.
    bool EmptyHistory();
    bool EmptyDeletedHistory();

    // The page view finished loading `loaded` while it should show the
    // current page's file; false when they differ (the file was copied to
    // a ".bak" and the user asked).
    bool CheckLoadedAddress(const std::u16string& loaded);

    // Rewrites the page file of `item` at `file` through `edit`, which gets
    // the page in UTF-8 and says whether it changed it. The page on show is
    // taken from the view, unsaved changes included, and shown again from
    // its file. False when nothing was written (a failure is shown).
    bool RewritePage(CUrlNode* item, const std::u16string& file, const std::function<bool(std::string& html)>& edit);
    // Another program may have changed files of the folder on show (the
    // window's file monitor calls this once a burst of changes is over).
    // The page on show is shown again from its file, or, with unsaved
    // edits, the user keeps one version and the other goes to the page
    // history; a page file that went away is said, the edits stay. The
    // folder tree and the folder's collection are merged with their files.
    void CheckOutsideChanges();
    // The directories whose changes concern the folder on show: its own,
    // its data folder and the top folder's (the tree file). Empty without
    // a project.
    std::vector<std::u16string> GetWatchedFolders();

    // The tags as the file's keywords attribute; clears the switch when
    // written or when the file system keeps no such attributes.
    static void WriteKeywords(const std::u16string& path, CUrlNode* item);

    // The items deleted in this run, kept until the manager goes.
    const std::vector<CUrlNode*>& GetDeletedItems() const { return m_deleted; }

private:
    // The collection whose items include `item` among the loaded ones, and
    // its folder; null when the item is in none.
    CColctNode* FindColct(CUrlNode* item, RNode** folder = nullptr) const;
    static RNode* FolderOfColct(CColctNode* colct);
    // The folder's directory as the user is told about it, made or not.
    std::u16string GetShownDirectory(RNode* folder) const;
    bool IsCurrent(CUrlNode* item);
    void SetCurrent(CColctNode* colct, CUrlNode* item);
    void ForgetCurrent();
    // Shows `item` without leaving the current page first.
    bool Show(CColctNode* colct, CUrlNode* item);
    void RestoreTitle(CUrlNode* item);

    // The page file written through the "~" copy; false after the message.
    [[nodiscard]] static bool WritePageFile(const std::u16string& path, const std::string& bytes);
    // Keeps `bytes` as a version of the page (giving it an identifier when
    // it has none); a failure also goes to the trace log.
    bool KeepVersion(CUrlNode* item, const std::u16string& file, const std::string& bytes);
    // Page path in the tag store, for each tag of the item; false when the
    // tags or the tree could not be written (shown; written at the close).
    bool AddTagPaths(CUrlNode* item, RNode* folder);
    bool MoveTagPaths(CUrlNode* item, const std::u16string& oldPath, const std::u16string& newPath);
    // Points the page's pictures at its renamed assets folder and writes
    // the page in UTF-8.
    void RewriteAssetLinks(CUrlNode* item, const std::u16string& file, const std::u16string& oldAssets,
                           const std::u16string& newAssets);
    // Before the page file is written over: true when it is as it was
    // read or written by us, or when the user chose to replace what
    // another program wrote (that goes to the page history).
    bool ConfirmOverwrite(CUrlNode* item, const std::u16string& file);
    void StampPage(const std::u16string& file);
    void CheckShownPage();
    // The view's document as it would be saved; empty when there is none.
    static std::string GetDocumentBytes();
    // A title of the move target: free in the collection and on disk.
    static bool IsTitleTaken(CColctNode* colct, const std::u16string& title, CUrlNode* except);

    CFolderTreeMgr& m_tree;
    TrashPageHook m_trashPage;
    CRecentPages& m_recent;
    CUrlNode* m_pPage = nullptr;
    CColctNode* m_pColct = nullptr;
    // Tells a freed page from a new one at the same address.
    std::u16string m_pageUUID;
    // Left (saved, title taken) and nothing changed since.
    bool m_bLeft = false;
    std::vector<CUrlNode*> m_deleted;
    // The page file on show as we last read or wrote it.
    CFileStamp m_stamp;
    std::u16string m_stampFile;
    bool m_bGoneTold = false;
    bool m_bChecking = false;
};
