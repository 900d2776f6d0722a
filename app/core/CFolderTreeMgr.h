#pragma once

// The project's folder tree: folders are directories under the content
// folder, each may hold a collection of pages in its ".zandrel" folder.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/CFileStamp.h"
#include "app/core/CFileSys.h"
#include "app/core/CProjectTags.h"
#include "app/core/CRecentColcts.h"
#include "app/core/CUIPort.h"

class CColctNode;
class CFolderNode;
class CTagStore;
class CUrlNode;
class RNode;

class CFolderTreeMgr {
public:
    // Folder names must be shorter than this: the folder tree file keeps
    // 199 characters of a name, and a name must come back as it went in.
    static constexpr size_t kMaxNameLength = 200;
    // Levels of folders below the root. The folder tree file nests one
    // element per level and its reader stops a little above 250.
    static constexpr int kMaxDepth = 200;

    CFolderTreeMgr();
    ~CFolderTreeMgr();
    CFolderTreeMgr(const CFolderTreeMgr&) = delete;
    CFolderTreeMgr& operator=(const CFolderTreeMgr&) = delete;

    // Paths, from the content path of the current project. The directory
    // of a folder is made when missing; "" when it cannot be.
    std::u16string GetFolderDirectory(RNode* folder);
    // "" for the root, and for a folder whose path cannot be formed (use
    // the two-argument form to tell them apart).
    std::u16string GetRelativePath(RNode* folder) const;
    std::u16string GetColctFilePath(RNode* folder);

    // The names below the root joined with "/", each followed by "/";
    // false when a name on the way is not a plain file name (a tree file
    // may hold anything), so the folder has no place on disk.
    bool GetRelativePath(RNode* folder, std::u16string* path) const;
    bool IsUsableFolder(RNode* folder) const;
    std::u16string GetFolderTreeFilePath() const;
    // The page file of a page item of `folder`: its directory + the item's
    // address. "" when the address is not a plain file name. The file may
    // be a link leading outside (see IsPageInside).
    std::u16string GetPageFilePath(RNode* folder, CUrlNode* item);
    // The same relative to the content folder, as the tag store keeps it.
    std::u16string GetPageRelativePath(RNode* folder, CUrlNode* item) const;
    // The page at `relative` (as GetPageRelativePath forms it; "\" is read
    // as "/", letter case is ignored), loading its collection when needed;
    // null when there is no such folder or page. `folder` and `colct` may
    // be null.
    CUrlNode* FindPage(const std::u16string& relative, RNode** folder = nullptr, CColctNode** colct = nullptr);
    // Every folder of the tree in document order, the root first.
    std::vector<RNode*> GetAllFolders() const;
    // The page file up to the last dot of its name + "_files".
    static std::u16string GetAssetsFolder(const std::u16string& pageFile);

    // A new tree whose root folder is rootName, written at once; false
    // when the folder tree file cannot be written.
    bool CreateNewTree(const std::u16string& rootName);
    // At open: the folder tree file (or a new tree named after the
    // project), then the recent collections file and the tags. False for a
    // file of a newer format, after its message: the project must not open.
    [[nodiscard]] bool LoadFolderTree(const std::u16string& projectName);
    [[nodiscard]] bool SaveFolderTree();
    // At close: writes what is pending, then releases the tree, the
    // collections, the tag store and the recent collections list. False
    // when something pending could not be written (shown).
    bool CloseTree();

    // Writes the collections with unsaved changes, the tree when dirty and
    // the tags when changed; false when one was not written (shown).
    bool SavePending();

    // Page paths that changed once an operation was written: the page at
    // `oldPath` (every page under it, for a folder path ending in "/") is
    // at `newPath` now, or gone when `newPath` is empty. `item` is the page
    // renamed or moved, null for a folder.
    struct CPathChange {
        std::u16string oldPath;
        std::u16string newPath;
        const CUrlNode* item = nullptr;
    };
    using PathChangeHook = std::function<void(const CPathChange& change)>;
    // Lists that name pages by path (the recent pages) follow them, as the
    // tag store does.
    void AddPathChangeHook(PathChangeHook hook) { m_pathHooks.push_back(std::move(hook)); }
    void NotifyPathChange(const CPathChange& change) const;
    // After the tree file or a collection file was written: what readers
    // of the files on disk (the full-text index) follow.
    void AddWrittenHook(std::function<void()> hook) { m_writtenHooks.push_back(std::move(hook)); }

