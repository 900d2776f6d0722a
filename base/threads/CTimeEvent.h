#pragma once

#include "base/ZandrelExport.h"

// A point in wall-clock time (seconds since 1970-01-01 UTC and
// milliseconds) with an action, run by a schedule thread when the time has
// come. Times compare seconds first, then milliseconds.
//
// Every setter carries the milliseconds once: 1000 or more lose 1000 and
// add a second, only once, and negative milliseconds stay as they are.
// Callers therefore pass milliseconds below 1000.
class ZANDREL_API CTimeEvent {
public:
    // The current time to the millisecond, ID 0, event type 0.
    CTimeEvent();
    virtual ~CTimeEvent();

    // Whether `other` stands for the same pending job, so that a queue may
    // replace one with the other. The default says no.
    virtual bool IsTheSameEvent(CTimeEvent* other);
    // The action, run on the schedule thread when the event is due. The
    // event belongs to this call from then on.
    virtual void OnTimeEvent() = 0;
    // Adds the offset to this event's own time.
    virtual void SetDelayTime(int seconds, int milliseconds);

    void SetTime(long seconds, int milliseconds);
    // This time = the time of `ref` plus the offset; nothing for null.
    void SetTime(const CTimeEvent* ref, int seconds, int milliseconds);
    // Writes each part whose pointer is given.
    void GetTime(long* seconds, int* milliseconds) const;

    // The reference time shared by all events.
    static void SetRefTime(long seconds, int milliseconds);
    static void GetRefTime(long* seconds, int* milliseconds);
    // This time = the reference time plus the offset.
    void SetDelayToRefTime(int seconds, int milliseconds);

    // 1 if this event is later than the given time, -1 if earlier, 0 if
    // equal.
    int CompareTime(long seconds, int milliseconds) const;
    int CompareTime(const CTimeEvent* other) const;
    // CompareTime against the wall clock now. Where the pointers are given,
    // stores this event's seconds minus now's and its milliseconds minus
    // now's, each on its own (the second may be negative).
    int CompareCurrentTime(long* dSeconds, int* dMilliseconds) const;
    // This event's seconds minus `t`.
    long GetTimeGap(long t) const;

    void SetID(int id) { m_iID = id; }
    int GetID() const { return m_iID; }
    int GetEventType() const { return m_iEventType; }

    // The wall clock now, to the millisecond.
    static void GetCurrentTime(long* seconds, int* milliseconds);

protected:
    // Subclasses give their events a code of their own.
    void SetEventType(int type) { m_iEventType = type; }

private:
    long m_lTime;
    int m_iMillitm;
    int m_iID = 0;
    int m_iEventType = 0;

    static long s_lRefTime;
    static int s_iRefMillitm;
};

// One cell of a time event queue. A new cell is alone: its previous cell is
// itself and it has no next cell. Deleting a cell never deletes its event.
class ZANDREL_API CEventItem {
public:
    explicit CEventItem(CTimeEvent* event) : m_pEvent(event) {}
    CEventItem(const CEventItem&) = delete;
    CEventItem& operator=(const CEventItem&) = delete;

    CEventItem* GetPrev() const { return m_pPrev; }
    void SetPrev(CEventItem* prev) { m_pPrev = prev; }
    CEventItem* GetNext() const { return m_pNext; }
    void SetNext(CEventItem* next) { m_pNext = next; }
    CTimeEvent* GetEvent() const { return m_pEvent; }

private:
    CEventItem* m_pPrev = this;
    CEventItem* m_pNext = nullptr;
    CTimeEvent* m_pEvent;
};
