#pragma once

// The project's folder tree: folders are directories under the content
// folder, each may hold a collection of pages in its ".zandrel" folder.

#include <string>

class CColctNode;
class CFolderNode;
class CTagStore;
class RNode;

class CFolderTreeMgr {
public:
    CFolderTreeMgr();
    ~CFolderTreeMgr();
    CFolderTreeMgr(const CFolderTreeMgr&) = delete;
    CFolderTreeMgr& operator=(const CFolderTreeMgr&) = delete;

    // Paths, from the content path of the current project. The directory
    // of a folder is made when missing; "" when it cannot be.
    std::u16string GetFolderDirectory(RNode* folder);
    std::u16string GetRelativePath(RNode* folder) const;
    std::u16string GetColctFilePath(RNode* folder);

    // A new tree whose root folder is rootName, written at once; false
    // when the folder tree file cannot be written.
    bool CreateNewTree(const std::u16string& rootName);
    // At open: the folder tree file (or a new tree named after the
    // project), then the recent collections file and the tags. A file of a
    // newer format ends the program after its message.
    void LoadFolderTree(const std::u16string& projectName);
    bool SaveFolderTree();
    // At close: writes what is pending, then releases the tree, the
    // collections, the tag store and the recent collections list.
    void CloseTree();

    RNode* GetRoot() const { return m_pRoot; }
    RNode* GetCurrentFolder() const { return m_pCurrent; }
    void SetCurrentFolder(RNode* folder) { m_pCurrent = folder; }
    CTagStore* GetTagStore() const { return m_pTags; }

private:
    RNode* m_pRoot = nullptr;
    RNode* m_pCurrent = nullptr;
    CTagStore* m_pTags = nullptr;
    bool m_bDirty = false;
};