    // A change that waits for the next write (or the close).
    void SetDirty() { m_bDirty = true; }
    bool IsDirty() const { return m_bDirty; }

    RNode* GetRoot() const { return m_pRoot; }
    RNode* GetCurrentFolder() const { return m_pCurrent; }
    void SetCurrentFolder(RNode* folder) { m_pCurrent = folder; }
    CTagStore* GetTagStore() const { return m_tags.GetStore(); }
    CProjectTags& GetProjectTags() { return m_tags; }
    CRecentColcts& GetRecentColcts() { return m_recent; }
    // Writes the tags file; a failure is shown. True when written.
    [[nodiscard]] bool SaveTags();

    // An operation of several steps. While one is open, the user hears of
    // its first failed save only: the steps undone after it stay quiet.
    class COperation {
    public:
        explicit COperation(CFolderTreeMgr& tree);
        ~COperation();
        COperation(const COperation&) = delete;
        COperation& operator=(const COperation&) = delete;

    private:
        CFolderTreeMgr& m_tree;
    };

    // True when `path` stays inside the content folder once symbolic links
    // are followed; otherwise, with `tell`, the user hears which link was
    // refused. Nothing is read or written through such a link.
    static bool IsInsideContent(const std::u16string& path, bool tell = true);
    // The same for the directory of `folder`, and for the page file of
    // `item` in it (the directory alone for a page not saved yet).
    bool IsFolderInside(RNode* folder, bool tell = true) const;
    bool IsPageInside(RNode* folder, CUrlNode* item, bool tell = true) const;

    // Folders. Each writes the folder tree file when it changed the tree.
    // Asks for a name under `parent` (the current folder when null); the new
    // folder, shown and selected, or null.
    RNode* CreateFolder(RNode* parent = nullptr);
    // A folder `name` (checked by the caller: a plain name no sibling has)
    // as the last child of `parent`, its directory made or taken over, the
    // tree file written; nothing is shown. Null (shown) on failure.
    RNode* AddFolder(RNode* parent, const std::u16string& name);
    bool RenameFolder(RNode* folder, const std::u16string& newName);
    // As the last child of `target`, or right after it.
    bool MoveFolder(RNode* folder, RNode* target, bool asChild);
    // After the user confirmed; the directory and its files stay on disk.
    bool RemoveFolder(RNode* folder);
    void OpenInFileManager(RNode* folder);
    // The folder tree's commands on `folder` (the current one when null);
    // false for a command that is not one of them.
    bool OnTreeCommand(int command, RNode* folder = nullptr);
    // The question before a folder, collection or item is removed.
    static CConfirmation GetRemoveConfirmation(RNode* node);

    // Collections.
    // The folder's collection, read from its file when not yet loaded;
    // null when it has none or the file does not read (shown).
    CColctNode* LoadColct(RNode* folder, bool showError);
    // Reads the folder's collection file, or writes a new empty one; the
    // collection is not attached. Null (shown) on failure.
    CColctNode* CreateColct(RNode* folder);
    // Makes sure the folder has a collection: loaded, read or made, attached,
    // the has-page flag set and the tree written. Null (shown) on failure.
    CColctNode* EnsureColct(RNode* folder);
    // Rebuilds the folder's collection from the page files in its
    // directory; true when anything changed.
    bool RefreshColct(RNode* folder);
    // Writes `colct` to `path` through the "~" copy. `warn` allows the
    // read-only question.
    [[nodiscard]] bool SaveColct(CColctNode* colct, const std::u16string& path, bool warn);
    // Writes a folder's collection to its own file.
    [[nodiscard]] bool SaveColct(CColctNode* colct);

