#include "base/xml/CTagsXML.h"

#include <cstring>

#include "base/model/CTagStore.h"

void CWriteTagsXML::FillData()
{
    Buffer()->Reset();
    AddXMLVersion();
    AddHead();
    if (m_pStore) {
        for (RTagItem* r = m_pStore->GetTagItemHead(); r; r = r->GetNext())
            FillTagItem(r->GetData());
    }
    AddTail();
}

void CWriteTagsXML::AddHead()
{
    FillString("<krvtags version=\"2.0\">\r\n");
}

void CWriteTagsXML::AddTail()
{
    FillString("</krvtags>");
}

void CWriteTagsXML::FillTagItem(CTagItem* tag)
{
    if (!tag)
        return;
    FillString("<tag name=\"");
    FillXMLBSTR(tag->GetName() ? tag->GetName() : u"");
    FillString("\">");
    for (RBstrItem* r = tag->GetUrlList(); r; r = r->GetNext())
        FillEachUrlItem(r->GetData());
    FillString("</tag>");
}

void CWriteTagsXML::FillEachUrlItem(const char16_t* url)
{
    if (url && *url)
        FillNode(url, "<url>", "</url>\r\n");
}

CReadTagsXML::CReadTagsXML() : TReadOwnedXML("krvtags", &CTagStore::DeleteTagStore) {}

void CReadTagsXML::ProcessElementNode(XMLNode* node)
{
    if (m_nScope == SCOPE_ROOT) {
        if (IsName(node, "krvtags")) {
            if (!m_pResult)
                m_pResult = CTagStore::CreateTagStore();
        } else if (IsName(node, "tag") && m_pResult) {
            m_nScope = SCOPE_TAG;
            m_pTag = CTagStore::CreateTagItem();
            if (!m_pTag)
                return;
            m_pTag->SetName(u"");
            ForEachAttribute(node, [this](const char* name, const std::u16string& value) {
                if (std::strcmp(name, "name") == 0)
                    m_pTag->SetName(value.c_str());
            });
            if (!m_pResult->AddTagItem(m_pTag)) {
                CTagItem::Delete(m_pTag);
                m_pTag = nullptr;
            }
        }
    } else if (m_nScope == SCOPE_TAG && IsName(node, "url")) {
        m_nScope = SCOPE_URL;
        if (m_pTag)
            m_pTag->AddUrlItem(ReadText(node).c_str(), false);
    }
}

void CReadTagsXML::OnLeaveNode(XMLNode* node)
{
    if (m_nScope == SCOPE_URL && IsName(node, "url"))
        m_nScope = SCOPE_TAG;
    else if (m_nScope == SCOPE_TAG && IsName(node, "tag"))
        m_nScope = SCOPE_ROOT;
}
