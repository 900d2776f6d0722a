#include "app/core/CRecentItemList.h"

#include "app/core/CSafeSave.h"
#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/RNTool.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"

namespace {

RNode* NewRoot()
{
    CFolderNode* folder = CFolderNode::New();
    RNode* root = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
    if (!root)
        CBaseNode::Delete(folder);
    return root;
}

}  // namespace

CRecentItemList::CRecentItemList(const char16_t* listName, int maxEntries)
    : m_listName(listName), m_nMax(maxEntries), m_pRoot(NewRoot())
{
}

CRecentItemList::~CRecentItemList()
{
    RNTool::DeleteTree(m_pRoot);
}

void CRecentItemList::Load()
{
    Clear();
    m_bDirty = false;
    if (!m_pRoot || m_file.empty())
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
    for (RNode* entry = from ? from->GetChild() : nullptr; entry && count < m_nMax;) {
        RNode* next = entry->GetNext();
        // Files of older versions may list a page twice.
        if (entry->GetType() == NT_URL && Find(GetItem(entry)->GetUrl())) {
            m_bDirty = true;
        } else if (entry->GetType() == NT_URL) {
            RNTool::RemoveOneChild(from, entry);
            RNTool::InsertAsChild(m_pRoot, entry);
            ++count;
        }
        entry = next;
    }
    CColctNode::DeleteAll(colct);
}

bool CRecentItemList::Write()
{
    if (!m_bDirty)
        return true;
    if (!m_pRoot || m_file.empty())
        return false;
    // The writer wants a collection: lend it our tree for the moment.
    CColctNode* colct = CColctNode::New();
    if (!colct)
        return false;
    colct->SetName(m_listName.c_str());
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

bool CRecentItemList::AddFirst(CUrlNode* item)
{
    RNode* entry = item && m_pRoot ? RNode::New2(item, NT_URL) : nullptr;
    if (!entry) {
        CBaseNode::Delete(item);
        return false;
    }
    if (RNode* same = Find(item->GetUrl()))
        DeleteEntry(same);
    else if (GetCount() >= m_nMax)
        DeleteEntry(GetLast());
    RNTool::InsertAsHeadChild(m_pRoot, entry);
    m_bDirty = true;
    return true;
}

void CRecentItemList::Remove(RNode* entry)
{
    if (!entry || !m_pRoot || entry->GetParent() != m_pRoot)
        return;
    DeleteEntry(entry);
    m_bDirty = true;
}

bool CRecentItemList::RemoveDuplicates()
{
    bool removed = false;
    for (RNode* entry = GetFirst(); entry;) {
        RNode* next = entry->GetNext();
        CUrlNode* item = GetItem(entry);
        RNode* first = item ? Find(item->GetUrl()) : nullptr;
        if (first && first != entry) {
            DeleteEntry(entry);
            removed = true;
        }
        entry = next;
    }
    if (removed)
        m_bDirty = true;
    return removed;
}

void CRecentItemList::Clear()
{
    while (RNode* entry = GetFirst())
        DeleteEntry(entry);
}

RNode* CRecentItemList::GetFirst() const
{
    return m_pRoot ? m_pRoot->GetChild() : nullptr;
}

int CRecentItemList::GetCount() const
{
    int count = 0;
    for (RNode* entry = GetFirst(); entry; entry = entry->GetNext())
        ++count;
    return count;
}

RNode* CRecentItemList::Find(const char16_t* url) const
{
    if (!url)
        return nullptr;
    for (RNode* entry = GetFirst(); entry; entry = entry->GetNext()) {
        CUrlNode* item = GetItem(entry);
        if (item && item->GetUrl() && CStringTool::EqualNoCase(item->GetUrl(), url))
            return entry;
    }
    return nullptr;
}

CUrlNode* CRecentItemList::GetItem(RNode* entry)
{
    if (!entry || entry->GetType() != NT_URL)
        return nullptr;
    return static_cast<CUrlNode*>(entry->GetData());
}

void CRecentItemList::DeleteEntry(RNode* entry)
{
    if (!entry)
        return;
    RNTool::RemoveOneChild(m_pRoot, entry);
    RNTool::DeleteTree(entry);
}

RNode* CRecentItemList::GetLast() const
{
    RNode* first = GetFirst();
    // The head's previous link points at the tail.
    return first ? first->GetPrev() : nullptr;
}
