#include "base/model/RNode.h"

#include <new>

#include "base/model/CBaseNode.h"

std::atomic<unsigned long> CModelStamp::s_count{0};

RNode::RNode(CBaseNode* data, tagNODETYPE type) : m_pPrev(this), m_pData(data), m_type(type) {}

RNode::~RNode()
{
    CModelStamp::Bump();
}

RNode* RNode::New(CBaseNode* data, tagNODETYPE type)
{
    return new (std::nothrow) RNode(data, type);
}

RNode* RNode::New2(CBaseNode* data, tagNODETYPE type)
{
    RNode* rnode = New(data, type);
    if (rnode && data)
        data->SetRNode(rnode);
    return rnode;
}

void RNode::Delete(RNode* rnode)
{
    delete rnode;
}
