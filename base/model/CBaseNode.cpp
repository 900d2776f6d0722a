#include "base/model/CBaseNode.h"

#include "base/tools/CBaseTool.h"

void CBaseNode::Delete(CBaseNode* node)
{
    delete node;
}

void CBaseNode::SetUUID(const char16_t* uuid)
{
    int n = 0;
    if (uuid) {
        for (; n < kUUIDLength && uuid[n]; ++n)
            m_szUUID[n] = uuid[n];
    }
    m_szUUID[n] = u'\0';
}

bool CBaseNode::AssignUUID(CBaseNode* node)
{
    if (!node)
        return false;
    char16_t text[kUUIDLength + 1];
    CBaseTool::GetUUID(text, kUUIDLength + 1);
    node->SetUUID(text);
    return true;
}

bool CBaseNode::HasCheckedIn(int* state) const
{
    if (state)
        *state = m_nCheckedIn;
    return m_nCheckedIn == kCheckedIn;
}

void CBaseNode::CopyFrom(const CBaseNode& source)
{
    m_name = source.m_name;
    m_description = source.m_description;
    m_stat = source.m_stat;
    SetUUID(source.m_szUUID);
    m_nVersion = source.m_nVersion;
    m_nOrder = source.m_nOrder;
    m_nCheckedIn = source.m_nCheckedIn;
    m_nBaseBuild = source.m_nBaseBuild;
    m_bDeleted = source.m_bDeleted;
    m_ulNodeData = source.m_ulNodeData;
}
