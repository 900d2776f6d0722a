#include "base/xml/CColctExDataXML.h"

#include <cstring>

#include "base/model/CColctExData.h"
#include "base/model/CColctItemID.h"
#include "base/model/CColctNode.h"
#include "base/tools/CQVTime.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"

void CWriteColctExData::SetDefaultColctUrl(const char16_t* url)
{
    m_defaultUrl = url && *url ? OptText(url) : std::nullopt;
}

void CWriteColctExData::FillData()
{
    Buffer()->Reset();
    AddXMLVersion();
    AddHead();
    for (RColctExData* r = m_pHead; r; r = r->GetNext()) {
        if (r->GetData())
            FillColctExDataToBuffer(r->GetData());
    }
    AddTail();
}

void CWriteColctExData::AddHead()
{
    FillString("<folderprofile version=\"1.0\">\r\n");
    FillDefaultColct();
}

void CWriteColctExData::AddTail()
{
    FillString("</folderprofile>");
}

void CWriteColctExData::FillDefaultColct()
{
    if (!m_defaultUrl)
        return;
    FillString("<head>");
    FillNode(m_defaultUrl->c_str(), "<defaultfolder>", "</defaultfolder>\r\n");
    FillString("</head>\r\n");
}

void CWriteColctExData::FillColctExDataToBuffer(CColctExData* data)
{
    FillString("<folder>");
    const char16_t* url = data->GetFolderUrl();
    if (url && *url)
        FillNode(url, "<url>", "</url>\r\n");
    if (data->GetItemID())
        FillNode(data->GetItemID(), "<item>", "</item>\r\n");
    FillFormat("<time>%ld</time>", data->GetLastVisitTime());
    FillString("</folder>\r\n");
}

CReadColctExData::CReadColctExData() : TReadOwnedXML("folderprofile", &DeleteList) {}

void CReadColctExData::DeleteList(RColctExData* head)
{
    while (head) {
        RColctExData* next = head->GetNext();
        CColctExData::Delete(head->GetData());
        RColctExData::Delete(head);
        head = next;
    }
}

char16_t* CReadColctExData::DetachDefaultColctUrl()
{
    char16_t* url = m_defaultUrl ? CSysString::Alloc(m_defaultUrl->c_str()) : nullptr;
    m_defaultUrl.reset();
    return url;
}

void CReadColctExData::DiscardResult()
{
    TReadOwnedXML::DiscardResult();
    m_defaultUrl.reset();
}

void CReadColctExData::ProcessElementNode(XMLNode* node)
{
    if (IsName(node, "folderprofile")) {
        m_nScope = SCOPE_ROOT;
    } else if (IsName(node, "folder")) {
        // A record nested in a record starts afresh rather than mixing fields.
        m_nScope = SCOPE_RECORD;
        m_pCurrent = CColctExData::New();
        RColctExData* record = m_pCurrent ? RColctExData::New(m_pCurrent) : nullptr;
        if (!record) {
            CColctExData::Delete(m_pCurrent);
            m_pCurrent = nullptr;
            return;
        }
        m_pResult = CListTool::Append(m_pResult, record);
    } else if (m_nScope == SCOPE_RECORD && m_pCurrent) {
        if (IsName(node, "url"))
            m_pCurrent->SetFolderUrl(GetText(node).c_str());
        else if (IsName(node, "item"))
            m_pCurrent->SetItemID(GetText(node).c_str());
        else if (IsName(node, "time"))
            m_pCurrent->SetLastVisitTime(ToLong(GetText(node)));
    } else if (m_nScope == SCOPE_ROOT && IsName(node, "defaultfolder") && !m_defaultUrl) {
        std::u16string url = GetText(node);
        if (!url.empty())
            m_defaultUrl = std::move(url);
    }
}

void CReadColctExData::OnLeaveNode(XMLNode* node)
{
    if (IsName(node, "folder")) {
        m_nScope = SCOPE_ROOT;
        m_pCurrent = nullptr;
    }
}

void CWriteColctListXML::FillData()
{
    Buffer()->Reset();
    AddXMLVersion();
    FillString("<korvel");
    FillNamespaces();
    FillString(">\r\n<collections>\r\n");
    for (RColctItem* r = m_pHead; r; r = r->GetNext()) {
        CColctNode* colct = r->GetData();
        if (!colct || colct->GetColctType() != COLCT_NORMAL)
            continue;
        FillString("<colct>\r\n");
        if (colct->GetName() && *colct->GetName())
            FillNode(colct->GetName(), "<title>", "</title>\r\n");
        if (colct->HasUrl())
            FillNode(colct->GetUrl(), "<link>", "</link>\r\n");
        if (*colct->GetDescription())
            FillNode(colct->GetDescription(), "<description>", "</description>\r\n");
        if (*colct->GetUUID())
            FillNode(colct->GetUUID(), "<uuid>", "</uuid>\r\n");
        char date[32];
        if (CQVTime::GetDCDate(colct->GetLastModified(), date))
            FillNodeChar(date, "<modified>", "</modified>\r\n");
        if (*colct->GetUUID()) {
            FillSync(CUnicodeTool::ToUtf8(colct->GetUUID()).c_str(), colct->GetVersion());
            FillString("\r\n");
        }
        FillString("</colct>\r\n");
    }
    FillString("</collections>\r\n</korvel>");
}
