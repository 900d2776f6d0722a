#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/background/CMsgQueueThread.h"
#include "app/background/CShutdownWait.h"
#include "base/threads/CQVEvent.h"

namespace {

int s_freed = 0;  // payloads freed; only changed while a test waits
void FreeInt(void* payload) { ++s_freed; delete static_cast<int*>(payload); }

// Records the messages it handles; the first one with wParam 99 blocks
// until the gate opens.
class CRecorder : public CMsgQueueThread {
public:
    explicit CRecorder(std::vector<unsigned>* log) : m_log(log) {}
    ~CRecorder() override { EndThread(); }
    CQVEvent gate{true};
    CQVEvent entered;

protected:
    void OnMessage(CThreadMsg& msg) override
    {
        m_log->push_back(msg.GetMessage());
        if (msg.GetWParam() == 99) {
            entered.Set();
            gate.Wait();
        }
    }

private:
    std::vector<unsigned>* m_log;
};

// Ignores every request to stop; writes to itself once let go, so that an
// early delete of the object shows up under AddressSanitizer.
class CStubborn : public CBaseThread {
public:
    std::shared_ptr<CQVEvent> gate = std::make_shared<CQVEvent>(), done = std::make_shared<CQVEvent>();
    int touched = 0;

protected:
    void DoWork() override
    {
        auto finished = done;
        gate->Wait();
        ++touched;
        finished->Set();
    }
};

}  // namespace

TEST(MsgQueueThreadTest, HandlesInOrderUntilQuitOrDestroyedAndFreesEveryPayload)
{
    s_freed = 0;
    std::vector<unsigned> log;
    CRecorder thread(&log);
    EXPECT_TRUE(thread.PostThreadMessage(1, 0, new int(1), FreeInt));  // before the start
    ASSERT_NE(thread.CreateThread(), 0u);
    thread.PostThreadMessage(2, 0, new int(2), FreeInt);
    thread.PostThreadMessage(3, 0);
    EXPECT_TRUE(thread.PostQuit());
    EXPECT_FALSE(thread.PostThreadMessage(4, 0, new int(4), FreeInt));
    EXPECT_FALSE(thread.PostQuit());
    ASSERT_TRUE(thread.WaitForExit(5000));
    EXPECT_EQ(log, (std::vector<unsigned>{1, 2, 3}));
    EXPECT_EQ(s_freed, 3);

    // Destroyed, a running thread finishes what was posted; one that never
    // ran drops it, freeing the payloads.
    auto running = std::make_unique<CRecorder>(&log);
    running->CreateThread();
    running->PostThreadMessage(5, 0, new int(5), FreeInt);
    running->PostThreadMessage(6, 0, new int(6), FreeInt);
    running.reset();
    CRecorder(&log).PostThreadMessage(7, 0, new int(7), FreeInt);  // never started
    auto held = std::make_unique<CRecorder>(&log);
    held->CreateThread(CBaseThread::CREATE_SUSPENDED);
    held->PostThreadMessage(8, 0, new int(8), FreeInt);
    held.reset();
    EXPECT_EQ(log, (std::vector<unsigned>{1, 2, 3, 5, 6}));
    EXPECT_EQ(s_freed, 7);
}

TEST(MsgQueueThreadTest, KillLeavesTheLoopAfterTheCurrentMessage)
{
    s_freed = 0;
    std::vector<unsigned> log;
    CRecorder thread(&log);
    thread.gate.Reset();
    thread.CreateThread();
    thread.PostThreadMessage(1, 99);
    thread.PostThreadMessage(2, 0, new int(2), FreeInt);
    thread.entered.Wait();
    thread.KillThread();
    EXPECT_FALSE(thread.IsActive());
    EXPECT_EQ(thread.GetHandle(), 0u);
    thread.gate.Set();
    ASSERT_TRUE(thread.WaitForExit(5000));
    EXPECT_EQ(log, (std::vector<unsigned>{1}));
    EXPECT_EQ(s_freed, 1);
}

TEST(ShutdownWaitTest, KillsAThreadThatNeverEndsAtPass39AndKeepsItsObject)
{
    std::vector<unsigned> log;
    auto quick = new CRecorder(&log);
    quick->CreateThread();
    quick->PostThreadMessage(1, 0);
    quick->PostQuit();
    auto stubborn = new CStubborn;
    stubborn->CreateThread();
    std::shared_ptr<CQVEvent> gate = stubborn->gate, done = stubborn->done;

    auto wait = std::make_unique<CShutdownWait>(std::vector<CBaseThread*>{nullptr, quick, stubborn});
    for (int pass = 1; pass < 39; ++pass) {
        ASSERT_FALSE(wait->Pass()) << pass;
        EXPECT_TRUE(stubborn->IsActive());
    }
    EXPECT_EQ(wait->GetRunningCount(), 1);
    EXPECT_FALSE(wait->Pass());  // pass 39 kills it
    EXPECT_FALSE(stubborn->IsActive());
    EXPECT_EQ(stubborn->GetHandle(), 0u);
    EXPECT_TRUE(wait->Pass());
    EXPECT_EQ(wait->GetPassCount(), 40);

    wait.reset();  // the stubborn object must survive this
    gate->Set();
    EXPECT_TRUE(done->Wait(5000));
}
