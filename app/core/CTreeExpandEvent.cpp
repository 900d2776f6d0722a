#include "app/core/CTreeExpandEvent.h"

#include "base/threads/CScheduleThread.h"

CTreeExpandEvent::CTreeExpandEvent(const void* tree, uintptr_t item, Expand expand)
    : m_pTree(tree), m_item(item), m_expand(std::move(expand))
{
    SetEventType(kEventType);
}

bool CTreeExpandEvent::IsTheSameEvent(CTimeEvent* other)
{
    // The type code alone could be shared by an unrelated event class.
    auto* expand = dynamic_cast<CTreeExpandEvent*>(other);
    return expand && expand->GetEventType() == GetEventType() && expand->m_pTree == m_pTree &&
           expand->m_item == m_item;
}

void CTreeExpandEvent::OnTimeEvent()
{
    if (m_expand)
        UIPort().Post([expand = std::move(m_expand), item = m_item] { expand(item); });
    delete this;
}

bool CTreeExpandEvent::Schedule(CScheduleThread& thread, const void* tree, uintptr_t item, Expand expand)
{
    auto* event = new CTreeExpandEvent(tree, item, std::move(expand));
    event->SetDelayTime(kDelaySeconds, 0);
    CTimeEvent* replaced = nullptr;
    // A pending event for the item is earlier than this one, so it stays.
    if (!thread.InsertOrReplaceEvent(event, true, &replaced)) {
        delete event;
        return false;
    }
    delete replaced;
    return true;
}
