#pragma once

// A short list of item copies, newest first, kept in a collection file:
// what the recent projects and the recent pages have in common.

#include <string>

class CUrlNode;
class RNode;

class CRecentItemList {
public:
    // `listName` names the collection in the file.
    CRecentItemList(const char16_t* listName, int maxEntries);
    ~CRecentItemList();
    CRecentItemList(const CRecentItemList&) = delete;
    CRecentItemList& operator=(const CRecentItemList&) = delete;

    void SetFile(const std::u16string& file) { m_file = file; }
    const std::u16string& GetFile() const { return m_file; }

    // Replaces the list with the items of the file, at most the maximum; a
    // missing or unreadable file gives an empty list. An address listed
    // again (letter case aside) is dropped, the newest entry kept; the list
    // counts as changed then, and as unchanged otherwise.
    void Load();
    // Writes the list when it changed since the last write; false when a
    // needed write failed (it stays changed, so a later write tries again).
    bool Write();

    // Takes `item` over and puts it first, dropping an entry of the same
    // address (letter case aside) or else, when full, the oldest one. False
    // when memory ran out (the item is freed).
    bool AddFirst(CUrlNode* item);
    // Removes one entry (a child of GetRoot).
    void Remove(RNode* entry);
    // Drops each entry whose address (letter case aside) a newer one has;
    // true when any went.
    bool RemoveDuplicates();
    // Empties the list without marking it changed.
    void Clear();

    RNode* GetRoot() const { return m_pRoot; }
    RNode* GetFirst() const;
    int GetCount() const;
    // The entry whose address matches without regard to case, or null.
    RNode* Find(const char16_t* url) const;
    static CUrlNode* GetItem(RNode* entry);

    bool IsDirty() const { return m_bDirty; }
    void SetDirty() { m_bDirty = true; }

private:
    void DeleteEntry(RNode* entry);
    RNode* GetLast() const;

    std::u16string m_listName;
    int m_nMax;
    std::u16string m_file;
    RNode* m_pRoot = nullptr;
    bool m_bDirty = false;
};
