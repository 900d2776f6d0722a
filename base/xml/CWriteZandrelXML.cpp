#include "base/xml/CWriteZandrelXML.h"

#include "base/model/CZandrelProject.h"

void CWriteZandrelXML::FillData()
{
    Buffer()->Reset();
    if (!m_pProject)
        return;
    AddHead();
    FillOptionalNode(m_pProject->GetContentPath(), "<path>", "</path>\r\n");
    FillOptionalNode(m_pProject->GetUUID(), "<uuid>", "</uuid>\r\n");
    FillNodeStat();
    AddTail();
}

void CWriteZandrelXML::AddHead()
{
    AddXMLVersion();
    FillFormat("\r\n<zandrel xmlns=\"%s\">\r\n", s_szProjectNamespace);
    int major = 0, minor = 0, build = 0;
    m_pProject->GetVersion(&major, &minor, &build);
    FillFormat("<version>%d.%d.%d</version>\r\n", major, minor, build);
    FillOptionalNode(m_pProject->GetName(), "<title>", "</title>\r\n");
    FillOptionalNode(m_pProject->GetDescription(), "<description>", "</description>\r\n");
}

void CWriteZandrelXML::FillNodeStat()
{
    long added = 0, modified = 0, visited = 0;
    m_pProject->GetNodeStat()->GetStatTime(&added, &modified, &visited);
    FillFormat("<stat addDate=\"%ld\" lastModified=\"%ld\" lastVisit=\"%ld\"/>\r\n", added, modified, visited);
}

void CWriteZandrelXML::AddTail()
{
    FillString("</zandrel>");
}

void CWriteZandrelXML::FillOptionalNode(const char16_t* text, const char* startTag, const char* endTag)
{
    if (text && *text)
        FillNode(text, startTag, endTag);
}
