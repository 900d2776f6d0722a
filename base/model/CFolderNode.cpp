#include "base/model/CFolderNode.h"

#include <new>

#include "base/model/CColctNode.h"

CFolderNode* CFolderNode::New()
{
    return new (std::nothrow) CFolderNode();
}

CFolderNode* CFolderNode::New(CFolderNode* source)
{
    if (!source)
        return nullptr;
    CFolderNode* folder = New();
    if (!folder)
        return nullptr;
    folder->CopyFrom(*source);
    folder->m_bHasPage = source->m_bHasPage;
    folder->m_bHasTag = source->m_bHasTag;
    folder->m_bOpen = source->m_bOpen;
    if (source->m_pColct)
        folder->SetColctNode(CColctNode::New(source->m_pColct));
    return folder;
}

CFolderNode::~CFolderNode()
{
    CColctNode* colct = DetachColctNode();
    CBaseNode::Delete(colct);
}

void CFolderNode::SetColctNode(CColctNode* colct)
{
    CModelStamp::Bump();
    if (m_pColct && m_pColct != colct)
        CBaseNode::Delete(DetachColctNode());
    m_pColct = colct;
    if (colct)
        colct->SetHostFolderNode(this);
}

CColctNode* CFolderNode::DetachColctNode()
{
    CModelStamp::Bump();
    CColctNode* colct = m_pColct;
    m_pColct = nullptr;
    return colct;
}
