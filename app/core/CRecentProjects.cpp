#include "app/core/CRecentProjects.h"

#include "app/core/CAppSettings.h"
#include "app/core/CSafeSave.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/RNTool.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"

namespace {

constexpr char16_t kListName[] = u"Recently opened projects";

RNode* NewRoot()
{
    CFolderNode* folder = CFolderNode::New();
    RNode* root = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
    if (!root)
        CBaseNode::Delete(folder);
    return root;
}

}  // namespace

CRecentProjects::CRecentProjects(const std::u16string& file)
    : m_file(file.empty() ? CAppSettings::Get()->GetDataFolders().GetRecentProjectsFile() : file),
      m_pRoot(NewRoot())
{
}

CRecentProjects::~CRecentProjects()
{
    RNTool::DeleteTree(m_pRoot);
}

void CRecentProjects::Load()
{
    Clear();
    m_bDirty = false;
    if (!m_pRoot)
        return;
    CColctNode* colct = nullptr;
    CSafeSave::Load(m_file, [&colct](const std::u16string& path) {
        CReadBkmarkXML reader;
        colct = reader.LoadFile(path.c_str()) ? reader.DetachColctNode() : nullptr;
        return colct != nullptr;
    });
    if (!colct)
        return;
    RNode* from = colct->GetLocRNodeRoot();
    int count = 0;
    for (RNode* entry = from ? from->GetChild() : nullptr; entry && count < kMaxEntries;) {
        RNode* next = entry->GetNext();
        if (entry->GetType() == NT_URL) {
            RNTool::RemoveOneChild(from, entry);
            RNTool::InsertAsChild(m_pRoot, entry);
            ++count;
        }
        entry = next;
    }
    CColctNode::DeleteAll(colct);
}

void CRecentProjects::Add(const std::u16string& title, const std::u16string& path)
{
    if (!m_pRoot)
        return;
    CUrlNode* item = CUrlNode::New();
    if (!item)
        return;
    RNode* entry = nullptr;
    if (!item->SetUrl(path.c_str()) || !(entry = RNode::New2(item, NT_URL))) {
        CBaseNode::Delete(item);
        return;
    }
    item->SetName(title.c_str());
    if (RNode* same = Find(path))
        DeleteEntry(same);
    else if (GetCount() >= kMaxEntries)
        DeleteEntry(GetLast());
    RNTool::InsertAsHeadChild(m_pRoot, entry);
    m_bDirty = true;
    Write();
}

void CRecentProjects::Remove(RNode* entry)
{
    if (!entry || !m_pRoot || entry->GetParent() != m_pRoot)
        return;
    DeleteEntry(entry);
    m_bDirty = true;
    Write();
}

bool CRecentProjects::Write()
{
    if (!m_bDirty)
        return true;
    if (!m_pRoot)
        return false;
    // The writer wants a collection: lend it our tree for the moment.
    CColctNode* colct = CColctNode::New();
    if (!colct)
        return false;
    colct->SetName(kListName);
    colct->SetLocRNodeRoot(m_pRoot);
    bool saved;
    {
        CWriteColctRSS writer;
        writer.SetColctNode(colct);
        saved = CSafeSave::Save(writer, m_file) == CSafeSave::SAVE_OK;
    }
    colct->SetLocRNodeRoot(nullptr);
    CBaseNode::Delete(colct);
    if (saved)
        m_bDirty = false;
    return saved;
}

RNode* CRecentProjects::GetFirst() const
{
    return m_pRoot ? m_pRoot->GetChild() : nullptr;
}

int CRecentProjects::GetCount() const
{
    int count = 0;
    for (RNode* entry = GetFirst(); entry; entry = entry->GetNext())
        ++count;
    return count;
}

RNode* CRecentProjects::Find(const std::u16string& path) const
{
    for (RNode* entry = GetFirst(); entry; entry = entry->GetNext()) {
        CUrlNode* item = GetItem(entry);
        if (item && CStringTool::EqualNoCase(item->GetUrl(), path.c_str()))
            return entry;
    }
    return nullptr;
}

CUrlNode* CRecentProjects::GetItem(RNode* entry)
{
    if (!entry || entry->GetType() != NT_URL)
        return nullptr;
    return static_cast<CUrlNode*>(entry->GetData());
}

void CRecentProjects::Clear()
{
    while (RNode* entry = GetFirst())
        DeleteEntry(entry);
}

void CRecentProjects::DeleteEntry(RNode* entry)
{
    if (!entry)
        return;
    RNTool::RemoveOneChild(m_pRoot, entry);
    RNTool::DeleteTree(entry);
}

RNode* CRecentProjects::GetLast() const
{
    RNode* first = GetFirst();
    // The head's previous link points at the tail.
    return first ? first->GetPrev() : nullptr;
}
