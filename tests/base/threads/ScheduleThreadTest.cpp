#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "base/threads/CScheduleThread.h"
#include "tests/base/threads/ThreadTestUtil.h"

namespace {

// Opens the loop's inner steps to the tests and counts the passes that
// reach CheckEvent.
class ProbeThread : public CScheduleThread {
public:
    using CScheduleThread::GetWaitTimeout;
    using CScheduleThread::IsWakeSignalled;

    // The loop calls the override below: it must end before this part goes.
    ~ProbeThread() override
    {
        StopThread();
        WaitForThread();
    }

    // Waits until CheckEvent has run `n` times on the thread.
    bool WaitForPasses(int n)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, kLimit, [&] { return m_passes >= n; });
    }

    void CheckEvent() override
    {
        CScheduleThread::CheckEvent();
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_passes;
        m_cond.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    int m_passes = 0;
};

class ScheduleThread : public ::testing::Test {
protected:
    void SetUp() override { m_liveBefore = TestEvent::s_live.load(); }
    // Every event of the test was fired or freed: none lost, none leaked.
    void TearDown() override { EXPECT_EQ(TestEvent::s_live.load(), m_liveBefore); }

    Recorder m_fired;
    int m_liveBefore = 0;
};

// CheckEvent called directly, with no thread running, so that every step
// of the wake event and the wait can be seen.
TEST_F(ScheduleThread, OneDueEventPerPassThenArmsForTheHead)
{
    ProbeThread s;
    s.InsertTimeEvent((new TestEvent(&m_fired, 3))->FromNow(-1000));
    s.InsertTimeEvent((new TestEvent(&m_fired, 1))->FromNow(-3000));
    s.InsertTimeEvent((new TestEvent(&m_fired, 4))->FromNow(3600 * 1000));
    s.InsertTimeEvent((new TestEvent(&m_fired, 2))->FromNow(-2000));
    for (int pass = 1; pass <= 3; ++pass) {
        s.CheckEvent();
        EXPECT_EQ(m_fired.Ids().size(), static_cast<size_t>(pass));
        EXPECT_TRUE(s.IsWakeSignalled()) << "the next pass must come at once";
    }
    s.CheckEvent();
    EXPECT_EQ(m_fired.Ids(), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(s.IsWakeSignalled());
    EXPECT_GT(s.GetWaitTimeout(), 3590 * 1000);
    EXPECT_LE(s.GetWaitTimeout(), 3600 * 1000);

    delete s.GetHeadEvent();
    // Odd times must still give a limited wait, never "no limit": negative
    // milliseconds (the seconds decide, so the difference may come out
    // negative) and a month ahead (more milliseconds than an int holds).
    long now;
    CTimeEvent::GetCurrentTime(&now, nullptr);
    auto* odd = new TestEvent(&m_fired, 5);
    odd->SetTime(now + 2, -2000);
    s.InsertTimeEvent(odd);
    s.CheckEvent();
    EXPECT_GE(s.GetWaitTimeout(), 1);
    EXPECT_LE(s.GetWaitTimeout(), 1000);
    delete s.GetHeadEvent();
    s.InsertTimeEvent((new TestEvent(&m_fired, 6))->FromNow(30LL * 24 * 3600 * 1000));
    s.CheckEvent();
    EXPECT_GT(s.GetWaitTimeout(), 24 * 24 * 3600 * 1000);
    delete s.GetHeadEvent();

    s.CheckEvent();
    EXPECT_EQ(s.GetWaitTimeout(), -1);
    EXPECT_FALSE(s.IsWakeSignalled());
}

TEST_F(ScheduleThread, OnlyANewHeadWakesTheThread)
{
    ProbeThread s;
    s.InsertTimeEvent((new TestEvent(&m_fired, 1, 1))->FromNow(60 * 1000));
    EXPECT_TRUE(s.IsWakeSignalled());
    s.CheckEvent();
    EXPECT_FALSE(s.IsWakeSignalled());
    EXPECT_GT(s.GetWaitTimeout(), 50 * 1000);

    s.InsertTimeEvent((new TestEvent(&m_fired, 2, 2))->FromNow(120 * 1000));
    EXPECT_TRUE(s.InsertAndReplaceEvent((new TestEvent(&m_fired, 3, 3))->FromNow(90 * 1000), nullptr));
    EXPECT_FALSE(s.IsWakeSignalled()) << "a later event must not wake the thread";

    // Replacing the job of key 2 by an earlier event makes a new head.
    CTimeEvent* replaced = nullptr;
    EXPECT_TRUE(s.InsertOrReplaceEvent((new TestEvent(&m_fired, 4, 2))->FromNow(10 * 1000), true, &replaced));
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(replaced->GetID(), 2);
    delete replaced;
    EXPECT_TRUE(s.IsWakeSignalled());
    s.CheckEvent();
    EXPECT_LE(s.GetWaitTimeout(), 10 * 1000);

    // A rejected event stays the caller's and changes nothing.
    auto* rejected = (new TestEvent(&m_fired, 5, 2))->FromNow(5 * 1000);
    EXPECT_FALSE(s.InsertOrReplaceEvent(rejected, false, &replaced));
    EXPECT_EQ(replaced, nullptr);
    EXPECT_FALSE(s.IsWakeSignalled());
    delete rejected;
    EXPECT_TRUE(m_fired.Ids().empty());
}

TEST_F(ScheduleThread, AnEarlierEventRearmsTheWait)
{
    ProbeThread s;
    ASSERT_NE(s.CreateThread(), 0u);
    s.InsertTimeEvent((new TestEvent(&m_fired, 1))->FromNow(3600 * 1000));
    ASSERT_TRUE(s.WaitForPasses(1));  // now asleep for an hour
    s.InsertTimeEvent((new TestEvent(&m_fired, 2))->FromNow(200));
    ASSERT_TRUE(m_fired.WaitForCount(1));
    EXPECT_EQ(m_fired.Ids(), std::vector<int>{2});
    // Destroying the running thread deletes the hour-long event unfired
    // (see TearDown).
}

TEST_F(ScheduleThread, StopEndsTheLoopWithoutFiring)
{
    {
        ProbeThread idle;
        ASSERT_NE(idle.CreateThread(), 0u);
        idle.StopThread();
        EXPECT_TRUE(idle.WaitForExit(20000));
        EXPECT_FALSE(idle.IsActive());
    }
    {
        ProbeThread armed;
        ASSERT_NE(armed.CreateThread(), 0u);
        armed.InsertTimeEvent((new TestEvent(&m_fired, 1))->FromNow(3600 * 1000));
        ASSERT_TRUE(armed.WaitForPasses(1));
        armed.StopThread();
        EXPECT_TRUE(armed.WaitForExit(20000));
        CTimeEvent* pending = armed.GetHeadEvent();
        ASSERT_NE(pending, nullptr);
        EXPECT_EQ(pending->GetID(), 1);
        delete pending;
    }
    {
        // A stop before the start wins over events already due.
        ProbeThread early;
        early.InsertTimeEvent((new TestEvent(&m_fired, 2))->FromNow(-1000));
        early.StopThread();
        ASSERT_NE(early.CreateThread(), 0u);
        EXPECT_TRUE(early.WaitForExit(20000));
    }
    {
        // A stop request ends the loop too.
        ProbeThread stopped;
        ASSERT_NE(stopped.CreateThread(), 0u);
        stopped.KillThread();
        EXPECT_TRUE(stopped.WaitForExit(20000));
        EXPECT_FALSE(stopped.IsActive());
    }
    EXPECT_TRUE(m_fired.Ids().empty());
}

TEST_F(ScheduleThread, EventsMayInsertFromOnTimeEvent)
{
    ProbeThread s;
    ASSERT_NE(s.CreateThread(), 0u);
    auto* chain = new TestEvent(&m_fired, 1, 1);
    chain->m_action = [&] {
        s.InsertTimeEvent((new TestEvent(&m_fired, 2))->FromNow(0));
        CTimeEvent* replaced = nullptr;
        s.InsertAndReplaceEvent((new TestEvent(&m_fired, 3, 1))->FromNow(50), &replaced);
        delete replaced;
    };
    s.InsertTimeEvent(chain->FromNow(0));
    ASSERT_TRUE(m_fired.WaitForCount(3));
    EXPECT_EQ(m_fired.Ids(), (std::vector<int>{1, 2, 3}));
}

}  // namespace
