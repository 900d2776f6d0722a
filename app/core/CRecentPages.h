#pragma once

// The recently opened pages of the open project, newest first. Each entry
// is a copy of the page item whose address is the page's path relative to
// the content folder, so the list survives in one file for the whole
// project. Read when first needed, written when the project closes. The
// recently tagged pages are kept the same way in a file of their own.

#include "app/core/CFolderTreeMgr.h"
#include "app/core/CRecentItemList.h"

class CUserFolder;
class CUrlNode;
class RNode;

class CRecentPages {
public:
    static constexpr int kMaxEntries = 10;
    static constexpr int kMaxTaggedEntries = 20;

    // The file of the open project a list lives in.
    using FileOf = std::u16string (CUserFolder::*)() const;

    CRecentPages();
    CRecentPages(const char16_t* listName, int maxEntries, FileOf file);
    // The recently tagged pages.
    static CRecentPages ForTaggedPages();
    CRecentPages(const CRecentPages&) = delete;
    CRecentPages& operator=(const CRecentPages&) = delete;

    // Puts a copy of the page `item` of `folder` first (reading the list
    // before its first use). Pages without a file, and pages whose path
    // cannot be formed, are not listed.
    void Add(CFolderTreeMgr& tree, RNode* folder, CUrlNode* item);
    // Pages renamed, moved or gone: their entries follow (the list is read
    // first when it was not yet), taking the page's new title; one entry
    // stays per path, the newest.
    void OnPathChange(const CFolderTreeMgr::CPathChange& change);
    // Drops the entry of the page at `path`; false when none was listed.
    bool Forget(const std::u16string& path);
    // An entry was chosen whose page is no longer found: tells the user
    // and drops it.
    void OnPageGone(const std::u16string& path);
    // Reads the open project's list, replacing what is held; empty when
    // no project is open or the file does not read. Entries of pages not
    // found stay: their collections may not be read yet.
    void Load();
    // Writes the list when it changed; false when a needed write failed.
    bool Save();
    // Forgets the list; the next use reads the file of the project open then.
    void Clear();
    // At project close: writes what changed and forgets the list.
    void Close();

    // The entries are the children of the root, newest first; read the
    // list first (Load) when it may not have been used yet.
    RNode* GetFirst() const { return m_list.GetFirst(); }
    int GetCount() const { return m_list.GetCount(); }
    static CUrlNode* GetItem(RNode* entry) { return CRecentItemList::GetItem(entry); }
    bool IsLoaded() const { return m_bLoaded; }
    bool IsDirty() const { return m_list.IsDirty(); }
    const std::u16string& GetFile() const { return m_list.GetFile(); }

private:
    CRecentItemList m_list;
    FileOf m_file;
    bool m_bLoaded = false;
};
