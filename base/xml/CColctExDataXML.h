#pragma once

#include "base/ZandrelExport.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CWriteXML.h"
#include "base/xml/TReadOwnedXML.h"

class CColctExData;
class RColctExData;
class RColctItem;

// Writes the recently visited collections ("krv_recent.xml"): an optional
// default folder, then one <folder> per record with its url, item and time.
class ZANDREL_API CWriteColctExData : public CWriteXML {
public:
    // The list to write; not owned.
    void SetRColctExDataHead(RColctExData* head) { m_pHead = head; }
    // Copied; null or "" clears it.
    void SetDefaultColctUrl(const char16_t* url);

protected:
    void FillData() override;
    void AddHead();
    void AddTail();
    void FillDefaultColct();
    void FillColctExDataToBuffer(CColctExData* data);

private:
    RColctExData* m_pHead = nullptr;
    OptText m_defaultUrl;
};

// Reads "krv_recent.xml" into a list of records and the default folder.
class ZANDREL_API CReadColctExData : public TReadOwnedXML<RColctExData> {
public:
    CReadColctExData();

    // The list read (the caller owns records and data), or null.
    RColctExData* DetachRColctExDataHead() { return DetachResult(); }
    // The default folder address as a new CSysString, or null.
    char16_t* DetachDefaultColctUrl();

    // Releases a list of records together with their data; null is allowed.
    static void DeleteList(RColctExData* head);

protected:
    void ForgetWalk() override { m_pCurrent = nullptr; }
    void DiscardResult() override;
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

private:
    enum { SCOPE_ROOT = 0, SCOPE_RECORD = 3 };

    CColctExData* m_pCurrent = nullptr;
    OptText m_defaultUrl;
    int m_nScope = SCOPE_ROOT;
};

// Writes a list of collections (type COLCT_NORMAL only) as the account
// service lists them: <korvel><collections> with one <colct> each.
class ZANDREL_API CWriteColctListXML : public CWriteXML {
public:
    // The collections to write; not owned.
    void SetRColctItemHead(RColctItem* head) { m_pHead = head; }

protected:
    void FillData() override;

private:
    RColctItem* m_pHead = nullptr;
};
