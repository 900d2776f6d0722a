#include "base/xml/CReadFolderTreeOPML.h"

#include <algorithm>
#include <cstring>

#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/RNTool.h"

// ---- CParseOPML ----

CParseOPML::~CParseOPML()
{
    CReadFolderTreeOPML::DeleteTree(m_pRoot);
}

bool CParseOPML::IsOpmlRoot(const XMLNode* root)
{
    return IsName(root, "opml");
}

void CParseOPML::ParseXMLTree(XMLNode* root)
{
    GoThroughChildNodes(root);
}

RNode* CParseOPML::DetachTreeRoot()
{
    RNode* root = m_pRoot;
    m_pRoot = nullptr;
    m_pCurrent = nullptr;
    m_openOutlines.clear();
    return root;
}

void CParseOPML::ProcessElementNode(XMLNode* node)
{
    if (IsName(node, "opml")) {
        if (m_pRoot)
            return;
        CFolderNode* folder = CFolderNode::New();
        m_pRoot = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
        if (!m_pRoot)
            CBaseNode::Delete(folder);
        m_pCurrent = m_pRoot;
        return;
    }
    if (!m_pRoot)
        return;
    // The head belongs to the root; a title or krv:opml inside an outline
    // says nothing about the file.
    bool atRoot = m_openOutlines.empty() && m_pCurrent == m_pRoot;
    if (IsName(node, "outline")) {
        ProcessOutline(node);
    } else if (IsName(node, "title")) {
        if (atRoot)
            m_pRoot->GetData()->SetName(GetText(node).c_str());
    } else if (IsName(node, "krv:opml")) {
        if (atRoot)
            ProcessKRVOpml(node);
    } else if (IsName(node, "sx:sync")) {
        ProcessSyncAttributes(node);
    } else if (IsName(node, "krv:stat")) {
        RNode* described = GetDescribedNode();
        if (described)
            ProcessNodeStat(node, described->GetData()->GetNodeStat());
    } else if (IsName(node, "krv:fprop")) {
        ProcessFolderProp(node);
    }
}

void CParseOPML::OnLeaveNode(XMLNode* node)
{
    if (m_openOutlines.empty() || m_openOutlines.back().element != node)
        return;
    bool folder = m_openOutlines.back().folder;
    m_openOutlines.pop_back();
    if (folder)
        m_pCurrent = RNTool::GetParentNode(m_pCurrent);
}

void CParseOPML::ProcessOutline(XMLNode* node)
{
    if (IsRssFeed(node))
        ProcessRssFeed(node);
    else
        ProcessFolder(node);
}

bool CParseOPML::IsRssFeed(XMLNode* node)
{
    bool hasType = false, isRss = false, hasXmlUrl = false;
    ForEachAttribute(node, [&](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "type") == 0) {
            hasType = true;
            isRss = value == u"rss";
        } else if (std::strcmp(name, "xmlUrl") == 0) {
            hasXmlUrl = true;
        }
    });
    return hasType ? isRss : hasXmlUrl;
}

void CParseOPML::ProcessFolder(XMLNode* node)
{
    CFolderNode* folder = CFolderNode::New();
    if (folder) {
        ForEachAttribute(node, [&](const char* name, const std::u16string& value) {
            if (!value.empty())
                SetFolderAttributes(folder, name, value);
        });
    }
    RNode* rnode = AddChild(folder, NT_FOLDER);
    if (rnode)
        m_pCurrent = rnode;
    m_openOutlines.push_back({node, rnode, rnode != nullptr});
}

void CParseOPML::ProcessRssFeed(XMLNode* node)
{
    CColctNode* colct = CColctNode::New();
    if (colct) {
        ForEachAttribute(node, [&](const char* name, const std::u16string& value) {
            if (!value.empty())
                SetColctAttributes(colct, name, value);
        });
    }
    // A feed holds no outlines: what is nested in it stays with the folder.
    m_openOutlines.push_back({node, AddChild(colct, NT_COLCT), false});
}

