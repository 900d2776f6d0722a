// The delayed expand while dragging over the folder tree: which pending
// events count as the same, what Schedule keeps and drops, and the message
// a due event posts to the interface thread.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/core/CTreeExpandEvent.h"
#include "base/threads/CScheduleThread.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

using E = CTreeExpandEvent;

// Takes the expand posts the shared double would refuse; they may come
// from the schedule thread.
class ExpandUI : public ScriptedUI {
public:
    struct Post {
        uintptr_t wParam;
        uintptr_t item;
    };
    void PostMessage(unsigned message, uintptr_t wParam, void* payload) override
    {
        if (message != E::kWM_TREE_EXPAND) {
            ScriptedUI::PostMessage(message, wParam, payload);
            return;
        }
        std::lock_guard<std::mutex> hold(m_lock);
        m_posts.push_back({wParam, reinterpret_cast<uintptr_t>(payload)});
        m_ready.notify_all();
    }
    // The posts once `count` have come, or what came within a minute.
    std::vector<Post> WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_ready.wait_for(hold, std::chrono::seconds(60), [&] { return m_posts.size() >= count; });
        return m_posts;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::vector<Post> m_posts;
};

// Another kind of event that happens to use the same type code.
class LookAlike : public CTimeEvent {
public:
    LookAlike() { SetEventType(E::kEventType); }
    void OnTimeEvent() override { delete this; }
};

int Tree1 = 0, Tree2 = 0;

// Milliseconds since 1970 of an event or of now.
long long Millis(const CTimeEvent& e)
{
    long s = 0;
    int ms = 0;
    e.GetTime(&s, &ms);
    return s * 1000LL + ms;
}
long long NowMillis()
{
    long s = 0;
    int ms = 0;
    CTimeEvent::GetCurrentTime(&s, &ms);
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

TEST(TreeExpandEventTest, SameTreeSameItemIsTheSameEvent)
{
    E event(&Tree1, 7);
    EXPECT_EQ(event.GetEventType(), 0xA001);
    E same(&Tree1, 7), otherItem(&Tree1, 8), otherTree(&Tree2, 7);
    LookAlike lookAlike;
    EXPECT_TRUE(event.IsTheSameEvent(&same));
    EXPECT_FALSE(event.IsTheSameEvent(&otherItem));
    EXPECT_FALSE(event.IsTheSameEvent(&otherTree));
    EXPECT_FALSE(event.IsTheSameEvent(&lookAlike));
    EXPECT_FALSE(event.IsTheSameEvent(nullptr));
}

// The thread is never started: its queue is looked at directly.
TEST(TreeExpandEventTest, APendingExpandIsKeptAndTheNewOneDropped)
{
    CScheduleThread thread;
    long long before = NowMillis();
    ASSERT_TRUE(E::Schedule(thread, &Tree1, 7));
    long long after = NowMillis();
    // Hovering on: the same item again is dropped, and not leaked.
    EXPECT_FALSE(E::Schedule(thread, &Tree1, 7));
    EXPECT_FALSE(E::Schedule(thread, &Tree1, 7));
    // Another row, or the same row of another tree, has its own expand.
    EXPECT_TRUE(E::Schedule(thread, &Tree1, 8));
    EXPECT_TRUE(E::Schedule(thread, &Tree2, 7));

    std::vector<CTimeEvent*> events = Drain(thread);
    ASSERT_EQ(events.size(), 3u);
    auto* first = dynamic_cast<E*>(events[0]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetItem(), 7u);
    EXPECT_EQ(first->GetTree(), &Tree1);
    // Due one second after it was asked for.
    EXPECT_GE(Millis(*first), before + 1000);
    EXPECT_LE(Millis(*first), after + 1000);
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
    ASSERT_TRUE(E::Schedule(thread, &Tree1, 7));
    std::vector<CTimeEvent*> events = Drain(thread);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_LT(Millis(*events[0]), NowMillis() + 2000);
    delete events[0];
}

TEST(TreeExpandEventTest, ADueExpandPostsItsItemOnceToTheInterface)
{
    ExpandUI ui;
    // Fired by hand: the message and the event's end.
    (new E(&Tree1, 42))->OnTimeEvent();
    std::vector<ExpandUI::Post> posts = ui.WaitFor(1);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].wParam, 0u);
    EXPECT_EQ(posts[0].item, 42u);

    // On a running schedule thread, hovered twice: one post, after the wait.
    {
        CScheduleThread thread;
        ASSERT_NE(thread.CreateThread(0, 0), 0u);
        ASSERT_TRUE(E::Schedule(thread, &Tree1, 43));
        EXPECT_FALSE(E::Schedule(thread, &Tree1, 43));
        posts = ui.WaitFor(2);
    }
    // The thread has been collected: nothing more came.
    posts = ui.WaitFor(2);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1].item, 43u);
    EXPECT_EQ(posts[1].wParam, 0u);
}

}  // namespace