    // Files changed by other programs. Every collection file is stamped
    // when read or written; before it is written over, and on SyncColct,
    // a file another program changed is read again and merged: items added
    // on either side stay, deletions stay, and of two edits to one item the
    // newer (by its modified time) wins. Items are matched by UUID.
    // True when the folder's loaded collection took something from its
    // file; it is written when it holds changes the file lacks.
    bool SyncColct(RNode* folder);
    // The same for the folder tree file, by folder path: folders added on
    // either side stay; a folder removed there goes here unless it holds
    // the current folder or unsaved changes. True when the tree changed
    // (and was shown again).
    bool SyncFolderTree();
    // The page on show is never dropped by a merge: its edits would go too.
    void SetPageOnShow(const CUrlNode* item) { m_pPageOnShow = item; }
    // A file a sync tool made beside one whose versions clashed
    // ("x.sync-conflict-...", "x (conflicted copy ...)"); never a page.
    static bool IsConflictCopy(std::u16string_view name);

    // The item to show when `folder` is selected, or null.
    CUrlNode* ChooseItemToShow(RNode* folder);
    // The user showed `item` of `colct`.
    void RememberShownItem(CColctNode* colct, CUrlNode* item);

private:
    // The folder's directory; made with messages when `showMessages`,
    // silently otherwise. "" when it cannot be.
    std::u16string MakeFolderDirectory(RNode* folder, bool showMessages);
    // Paths that make nothing on disk.
    std::u16string GetDirectoryPath(RNode* folder) const;
    std::u16string GetColctFile(RNode* folder) const;
    CColctNode* ReadColctFile(const std::u16string& path, bool showError);
    // Brings the items of `colct` in line with the page files found; true
    // when anything changed.
    bool MergePages(CColctNode* colct, const std::vector<CFileSys::Entry>& pages, const std::u16string& relative);
    // Items other than pages (links, files, groups) in the collection.
    static bool HoldsOtherItems(CColctNode* colct);
    bool IsSiblingName(RNode* parent, const std::u16string& name, RNode* except) const;
    // Frees a tree with every collection in it.
    void ReleaseTree(RNode* root);
    void ReportUnusableFolders();
    // After an operation was undone in memory: a tree file written on the
    // way is written again, else the tree is as dirty as it was before.
    void RewindTreeFile(bool written, bool wasDirty);
    // A failed save, shown unless an open operation told of one already.
    void ReportFailure(const std::u16string& text);
    bool IsQuiet() const { return m_nOperations > 0 && m_bReported; }
    // What a collection file held when we last read or wrote it: its stamp
    // and, per item key, the item's fields.
    struct CColctSync {
        CFileStamp stamp;
        std::map<std::u16string, std::u16string> items;
    };
    void RememberColct(const std::u16string& path, CColctNode* colct, const CFileStamp& stamp);
    // Reads the file again when another program changed it and merges it
    // into `colct`; true when `colct` changed. `local` is set when `colct`
    // holds changes the file lacks.
    bool MergeColctFile(CColctNode* colct, const std::u16string& path, bool* local);
    bool MergeItems(CColctNode* colct, CColctNode* disk, const CColctSync& base, bool* local);
    bool MergeTreeFile();
    void RememberTree(const CFileStamp& stamp);
    // The item's page path in the tag store, entered or removed.
    void IndexTags(RNode* folder, CUrlNode* item, bool add);
    static std::u16string GetContentPath();

    RNode* m_pRoot = nullptr;
    RNode* m_pCurrent = nullptr;
    CProjectTags m_tags;
    CRecentColcts m_recent;
    std::vector<PathChangeHook> m_pathHooks;
    std::vector<std::function<void()>> m_writtenHooks;
    void NotifyWritten() const;
    bool m_bDirty = false;
    std::map<std::u16string, CColctSync> m_colctSync;
    // The tree file as last read or written, and its folders' paths.
    CFileStamp m_treeStamp;
    std::vector<std::u16string> m_treeBase;
    // Folders a merge took out, freed at the close: views may still hold them.
    std::vector<RNode*> m_droppedFolders;
    const CUrlNode* m_pPageOnShow = nullptr;
    // Items a merge took out: callers may still hold them until the close.
    std::vector<CUrlNode*> m_dropped;
    bool m_bWarnReadOnly = true;
    int m_nOperations = 0;
    bool m_bReported = false;
};