void CParseOPML::SetFolderAttributes(CFolderNode* folder, const char* name, const std::u16string& value)
{
    if (std::strcmp(name, "text") == 0 || std::strcmp(name, "title") == 0)
        folder->SetName(value.c_str());
    else if (std::strcmp(name, "description") == 0)
        folder->SetDescription(value.c_str());
}

void CParseOPML::SetColctAttributes(CColctNode* colct, const char* name, const std::u16string& value)
{
    if (std::strcmp(name, "text") == 0 || std::strcmp(name, "title") == 0) {
        colct->SetName(value.c_str());
    } else if (std::strcmp(name, "description") == 0) {
        colct->SetDescription(value.c_str());
    } else if (std::strcmp(name, "xmlUrl") == 0) {
        std::u16string url = value;
        std::replace(url.begin(), url.end(), u'/', u'\\');
        colct->SetUrl(url.c_str());
    } else if (std::strcmp(name, "htmlUrl") == 0) {
        colct->SetRelationUrl(value.c_str());
    }
}

void CParseOPML::ProcessSyncAttributes(XMLNode* node)
{
    RNode* described = GetDescribedNode();
    if (!described)
        return;
    CBaseNode* data = described->GetData();
    // The writer leaves version 0 out, so no version reads as 0.
    int version = 0;
    ForEachAttribute(node, [&](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "id") == 0)
            data->SetUUID(value.c_str());
        else if (std::strcmp(name, "version") == 0)
            version = static_cast<int>(ToLong(value));
        else if (std::strcmp(name, "deleted") == 0 && value == u"true")
            data->SetAsDeleted(true);
    });
    data->SetVersion(version);
}

void CParseOPML::ProcessKRVOpml(XMLNode* node)
{
    ForEachAttribute(node, [this](const char* name, const std::u16string& value) {
        if (std::strcmp(name, "version") == 0)
            m_nOpmlVersion = static_cast<int>(ToLong(value));
    });
}

void CParseOPML::ProcessFolderProp(XMLNode* node)
{
    RNode* described = GetDescribedNode();
    if (!described || described->GetType() != NT_FOLDER)
        return;
    auto* folder = static_cast<CFolderNode*>(described->GetData());
    ForEachAttribute(node, [folder](const char* name, const std::u16string& value) {
        if (value != u"true")
            return;
        if (std::strcmp(name, "expand") == 0)
            folder->SetFolderOpen(true);
        else if (std::strcmp(name, "page") == 0)
            folder->SetHasPage(true);
        else if (std::strcmp(name, "tag") == 0)
            folder->SetHasTag(true);
    });
}

RNode* CParseOPML::AddChild(CBaseNode* data, tagNODETYPE type)
{
    RNode* rnode = data ? RNode::New2(data, type) : nullptr;
    if (!rnode) {
        CBaseNode::Delete(data);
        return nullptr;
    }
    RNTool::InsertAsChild(m_pCurrent, rnode);
    return rnode;
}

RNode* CParseOPML::GetDescribedNode() const
{
    return m_openOutlines.empty() ? m_pCurrent : m_openOutlines.back().rnode;
}

// ---- CReadFolderTreeOPML ----

CReadFolderTreeOPML::~CReadFolderTreeOPML()
{
    DeleteTree(m_pRoot);
}

RNode* CReadFolderTreeOPML::DetachTreeRoot()
{
    RNode* root = m_pRoot;
    m_pRoot = nullptr;
    return root;
}

bool CReadFolderTreeOPML::InvokeParser(XMLNode* root)
{
    DiscardResult();
    if (!CParseOPML::IsOpmlRoot(root))
        return true;
    // A walk that stops half way takes its partial tree with it.
    CParseOPML walker;
    walker.ParseXMLTree(root);
    if (walker.HasWalkFailed())
        return false;
    m_nOpmlVersion = walker.GetOpmlVersion();
    m_pRoot = walker.DetachTreeRoot();
    return true;
}

void CReadFolderTreeOPML::DiscardResult()
{
    DeleteTree(DetachTreeRoot());
    m_nOpmlVersion = 0;
}

void CReadFolderTreeOPML::DeleteTree(RNode* root)
{
    RNTool::DeleteTree(root);
}
