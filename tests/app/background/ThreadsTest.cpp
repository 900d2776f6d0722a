#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/background/CFrontPage.h"
#include "app/background/CMsgQueueThread.h"
#include "app/background/CShutdownWait.h"
#include "app/background/CThreadMgr.h"
#include "app/background/CUpdateCheck.h"
#include "app/core/CAppSettings.h"
#include "app/core/CProgressTask.h"
#include "app/core/CTreeExpandEvent.h"
#include "base/threads/CQVEvent.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/fixtures/HttpTestServer.h"

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

// True once `state` holds, looking every few milliseconds for a minute.
bool WaitUntil(const std::function<bool()>& state)
{
    for (int i = 0; i < 6000 && !state(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return state();
}

// The progress dialog as far as the close is concerned: how the run ended.
struct EndOnlyView : CProgressView {
    void OnProgressText(const std::u16string&) override {}
    void OnProgressPos(int) override {}
    void OnProgressNoClose() override {}
    void OnProgressEnd(int value) override { result = value; }
    int result = 0;
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

TEST(MsgQueueThreadTest, AStopLeavesTheLoopAfterTheCurrentMessage)
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
    EXPECT_FALSE(thread.PostThreadMessage(3, 0, new int(3), FreeInt));
    thread.gate.Set();
    ASSERT_TRUE(thread.WaitForExit(5000));
    EXPECT_EQ(log, (std::vector<unsigned>{1}));
    EXPECT_EQ(s_freed, 2);
}

// The close while every kind of background job is busy: a start-page
// download stalled inside its body, an update check stalled on its reply, a
// delete, a schedule event, and a progress job that only ends when asked.
// The wait is over well before its last pass, and every thread is joined.
TEST(ShutdownWaitTest, TheCloseStopsEveryBusyJobWithinTheWaitAndJoinsItsThread)
{
    ScopedHome home;
    ScriptedUI ui;
    fs::path site = home.Root() / "web/site";
    fs::create_directories(site);
    HttpTestServer server;
    ASSERT_TRUE(server.Start(site.string()));
    auto stalled = [&] {
        fs::path file = home.Root() / "web/requests.log";
        std::string log = fs::exists(file) ? ReadBytes(file) : "";
        return std::count(log.begin(), log.end(), '\n');
    };

    CThreadMgr threads;
    auto start = [&](const char* list, const char16_t* folder, bool check) {
        ScopedEnv url("ZANDREL_FRONTPAGE_URL", Utf8(server.Url(list)));
        ScopedEnv service("ZANDREL_UPDATE_URL", Utf8(server.Url("/stall")));
        auto* thread = new CFrontPageDLThread(folder, check ? std::make_shared<CUpdateCheck>() : nullptr);
        ASSERT_NE(thread->CreateThread(), 0u);
        threads.SetFrontPageThread(thread);
    };
    start("/stall/", u"a", false);
    ASSERT_TRUE(WaitUntil([&] { return stalled() == 1; }));
    // The list is missing, so this run goes straight on to its check.
    start("/missing/", u"b", true);
    CAppSettings::Release();  // no thread reads the settings
    ASSERT_TRUE(WaitUntil([&] { return stalled() == 2; }));

    WriteBytes(home.Root() / "page.htm", "x");
    EXPECT_TRUE(threads.PostDeleteRequest(U16(home.Root() / "page.htm"), CDeleteFileThread::DELETE_NOTE));
    ASSERT_TRUE(CTreeExpandEvent::Schedule(*threads.GetScheduleThread(), &ui, 1, [](uintptr_t) {}));

    CProgressTask task(u"Working", true);
    task.SetJob([](CProgressRun& run) {
        while (!run.IsCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    });
    EndOnlyView view;
    ASSERT_TRUE(task.Start(&view));

    // What the main window's close does.
    CProgressTask::StopAllJobs();
    threads.StopAll();
    std::vector<CBaseThread*> taken = threads.TakeThreads();
    ASSERT_EQ(taken.size(), 4u);  // schedule, delete and the two runs
    {
        CShutdownWait wait(taken);
        while (!wait.Pass()) {
        }
        EXPECT_LT(wait.GetPassCount(), CShutdownWait::s_iStopPass);
        EXPECT_EQ(wait.GetRunningCount(), 0);
        for (CBaseThread* thread : taken)
            EXPECT_FALSE(thread->IsActive());
    }  // joins and deletes them; the sanitizers see any thread still running
    EXPECT_FALSE(task.IsJobRunning());
    ui.RunPosted();
    EXPECT_EQ(view.result, CProgressTask::RESULT_CANCELLED);
}
