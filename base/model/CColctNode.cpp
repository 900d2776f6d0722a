#include "base/model/CColctNode.h"

#include <new>

#include "base/model/CFolderNode.h"
#include "base/model/RNTool.h"

CColctNode* CColctNode::New()
{
    return new (std::nothrow) CColctNode();
}

CColctNode* CColctNode::New(CColctNode* source)
{
    if (!source)
        return nullptr;
    CColctNode* colct = New();
    if (!colct)
        return nullptr;
    colct->CopyFrom(*source);
    colct->m_colctType = source->m_colctType;
    colct->m_pLocRoot = source->m_pLocRoot;
    colct->m_pHostFolder = source->m_pHostFolder;
    colct->m_bHasNewData = source->m_bHasNewData;
    colct->m_nLoadingState = source->m_nLoadingState;
    return colct;
}

CColctNode::~CColctNode()
{
    // A folder must never keep pointing at a destroyed collection.
    if (m_pHostFolder && m_pHostFolder->GetColctNode() == this)
        m_pHostFolder->DetachColctNode();
}

void CColctNode::DeleteAll(CColctNode* colct)
{
    if (!colct)
        return;
    // Grouped collections nest items in folder records: the whole tree
    // below the root goes, not just its first level.
    RNTool::DeleteTree(colct->m_pLocRoot);
    colct->m_pLocRoot = nullptr;
    CBaseNode::Delete(colct);
}

RNode* CColctNode::GetFirstRNode() const
{
    return m_pLocRoot ? m_pLocRoot->GetChild() : nullptr;
}

RNode* CColctNode::AddNewUrlNode(CUrlNode* item, bool)
{
    if (!m_pLocRoot) {
        CFolderNode* placeholder = CFolderNode::New();
        m_pLocRoot = placeholder ? RNode::New2(placeholder, NT_FOLDER) : nullptr;
        if (!m_pLocRoot) {
            CBaseNode::Delete(placeholder);
            return nullptr;
        }
    }
    RNode* record = RNode::New2(item, NT_URL);
    if (record)
        RNTool::InsertAsHeadChild(m_pLocRoot, record);
    return record;
}

void CColctNode::SetLoadingState(int state)
{
    if (state >= -1 && state <= 2)
        m_nLoadingState = state;
}

long CColctNode::GetLastModified() const
{
    long modified = 0;
    GetNodeStat()->GetStatTime(nullptr, &modified, nullptr);
    return modified;
}

void CColctNode::SetPropertiesFromColctFileNode(CColctNode* fileNode)
{
    if (!fileNode)
        return;
    if (fileNode->GetName())
        SetName(fileNode->GetName());
    SetDescription(fileNode->GetDescription());
    if (CStringTool::Length(fileNode->GetUUID()) > 1)
        SetUUID(fileNode->GetUUID());
    int state = 0;
    fileNode->HasCheckedIn(&state);
    SetCheckedIn(state);
    SetBaseBuild(fileNode->GetBaseBuild());
}
