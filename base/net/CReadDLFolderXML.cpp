#include "base/net/CReadDLFolderXML.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "base/net/CDLFolder.h"

namespace {
// Sizes and times are 32-bit; a larger number is taken as the nearest one.
int32_t ToInt32(long value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
}  // namespace

CReadDLFolderXML::CReadDLFolderXML() : TReadOwnedXML("ZAndrel-DL", &CDLFolder::Delete) {}

CReadDLFolderXML::~CReadDLFolderXML()
{
    CDLHeader::Delete(m_pHeader);
}

CDLHeader* CReadDLFolderXML::DetachDLHeader()
{
    CDLHeader* header = m_pHeader;
    m_pHeader = nullptr;
    return header;
}

void CReadDLFolderXML::ForgetWalk()
{
    m_pCurrent = nullptr;
    m_openFolders.clear();
}

void CReadDLFolderXML::DiscardResult()
{
    CDLHeader::Delete(DetachDLHeader());
    TReadOwnedXML::DiscardResult();
}

void CReadDLFolderXML::ParseXMLTree(XMLNode* root)
{
    ProcessHeader(root);
    GoThroughChildNodes(root);
}

void CReadDLFolderXML::ProcessHeader(XMLNode* root)
{
    m_pHeader = CDLHeader::New();
    m_pResult = CDLFolder::New();
    if (!m_pHeader || !m_pResult) {
        FailWalk();
        return;
    }
    m_pCurrent = m_pResult;
    CDLHeader* header = m_pHeader;
    ForEachAttribute(root, [header](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "Title") == 0)
            header->SetTitle(value.c_str());
        else if (std::strcmp(name, "TTime") == 0)
            header->SetNextTime(value.c_str());
        else if (std::strcmp(name, "Build") == 0)
            header->SetBuildNum(value.c_str());
        else if (std::strcmp(name, "TimeStamp") == 0)
            header->SetTimeStamp(value.c_str());
        else if (std::strcmp(name, "StartPage") == 0)
            header->SetStartPage(value.c_str());
        else if (std::strcmp(name, "Verify") == 0)
            header->SetVerify(value.c_str());
    });
}

void CReadDLFolderXML::ProcessElementNode(XMLNode* node)
{
    if (!m_pCurrent)
        return;
    if (IsName(node, "Folder"))
        ProcessFolder(node);
    else if (IsName(node, "File"))
        ProcessFile(node);
}

void CReadDLFolderXML::OnLeaveNode(XMLNode* node)
{
    if (!m_openFolders.empty() && m_openFolders.back() == node) {
        m_openFolders.pop_back();
        m_pCurrent = m_pCurrent->GetParent();
    }
}

void CReadDLFolderXML::ProcessFolder(XMLNode* node)
{
    CDLFolder* folder = CDLFolder::New();
    if (!folder || !m_pCurrent->AddSubFolder(folder)) {
        CDLFolder::Delete(folder);
        FailWalk();
        return;
    }
    ForEachAttribute(node, [folder](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "Name") == 0 && !value.empty())
            folder->SetName(value.c_str());
    });
    m_openFolders.push_back(node);
    m_pCurrent = folder;
}

void CReadDLFolderXML::ProcessFile(XMLNode* node)
{
    CDLFile* file = CDLFile::New();
    if (!file || !m_pCurrent->AddFile(file)) {
        CDLFile::Delete(file);
        FailWalk();
        return;
    }
    ForEachAttribute(node, [file](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "Name") == 0)
            file->SetName(value.c_str());
        else if (std::strcmp(name, "MD5") == 0)
            file->SetMD5(value.c_str());
        else if (std::strcmp(name, "Size") == 0)
            file->SetSize(ToInt32(ToLong(value)));
        else if (std::strcmp(name, "Modified") == 0)
            file->SetModified(ToInt32(ToLong(value)));
    });
}
