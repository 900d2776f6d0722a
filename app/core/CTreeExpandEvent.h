#pragma once

// The delayed expand of a folder while the user drags over the folder tree:
// a time event on the schedule thread that, when due, posts the tree's own
// expand request to the interface thread.

#include <cstdint>
#include <functional>

#include "app/core/CUIPort.h"
#include "base/threads/CTimeEvent.h"

class CScheduleThread;

class CTreeExpandEvent : public CTimeEvent {
public:
    static constexpr int kEventType = 0xA001;
    static constexpr int kDelaySeconds = 1;
    // Runs on the interface thread with the item; it must check that its
    // tree is still there.
    using Expand = std::function<void(uintptr_t item)>;

    // `tree` and `item` are identities only, compared and handed back but
    // never followed: the row may be gone by the time the event fires.
    CTreeExpandEvent(const void* tree, uintptr_t item, Expand expand = nullptr);

    // Same type, same tree, same item.
    bool IsTheSameEvent(CTimeEvent* other) override;
    // Posts the expand request to the interface thread and deletes itself.
    void OnTimeEvent() override;

    const void* GetTree() const { return m_pTree; }
    uintptr_t GetItem() const { return m_item; }

    // Queues an expand of `item` one second from now on `thread`. While one
    // for the same item is pending the new one is dropped, so hovering
    // does not push the expand further away. True when queued.
    static bool Schedule(CScheduleThread& thread, const void* tree, uintptr_t item, Expand expand);

private:
    const void* m_pTree;
    uintptr_t m_item;
    Expand m_expand;
};
