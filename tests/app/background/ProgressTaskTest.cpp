// The job side of the progress dialog, run through the scripted dialog:
// results, the job's reports, the cancel sequence and a stop from the close.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/core/CProgressTask.h"
#include "base/threads/CQVEvent.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

int RunJob(ScriptedUI& ui, CProgressRun::Job job, std::shared_ptr<void> arg = nullptr)
{
    CProgressTask task(u"Working", true);
    task.SetJob(std::move(job), std::move(arg));
    return ui.RunProgressDialog(task);
}

}  // namespace

// The job's reports and argument reach the dialog; its result ends it.
TEST(ProgressTaskTest, ReportsResultsAndWhatTheCallerShows)
{
    ScriptedUI ui;
    int result = RunJob(
        ui,
        [](CProgressRun& run) {
            run.DisableClose();
            run.SetPos(*run.GetArg<int>() * 10);
            run.SetStatusText(u"half way");
            run.SetPos(100);
            return run.IsRunning() && !run.IsCancelled();
        },
        std::make_shared<int>(7));
    EXPECT_EQ(result, CProgressTask::RESULT_OK);
    EXPECT_EQ(ui.progressTitles, (Texts{"Working"}));
    EXPECT_EQ(ui.progressPositions, (std::vector<int>{70, 100}));
    EXPECT_EQ(ui.progressTexts, (Texts{"half way"}));
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
    EXPECT_EQ(ui.progressResults, (std::vector<int>{1, 2, 2, 1, 1, 2}));
    EXPECT_TRUE(ui.messages.empty());

    EXPECT_TRUE(CProgressTask::ReportResult(1));
    for (int failed : {2, 0xFFFF, 0x10000, int(CProgressTask::RESULT_CANCELLED)})
        EXPECT_FALSE(CProgressTask::ReportResult(failed)) << failed;
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Error Occurred !!", "Error Occurred !!", "The operation has been Cancelled!",
                                        "The operation has been Cancelled!"}));
    EXPECT_EQ(ui.messages[0].title, "Zandrel");
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
    // The dialog joined the job: reports queued behind the cancel go nowhere.
    int stopped = steps->load();
    size_t shown = ui.progressPositions.size();
    ui.RunPosted();
    EXPECT_EQ(steps->load(), stopped);
    EXPECT_EQ(ui.progressPositions.size(), shown);
}

TEST(ProgressTaskTest, TheCloseStopsARunningJobAndEndsItsDialog)
{
    ScriptedUI ui;
    auto started = std::make_shared<CQVEvent>();
    std::thread close([started] {
        ASSERT_TRUE(started->Wait(60000));
        EXPECT_EQ(CProgressTask::CountRunningJobs(), 1);
        CProgressTask::StopAllJobs();
    });
    int result = RunJob(
        ui,
        [](CProgressRun& run) {
            run.GetArg<CQVEvent>()->Set();
            while (!run.IsCancelled())
                usleep(1000);
            return true;
        },
        started);
    close.join();
    EXPECT_EQ(result, CProgressTask::RESULT_CANCELLED);
    EXPECT_TRUE(ui.progressTexts.empty()) << "no cancel texts: the dialog did not cancel";
    EXPECT_EQ(CProgressTask::CountRunningJobs(), 0);
}
