#pragma once

#include "base/ZandrelExport.h"

// Times, unread mark and flag of a node. Times are seconds since 1970 UTC.
class ZANDREL_API CNodeStat {
public:
    enum : int {
        STAT_ADDED = 1,
        STAT_MODIFIED = 2,
        STAT_VISITED = 4,
    };
    static constexpr int kMaxFlag = 10;

    // All three times start at the current time.
    CNodeStat();

    // Stores each time whose bit (STAT_ADDED, STAT_MODIFIED, STAT_VISITED)
    // is set in `mask`; the others stay.
    void SetStatTime(long added, long modified, long visited, int mask);
    // Writes each time whose pointer is given.
    void GetStatTime(long* added, long* modified, long* visited) const;

    void SetFlag(int flag) { m_nFlag = flag; }
    int GetFlag() const { return m_nFlag; }
    void MarkAsUnread(bool unread) { m_bUnread = unread; }
    bool IsUnread() const { return m_bUnread; }

    // The name under which a flag is offered ("Clear Flag" for 0), or null
    // outside 0..kMaxFlag.
    static const char16_t* GetFlagName(int flag);

private:
    long m_tAdded;
    long m_tModified;
    long m_tVisited;
    bool m_bUnread = false;
    int m_nFlag = 0;
};
