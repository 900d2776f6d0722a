// The delayed expand while dragging over the folder tree: which pending
// events count as the same, what Schedule keeps and drops, and the task
// a due event posts to the interface thread.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/core/CTreeExpandEvent.h"
#include "base/threads/CScheduleThread.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

using E = CTreeExpandEvent;

// What the due events asked the tree to open, in order.
struct Expanded {
    std::vector<uintptr_t> items;
    E::Expand Record()
    {
        return [this](uintptr_t item) { items.push_back(item); };
    }
};

// Another kind of event that happens to use the same type code.
class LookAlike : public CTimeEvent {
public:
    LookAlike() { SetEventType(E::kEventType); }
    void OnTimeEvent() override { delete this; }
};

int Tree1 = 0, Tree2 = 0;

// Milliseconds since 1970 of an event or of now.
long long Millis(const CTimeEvent* e = nullptr)
{
    long s = 0;
    int ms = 0;
    e ? e->GetTime(&s, &ms) : CTimeEvent::GetCurrentTime(&s, &ms);
    return s * 1000LL + ms;
}

// The queued events, taken out; the caller deletes them.
std::vector<CTimeEvent*> Drain(CScheduleThread& thread)
{
    std::vector<CTimeEvent*> events;
    while (CTimeEvent* e = thread.GetHeadEvent())
        events.push_back(e);
    return events;
}

// The thread is never started: its queue is looked at directly.
TEST(TreeExpandEventTest, APendingExpandIsKeptAndTheNewOneDropped)
{
    CScheduleThread thread;
    long long before = Millis();
    ASSERT_TRUE(E::Schedule(thread, &Tree1, 7, nullptr));
    long long after = Millis();
    // Hovering on: the same item again is dropped, and not leaked.
    EXPECT_FALSE(E::Schedule(thread, &Tree1, 7, nullptr));
    EXPECT_FALSE(E::Schedule(thread, &Tree1, 7, nullptr));
    // Another row, or the same row of another tree, has its own expand.
    EXPECT_TRUE(E::Schedule(thread, &Tree1, 8, nullptr));
    EXPECT_TRUE(E::Schedule(thread, &Tree2, 7, nullptr));
    // Nor is another kind of event with the same type code the same.
    LookAlike lookAlike;
    EXPECT_FALSE(E(&Tree1, 7).IsTheSameEvent(&lookAlike));
    EXPECT_FALSE(E(&Tree1, 7).IsTheSameEvent(nullptr));

    std::vector<CTimeEvent*> events = Drain(thread);
    ASSERT_EQ(events.size(), 3u);
    auto* first = dynamic_cast<E*>(events[0]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetItem(), 7u);
    EXPECT_EQ(first->GetTree(), &Tree1);
    // Due one second after it was asked for.
    EXPECT_GE(Millis(first), before + 1000);
    EXPECT_LE(Millis(first), after + 1000);
    for (CTimeEvent* e : events)
        delete e;
}

TEST(TreeExpandEventTest, ALaterPendingExpandIsReplacedAndFreed)
{
    // Queued for the same row but due later than a new one would be: the
    // new one takes its place, and the old one is deleted (the leak check
    // would see it otherwise).
    CScheduleThread thread;
    auto* late = new E(&Tree1, 7);
    late->SetDelayTime(30, 0);
    thread.InsertTimeEvent(late);
    ASSERT_TRUE(E::Schedule(thread, &Tree1, 7, nullptr));
    std::vector<CTimeEvent*> events = Drain(thread);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_LT(Millis(events[0]), Millis() + 2000);
    delete events[0];
}

TEST(TreeExpandEventTest, ADueExpandRunsItsRequestOnceOnTheInterfaceThread)
{
    ScriptedUI ui;
    Expanded expanded;
    // Fired by hand: nothing runs until the interface's loop does.
    (new E(&Tree1, 42, expanded.Record()))->OnTimeEvent();
    EXPECT_TRUE(expanded.items.empty());
    EXPECT_EQ(ui.RunPosted(), 1u);
    EXPECT_EQ(expanded.items, (std::vector<uintptr_t>{42}));

    // On a running schedule thread, hovered twice: one request, after the wait.
    {
        CScheduleThread thread;
        ASSERT_NE(thread.CreateThread(0, 0), 0u);
        ASSERT_TRUE(E::Schedule(thread, &Tree1, 43, expanded.Record()));
        EXPECT_FALSE(E::Schedule(thread, &Tree1, 43, expanded.Record()));
        EXPECT_EQ(ui.RunPosted(1), 1u);
    }
    // The thread has been joined: nothing more came.
    EXPECT_EQ(ui.RunPosted(), 0u);
    EXPECT_EQ(expanded.items, (std::vector<uintptr_t>{42, 43}));
}

TEST(TreeExpandEventTest, AnExpandThatNeverRunsFreesWhatItHolds)
{
    // Dropped from the queue, or posted and never run: either way what the
    // request holds goes with it (the leak check would see it otherwise).
    auto held = std::make_shared<int>(1);
    {
        ScriptedUI ui;
        CScheduleThread thread;
        ASSERT_TRUE(E::Schedule(thread, &Tree1, 7, [held](uintptr_t) {}));
        (new E(&Tree1, 8, [held](uintptr_t) {}))->OnTimeEvent();
        EXPECT_EQ(held.use_count(), 3);
    }
    EXPECT_EQ(held.use_count(), 1);
}

}  // namespace
