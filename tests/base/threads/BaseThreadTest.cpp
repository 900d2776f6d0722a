#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>

#include "base/threads/CBaseThread.h"
#include "base/threads/CQVEvent.h"

namespace {

// Records its phases; DoWork can be held until `release` is set or a stop
// is asked for.
class PhaseThread : public CBaseThread {
public:
    explicit PhaseThread(std::string* log, bool holdDoWork = false) : m_log(log), m_hold(holdDoWork) {}
    ~PhaseThread() override
    {
        m_release.Set();
        WaitForThread();
    }

    CQVEvent m_inDoWork;
    CQVEvent m_release;
    unsigned long m_seenHandle = 0;

protected:
    void PrevWork() override
    {
        m_seenHandle = GetHandle();
        Add("prev ");
    }
    void DoWork() override
    {
        Add("do ");
        m_inDoWork.Set();
        std::stop_callback onStop(GetStopToken(), [this] { m_release.Set(); });
        if (m_hold)
            m_release.Wait();
    }
    void PostWork() override { Add("post"); }

private:
    void Add(const char* phase)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        *m_log += phase;
    }

    std::mutex m_mutex;
    std::string* m_log;
    bool m_hold;
};

TEST(BaseThread, SuspendedStartRunsThePhasesAfterResume)
{
    std::string log;
    PhaseThread t(&log);
    EXPECT_EQ(t.ResumeThread(), -1);
    unsigned long handle = t.CreateThread(CBaseThread::CREATE_SUSPENDED);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(t.GetHandle(), handle);
    EXPECT_TRUE(t.IsActive());
    EXPECT_NE(t.GetThreadID(), 0u);
    EXPECT_NE(t.GetThreadID(), static_cast<unsigned long>(::gettid()));
    EXPECT_FALSE(t.WaitForExit(0));
    EXPECT_EQ(t.CreateThread(), 0u) << "one thread per object";

    EXPECT_EQ(t.ResumeThread(), 1);
    EXPECT_TRUE(t.WaitForExit(20000));
    EXPECT_EQ(log, "prev do post");
    EXPECT_EQ(t.m_seenHandle, handle);
    EXPECT_FALSE(t.IsActive());
    EXPECT_EQ(t.ResumeThread(), 0);

    std::string other;
    PhaseThread u(&other);
    unsigned long second = u.CreateThread();
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, handle);
}

TEST(BaseThread, AThreadNeverResumedRunsNoPhase)
{
    std::string log;
    {
        PhaseThread destroyed(&log);
        ASSERT_NE(destroyed.CreateThread(CBaseThread::CREATE_SUSPENDED), 0u);
    }
    PhaseThread killed(&log);
    ASSERT_NE(killed.CreateThread(CBaseThread::CREATE_SUSPENDED), 0u);
    killed.KillThread();
    EXPECT_TRUE(killed.WaitForExit(20000)) << "released, it ends at once";
    EXPECT_FALSE(killed.IsActive());
    EXPECT_EQ(log, "");
}

TEST(BaseThread, AStopEndsAThreadThatWatchesItsTokenAndStartsNoFurtherPhase)
{
    std::string log;
    auto t = std::make_unique<PhaseThread>(&log, true);
    ASSERT_NE(t->CreateThread(), 0u);
    ASSERT_TRUE(t->m_inDoWork.Wait(20000));
    t->KillThread();
    EXPECT_TRUE(t->IsStopRequested());
    ASSERT_TRUE(t->WaitForExit(20000));
    EXPECT_FALSE(t->IsActive());
    EXPECT_EQ(log, "prev do ");
    t->KillThread();  // nothing left to stop
    t.reset();
}

}  // namespace
