#include "base/threads/CTimeEventQueue.h"

#include <new>

namespace {
enum Rule { kAlways, kIfQueuedLater, kIfQueuedNotLater };
}

CTimeEventQueue::CTimeEventQueue() = default;

CTimeEventQueue::~CTimeEventQueue()
{
    while (m_pHead)
        RemoveHead();
}

bool CTimeEventQueue::InsertEvent(CTimeEvent* e)
{
    if (!e)
        return false;
    CEventItem* item = new (std::nothrow) CEventItem(e);
    return item ? InsertItem(item) : false;
}

bool CTimeEventQueue::InsertItem(CEventItem* item)
{
    if (!m_pHead) {
        m_pHead = item;
        return true;
    }
    CTimeEvent* e = item->GetEvent();
    // Events are mostly added later than the rest, so the walk starts at
    // the tail and usually stops there.
    CEventItem* cell = m_pHead->GetPrev();
    while (e->CompareTime(cell->GetEvent()) < 0) {
        if (cell == m_pHead) {
            item->SetPrev(m_pHead->GetPrev());
            item->SetNext(m_pHead);
            m_pHead->SetPrev(item);
            m_pHead = item;
            return true;
        }
        cell = cell->GetPrev();
    }
    // `cell` is the last one not later than `e`: equal times keep their
    // order of arrival.
    item->SetPrev(cell);
    item->SetNext(cell->GetNext());
    if (cell->GetNext())
        cell->GetNext()->SetPrev(item);
    else
        m_pHead->SetPrev(item);
    cell->SetNext(item);
    return false;
}

CTimeEvent* CTimeEventQueue::GetPeepHeadEvent() const
{
    return m_pHead ? m_pHead->GetEvent() : nullptr;
}

void CTimeEventQueue::RemoveHead()
{
    if (!m_pHead)
        return;
    CEventItem* head = m_pHead;
    Unlink(head);
    delete head;
}

void CTimeEventQueue::Unlink(CEventItem* item)
{
    CEventItem* next = item->GetNext();
    if (item == m_pHead) {
        // The new head inherits the link to the tail.
        if (next)
            next->SetPrev(item->GetPrev());
        m_pHead = next;
    } else {
        CEventItem* prev = item->GetPrev();
        prev->SetNext(next);
        if (next)
            next->SetPrev(prev);
        else
            m_pHead->SetPrev(prev);
    }
    item->SetPrev(item);
    item->SetNext(nullptr);
}

bool CTimeEventQueue::InsertOrReplaceEvent(CTimeEvent* e, bool replaceIfEarlier, CTimeEvent** replaced,
                                           bool* newHead)
{
    return Replace(e, replaceIfEarlier ? kIfQueuedLater : kIfQueuedNotLater, replaced, newHead);
}

bool CTimeEventQueue::InsertAndReplaceEvent(CTimeEvent* e, CTimeEvent** replaced, bool* newHead)
{
    return Replace(e, kAlways, replaced, newHead);
}

bool CTimeEventQueue::Replace(CTimeEvent* e, int rule, CTimeEvent** replaced, bool* newHead)
{
    if (replaced)
        *replaced = nullptr;
    if (newHead)
        *newHead = false;
    if (!e)
        return false;

    CEventItem* match = nullptr;
    if (m_pHead) {
        CEventItem* cell = m_pHead->GetPrev();
        for (;;) {
            if (cell->GetEvent()->IsTheSameEvent(e)) {
                match = cell;
                break;
            }
            if (cell == m_pHead)
                break;
            cell = cell->GetPrev();
        }
    }
    if (match) {
        int order = match->GetEvent()->CompareTime(e);
        if ((rule == kIfQueuedLater && order <= 0) || (rule == kIfQueuedNotLater && order > 0))
            return false;
    }

    // The new cell is made before the old one goes, so that running out of
    // memory leaves the queue as it was.
    CEventItem* item = new (std::nothrow) CEventItem(e);
    if (!item)
        return false;
    if (match) {
        Unlink(match);
        if (replaced)
            *replaced = match->GetEvent();
        delete match;
    }
    bool head = InsertItem(item);
    if (newHead)
        *newHead = head;
    return true;
}
