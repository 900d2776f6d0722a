#pragma once

// The recently opened projects, newest first, kept in a collection file in
// the user's data folder.

#include <string>

#include "app/core/CRecentItemList.h"

class CUrlNode;
class RNode;

class CRecentProjects {
public:
    static constexpr int kMaxEntries = 25;

    // An empty list stored at `file` ("" = the recent-projects file of the
    // settings).
    explicit CRecentProjects(const std::u16string& file = std::u16string());
    CRecentProjects(const CRecentProjects&) = delete;
    CRecentProjects& operator=(const CRecentProjects&) = delete;

    // Replaces the list with the items of the file; a missing or unreadable
    // file gives an empty list.
    void Load() { m_list.Load(); }
    // Puts (title, path) first, dropping an entry of the same path (letter
    // case aside) or else, when full, the oldest one; writes at once.
    void Add(const std::u16string& title, const std::u16string& path);
    // Removes one entry (a child of GetRoot) and writes at once.
    void Remove(RNode* entry);
    // Writes the list when it changed since the last write; false when a
    // needed write failed.
    bool Write() { return m_list.Write(); }

    // The entries are the children of the root, newest first; each holds a
    // CUrlNode named after the project with the project file as its URL.
    RNode* GetRoot() const { return m_list.GetRoot(); }
    RNode* GetFirst() const { return m_list.GetFirst(); }
    int GetCount() const { return m_list.GetCount(); }
    // The entry whose path matches without regard to case, or null.
    RNode* Find(const std::u16string& path) const { return m_list.Find(path.c_str()); }
    static CUrlNode* GetItem(RNode* entry) { return CRecentItemList::GetItem(entry); }

    bool IsDirty() const { return m_list.IsDirty(); }
    const std::u16string& GetFile() const { return m_list.GetFile(); }

private:
    CRecentItemList m_list;
};
