// The job side of the progress dialog, run through the scripted dialog:
// results, the job's messages, the cancel sequence and a job that will not
// stop.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "app/background/CProgressTask.h"
#include "base/threads/CQVEvent.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

int RunJob(ScriptedUI& ui, CProgressRun::Job job, std::shared_ptr<void> arg = nullptr)
{
    CProgressTask task(u"Working", true);
    task.SetJob(std::move(job), std::move(arg));
    return ui.RunProgressDialog(task);
}

// What a job that ignores the cancel flag shares with the test.
struct Stubborn {
    CQVEvent gate;
    CQVEvent done;
    std::atomic<int> steps{0};
};

}  // namespace

TEST(ProgressTaskTest, ResultsAndWhatTheCallerShows)
{
    ScriptedUI ui;
    EXPECT_EQ(RunJob(ui, [](CProgressRun&) { return false; }), CProgressTask::RESULT_FAILED);
    EXPECT_EQ(RunJob(ui, [](CProgressRun&) -> bool { throw 1; }), CProgressTask::RESULT_FAILED);

    // One task runs again after the clean-up of its last run; a thread that
    // cannot start ends the dialog with 2.
    CProgressTask task(u"Working", true);
    int runs = 0;
    task.SetJob([&runs](CProgressRun&) { return ++runs > 0; });
    EXPECT_EQ(ui.RunProgressDialog(task), CProgressTask::RESULT_OK);
    EXPECT_EQ(ui.RunProgressDialog(task), CProgressTask::RESULT_OK);
    task.SetStackSize(size_t(1) << 60);
    EXPECT_EQ(ui.RunProgressDialog(task), CProgressTask::RESULT_FAILED);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(ui.progressResults, (std::vector<int>{2, 2, 1, 1, 2}));
    EXPECT_TRUE(ui.messages.empty());

    EXPECT_TRUE(CProgressTask::ReportResult(1));
    EXPECT_FALSE(CProgressTask::ReportResult(2));
    EXPECT_FALSE(CProgressTask::ReportResult(0xFFFF));
    EXPECT_FALSE(CProgressTask::ReportResult(0x10000));
    EXPECT_FALSE(CProgressTask::ReportResult(CProgressTask::RESULT_CANCELLED));
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Error Occurred !!", "Error Occurred !!", "The operation has been Cancelled!",
                                        "The operation has been Cancelled!"}));
    EXPECT_EQ(ui.messages[0].title, "Zandrel");
}

TEST(ProgressTaskTest, TheJobPostsPositionsAndTextsAndGetsItsArgument)
{
    ScriptedUI ui;
    auto value = std::make_shared<int>(7);
    int result = RunJob(
        ui,
        [](CProgressRun& run) {
            run.DisableClose();
            run.SetPos(*run.GetArg<int>() * 10);
            run.SetStatusText(u"half way");
            run.SetPos(100);
            return run.IsRunning() && !run.IsCancelled();
        },
        value);
    EXPECT_EQ(result, CProgressTask::RESULT_OK);
    EXPECT_EQ(ui.progressTitles, (Texts{"Working"}));
    EXPECT_EQ(ui.progressPositions, (std::vector<int>{70, 100}));
    EXPECT_EQ(ui.progressTexts, (Texts{"half way"}));
}

TEST(ProgressTaskTest, CancelStopsAJobThatChecksTheFlag)
{
    ScriptedUI ui;
    ui.progressCancelAfter = 2;
    auto steps = std::make_shared<std::atomic<int>>(0);
    int result = RunJob(
        ui,
        [](CProgressRun& run) {
            auto* count = run.GetArg<std::atomic<int>>();
            while (!run.IsCancelled()) {
                run.SetPos(++*count);
                usleep(1000);
            }
            return true;
        },
        steps);
    EXPECT_EQ(result, CProgressTask::RESULT_CANCELLED);
    // The job ended within the first wait, so the second text never came.
    EXPECT_EQ(ui.progressTexts, (Texts{"Termination Initiated.."}));
    EXPECT_EQ((std::vector<int>(ui.progressPositions.begin(), ui.progressPositions.begin() + 2)),
              (std::vector<int>{1, 2}));
    int stopped = steps->load();
    usleep(20000);
    EXPECT_EQ(steps->load(), stopped);
}

TEST(ProgressTaskTest, AJobThatWillNotStopIsLetGoAndKeepsItsRecord)
{
    auto shared = std::make_shared<Stubborn>();
    {
        ScriptedUI ui;
        ui.progressCancelAfter = 1;
        auto started = std::chrono::steady_clock::now();
        int result = RunJob(
            ui,
            [](CProgressRun& run) {
                Stubborn* state = run.GetArg<Stubborn>();
                run.SetPos(1);
                state->gate.Wait();
                // Posts after the cancel go nowhere: the dialog is gone.
                run.SetPos(2);
                run.SetStatusText(u"late");
                ++state->steps;
                state->done.Set();
                return true;
            },
            shared);
        auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(result, CProgressTask::RESULT_CANCELLED);
        EXPECT_EQ(ui.progressTexts, (Texts{"Termination Initiated..", "Termination Complete ..Shutting Down !!"}));
        // Two waits in the dialog and one when the task went.
        EXPECT_GE(waited, std::chrono::milliseconds(3 * CProgressTask::kCancelWaitMs - 50));
        EXPECT_EQ(shared->steps.load(), 0);
    }
    // The task and the dialog are gone; the job still has what it uses.
    shared->gate.Set();
    ASSERT_TRUE(shared->done.Wait(5000));
    EXPECT_EQ(shared->steps.load(), 1);
}
