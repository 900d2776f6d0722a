#pragma once

#include "base/ZandrelExport.h"
#include "base/model/TList.h"
#include "base/model/CUrlProp.h"
#include "base/tools/CStringTool.h"

// One tag of the project with the addresses of the items that carry it.
// Owns its name, its address strings and their records.
class ZANDREL_API CTagItem {
public:
    // Destroys a tag item that is in no store; null is allowed.
    static void Delete(CTagItem* tag);

    void SetName(const char16_t* name) { m_name = OptTextFrom(name); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }

    // Appends a copy of `url`; with `checkDuplicate`, refuses (false) an
    // address already present ignoring letter case.
    bool AddUrlItem(const char16_t* url, bool checkDuplicate);
    // Removes the first address equal to `url` ignoring letter case.
    bool DeleteUrl(const char16_t* url);
    // Unlinks and releases `record`, which must belong to this list.
    void DeleteUrlItem(RBstrItem* record);
    RBstrItem* GetUrlList() const { return m_pUrls; }
    int GetCount() const { return m_nCount; }

protected:
    friend class CTagStore;
    CTagItem() = default;
    virtual ~CTagItem();
    CTagItem(const CTagItem&) = delete;
    CTagItem& operator=(const CTagItem&) = delete;

private:
    OptText m_name;
    RBstrItem* m_pUrls = nullptr;
    int m_nCount = 0;
};

using RTagItem = TList<CTagItem*>;

// Every tag in use, each with the items that carry it. Owns the list
// records and the tag items.
class ZANDREL_API CTagStore {
public:
    // A new empty store; null when memory runs out.
    static CTagStore* CreateTagStore();
    // Destroys the store, its name, every tag item and record; null is allowed.
    static void DeleteTagStore(CTagStore* store);
    // A new empty tag item, in no store yet; null when memory runs out.
    static CTagItem* CreateTagItem();

    // Appends a record for `tag` at the tail (no check for a tag already
    // present) and returns it; null when memory runs out.
    RTagItem* AddTagItem(CTagItem* tag);
    // Removes and destroys exactly this tag item; false when it is not here.
    bool DeleteTagItem(CTagItem* tag);
    // Destroys every tag item and record; the name stays.
    void DeleteAll();
    // Orders the tag items by name (ignoring letter case).
    void SortTagItem(bool ascending);
    RTagItem* GetTagItemHead() const { return m_pHead; }

    void SetName(const char16_t* name) { m_name = OptTextFrom(name); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }

protected:
    CTagStore() = default;
    virtual ~CTagStore();
    CTagStore(const CTagStore&) = delete;
    CTagStore& operator=(const CTagStore&) = delete;

private:
    RTagItem* m_pHead = nullptr;
    OptText m_name;
};
