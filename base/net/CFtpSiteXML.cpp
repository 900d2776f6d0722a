#include "base/net/CFtpSiteXML.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/tools/CSysString.h"

void CWriteFtpSiteXML::FillData()
{
    Buffer()->Reset();
    AddXMLVersion();
    AddHead();
    for (RFtpConBase* r = m_pHead; r; r = r->GetNext()) {
        if (r->GetData())
            FillSite(r->GetData());
    }
    AddTail();
}

void CWriteFtpSiteXML::AddHead()
{
    FillString("<ftpsites version=\"1.0\">\r\n");
}

void CWriteFtpSiteXML::AddTail()
{
    FillString("</ftpsites>");
}

void CWriteFtpSiteXML::FillOptional(const char16_t* text, const char* startTag, const char* endTag)
{
    if (text)
        FillNode(text, startTag, endTag);
}

void CWriteFtpSiteXML::FillSite(CFtpConBase* site)
{
    FillString("<site>\r\n");
    FillOptional(site->GetTitle(), "<title>", "</title>\r\n");
    FillOptional(site->GetHost(), "<host>", "</host>\r\n");
    FillOptional(site->GetUserName(), "<username>", "</username>\r\n");
    FillOptional(site->GetInitPath(), "<path>", "</path>\r\n");
    if (site->IsPASVMode())
        FillString("<pasvmode>true</pasvmode>\r\n");
    FillFormat("<port>%d</port>\r\n", site->GetPort());
    FillString(site->IsSavePSW() ? "<savepsw>true</savepsw>\r\n" : "<savepsw>false</savepsw>\r\n");
    if (site->IsCurrent())
        FillString("<current>true</current>\r\n");
    FillOptional(site->GetUUID(), "<uuid>", "</uuid>\r\n");
    FillOptional(site->GetStampID(), "<stampid>", "</stampid>\r\n");
    FillWebAddress(site->PeekFtpWebAddress());
    FillString("</site>\r\n");
}

void CWriteFtpSiteXML::FillWebAddress(CFtpWebAddress* table)
{
    if (!table)
        return;
    // Sorted by name: the table's own order depends on insertion within a
    // bucket, and a file read back must write the same bytes again.
    std::vector<std::pair<std::u16string, char16_t*>> entries;
    table->ResetPosition();
    while (table->HasNext()) {
        char16_t* key = nullptr;
        char16_t* value = nullptr;
        table->GetNextKeyValue(&key, &value);
        if (key)
            entries.emplace_back(std::u16string(key, CSysString::Len(key)), value);
        else
            CSysString::Free(value);
        CSysString::Free(key);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [name, link] : entries) {
        FillString("<webaddress name=\"");
        FillXMLBSTR(name.c_str());
        if (link) {
            FillString("\" link=\"");
            FillXMLBSTR(link);
        }
        FillString("\"/>\r\n");
        CSysString::Free(link);
    }
}

CReadFtpSiteXML::CReadFtpSiteXML() : TReadOwnedXML("ftpsites", &DeleteList) {}

void CReadFtpSiteXML::DeleteList(RFtpConBase* head)
{
    while (head) {
        RFtpConBase* next = head->GetNext();
        CFtpConBase::Delete(head->GetData());
        RFtpConBase::Delete(head);
        head = next;
    }
}

void CReadFtpSiteXML::ProcessElementNode(XMLNode* node)
{
    if (m_nDepth == DEPTH_SITE && IsName(node, "site")) {
        CFtpConBase* site = CFtpConBase::New();
        RFtpConBase* record = site ? RFtpConBase::New(site) : nullptr;
        if (!record) {
            CFtpConBase::Delete(site);
            return;
        }
        m_pResult = CListTool::Append(m_pResult, record);
        m_pCurrent = site;
    } else if (m_nDepth == DEPTH_FIELD && m_pCurrent) {
        ProcessSiteChild(node);
    }
}

void CReadFtpSiteXML::OnLeaveNode(XMLNode* node)
{
    if (m_nDepth == DEPTH_SITE && IsName(node, "site"))
        m_pCurrent = nullptr;
}

void CReadFtpSiteXML::ProcessSiteChild(XMLNode* node)
{
    CFtpConBase* site = m_pCurrent;
    auto flag = [this, node](bool& value) {
        std::u16string text = GetText(node);
        if (text == u"true")
            value = true;
        else if (text == u"false")
            value = false;
    };
    if (IsName(node, "title")) {
        site->SetTitle(GetText(node).c_str());
    } else if (IsName(node, "host")) {
        site->SetHost(GetText(node).c_str());
    } else if (IsName(node, "username")) {
        site->SetUserName(GetText(node).c_str());
    } else if (IsName(node, "path")) {
        site->SetInitPath(GetText(node).c_str());
    } else if (IsName(node, "pasvmode")) {
        bool on = site->IsPASVMode();
        flag(on);
        site->SetPASVMode(on);
    } else if (IsName(node, "port")) {
        // A number no port can have keeps the default.
        long port = ToLong(GetText(node));
        if (port >= 0 && port <= 65535)
            site->SetPort(static_cast<int>(port));
    } else if (IsName(node, "savepsw")) {
        bool on = site->IsSavePSW();
        flag(on);
        site->SetSavePSW(on);
    } else if (IsName(node, "current")) {
        bool on = site->IsCurrent();
        flag(on);
        site->SetCurrent(on);
    } else if (IsName(node, "uuid")) {
        site->SetUUID(GetText(node).c_str());
    } else if (IsName(node, "stampid")) {
        site->SetStampID(GetText(node).c_str());
    } else if (IsName(node, "webaddress")) {
        ProcessWebAddress(node);
    }
}

void CReadFtpSiteXML::ProcessWebAddress(XMLNode* node)
{
    OptText name;
    OptText link;
    ForEachAttribute(node, [&](const char* qname, const std::u16string& value) {
        if (std::strcmp(qname, "name") == 0)
            name = value;
        else if (std::strcmp(qname, "link") == 0)
            link = value;
    });
    // An address without a page name has nothing to belong to.
    if (!name)
        return;
    if (CFtpWebAddress* table = m_pCurrent->GetFtpWebAddress())
        table->Add(name->c_str(), OptTextPtr(link));
}
