#include "base/model/CNodeStat.h"

#include <ctime>

CNodeStat::CNodeStat()
{
    long now = static_cast<long>(std::time(nullptr));
    m_tAdded = m_tModified = m_tVisited = now;
}

void CNodeStat::SetStatTime(long added, long modified, long visited, int mask)
{
    if (mask & STAT_ADDED)
        m_tAdded = added;
    if (mask & STAT_MODIFIED)
        m_tModified = modified;
    if (mask & STAT_VISITED)
        m_tVisited = visited;
}

void CNodeStat::GetStatTime(long* added, long* modified, long* visited) const
{
    if (added)
        *added = m_tAdded;
    if (modified)
        *modified = m_tModified;
    if (visited)
        *visited = m_tVisited;
}

const char16_t* CNodeStat::GetFlagName(int flag)
{
    static const char16_t* const kNames[kMaxFlag + 1] = {
        u"Clear Flag", u"Red Star",  u"Yellow Star", u"Green Star",         u"Blue Star", u"Important",
        u"Question",   u"Checked",   u"Remember for later", u"Research", u"Unfinished",
    };
    return flag >= 0 && flag <= kMaxFlag ? kNames[flag] : nullptr;
}
