#pragma once

#include "base/ZandrelExport.h"
#include "base/threads/CQVSynch.h"
#include "base/threads/CTimeEvent.h"

// Time events in non-decreasing time order; among equal times, in order of
// insertion. The queue is its own lock, but none of its operations takes
// it: the caller holds it around them. The queue does not own the events;
// destroying it frees the cells only.
//
// The cells form a list reached through the head, whose previous link
// points at the tail; the tail has no next cell.
class ZANDREL_API CTimeEventQueue : public CQVSynch {
public:
    CTimeEventQueue();
    ~CTimeEventQueue() override;

    // Finds the latest queued event whose IsTheSameEvent(e) says yes. If
    // there is none, queues `e`. If there is one, it is replaced by `e` only
    // when it is strictly later than `e` (`replaceIfEarlier`) or not later
    // than `e` (otherwise); the replaced event goes to *replaced and belongs
    // to the caller (pass null only where no event can match). Returns false when `e` was rejected (it stays the
    // caller's, and the queue is unchanged) or when `e` is null or memory
    // runs out. *newHead tells whether `e` became the head. Either pointer
    // may be null.
    virtual bool InsertOrReplaceEvent(CTimeEvent* e, bool replaceIfEarlier, CTimeEvent** replaced,
                                      bool* newHead);
    // As InsertOrReplaceEvent, but a matching event is always replaced.
    // Returns true unless `e` is null or memory runs out.
    virtual bool InsertAndReplaceEvent(CTimeEvent* e, CTimeEvent** replaced, bool* newHead);

    // Queues `e` behind every event not later than it. True when `e` became
    // the head. A null `e`, or memory running out, queues nothing and gives
    // false.
    bool InsertEvent(CTimeEvent* e);
    // The earliest event, left in the queue; null when empty.
    CTimeEvent* GetPeepHeadEvent() const;
    // Frees the head cell, not its event; nothing when empty.
    void RemoveHead();

    bool IsEmpty() const { return m_pHead == nullptr; }
    // The first cell, to walk the queue under its lock; null when empty.
    const CEventItem* GetHeadItem() const { return m_pHead; }

private:
    // Links the lone cell in; true when it became the head.
    bool InsertItem(CEventItem* item);
    void Unlink(CEventItem* item);
    // Shared body of the two replacing inserts; `rule` 0 replaces always,
    // 1 only a later match, 2 only a match not later than `e`.
    bool Replace(CTimeEvent* e, int rule, CTimeEvent** replaced, bool* newHead);

    CEventItem* m_pHead = nullptr;
};
