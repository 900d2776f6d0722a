#pragma once

#include "base/ZandrelExport.h"
#include "base/model/TList.h"
#include "base/tools/CStringTool.h"

class CFolderNode;

// What the program remembers per folder: the item last shown there.
class ZANDREL_API CColctExData {
public:
    // A record with no texts and the current time as last visit.
    static CColctExData* New();
    static void Delete(CColctExData* data);

    // The folder's path in the tree, as the program forms it.
    void SetFolderUrl(const char16_t* url) { m_folderUrl = OptTextFrom(url); }
    const char16_t* GetFolderUrl() const { return OptTextPtr(m_folderUrl); }
    // The name of the item last shown.
    void SetItemID(const char16_t* item) { m_item = OptTextFrom(item); }
    const char16_t* GetItemID() const { return OptTextPtr(m_item); }
    // The folder matched in the open project; not owned, not stored.
    void StoreFolderNodePointer(CFolderNode* folder) { m_pFolder = folder; }
    CFolderNode* GetStoredFolderNode() const { return m_pFolder; }
    void SetLastVisitTime(long time) { m_tLastVisit = time; }
    long GetLastVisitTime() const { return m_tLastVisit; }

protected:
    CColctExData();
    virtual ~CColctExData() = default;

private:
    OptText m_folderUrl;
    OptText m_item;
    CFolderNode* m_pFolder = nullptr;
    long m_tLastVisit;
};

// List record of CColctExData; never frees its data.
class ZANDREL_API RColctExData final : public TListRecord<RColctExData, CColctExData*> {
public:
    static RColctExData* New(CColctExData* data);
    static void Delete(RColctExData* record);

private:
    explicit RColctExData(CColctExData* data) : TListRecord(data) { SetPrev(this); }
};
