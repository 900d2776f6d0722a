#pragma once

// The job side of the progress dialog: one job runs on a thread of its own
// while the modal dialog shows its progress. The job reports through tasks
// posted to the interface thread only, and checks the stop request between
// its steps; the dialog (UIPort().RunProgressDialog) starts it, shows what
// it reports and returns the result that the caller reads with
// ReportResult.
//
// Every job thread is joined, never left behind: a job must end soon after
// a stop request. Closing the program asks every running job to stop.

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

#include "app/core/CUIPort.h"

// What shows a run: the dialog, on the interface thread. Reports reach it
// only while the run is attached to it; once the dialog is done with the
// run (it ended, was cancelled or the task went) they go nowhere.
class CProgressView {
public:
    virtual ~CProgressView() = default;
    virtual void OnProgressText(const std::u16string& text) = 0;
    virtual void OnProgressPos(int position) = 0;
    // Disables close and Cancel.
    virtual void OnProgressNoClose() = 0;
    // The job is over: `result` is the dialog's result.
    virtual void OnProgressEnd(int result) = 0;
};

// The dialog a run reports to; read and written on the interface thread only.
struct CProgressLink {
    CProgressView* view = nullptr;
};

// One run of the job, as the job sees it.
class CProgressRun {
public:
    // Returns true when the job succeeded.
    using Job = std::function<bool(CProgressRun& run)>;

    // A stop was asked for: by Cancel, by the task's end or by the close.
    bool IsCancelled() const { return m_stop.stop_requested(); }
    std::stop_token GetStopToken() const { return m_stop.get_token(); }
    bool IsRunning() const;
    // The argument given with the job; the run keeps it alive.
    template <typename T>
    T* GetArg() const
    {
        return static_cast<T*>(m_pArg.get());
    }

    // Reports to the dialog; nothing is posted once a stop was asked for.
    void SetPos(int position);
    void SetStatusText(const std::u16string& text);
    void DisableClose();

private:
    friend class CProgressTask;

    void Post(std::function<void(CProgressView&)> report);

    mutable std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_bRunning = false;
    bool m_bEnded = false;  // the thread is past its last use of the job
    std::stop_source m_stop;
    Job m_job;
    std::shared_ptr<void> m_pArg;
    std::shared_ptr<CProgressLink> m_pLink;
};

class CProgressTask {
public:
    enum : int {
        RESULT_OK = 1,
        RESULT_FAILED = 2,  // the job failed or its thread could not start
        RESULT_CANCELLED = 0x10002,
    };
    static constexpr int kCancelWaitMs = 500;
    static constexpr size_t kMaxTitleLength = 255;

    CProgressTask(const std::u16string& title, bool cancelAllowed);
    // Stops a job still running and joins its thread.
    ~CProgressTask();
    CProgressTask(const CProgressTask&) = delete;
    CProgressTask& operator=(const CProgressTask&) = delete;

    // The job and its one argument, for every later Start.
    void SetJob(CProgressRun::Job job, std::shared_ptr<void> arg = nullptr);
    const std::u16string& GetTitle() const { return m_title; }
    bool IsCancelAllowed() const { return m_bCancelAllowed; }
    // Stack of the job's thread; 0 for the default.
    void SetStackSize(size_t bytes) { m_nStackSize = bytes; }

    // --- the dialog's side
    // Cleans up the previous run and starts the job on its own thread,
    // reporting to `view`. False when the thread cannot start: the dialog
    // ends with RESULT_FAILED.
    bool Start(CProgressView* view);
    // The Cancel button: asks the job to stop, showing the dialog's texts
    // through `showStatus` and giving the job up to two short waits to end;
    // the run reports nothing more. The dialog disables its close first.
    // Returns RESULT_CANCELLED.
    int Cancel(const std::function<void(const std::u16string&)>& showStatus);
    // Ends the previous run: asks it to stop and joins its thread.
    void CleanUp();
    // The job's thread has not ended yet.
    bool IsJobRunning() const;

    // --- the close
    // Asks the job of every task whose thread is running to stop; each
    // then ends its dialog with RESULT_CANCELLED.
    static void StopAllJobs();
    // Tasks whose job has not ended yet.
    static int CountRunningJobs();

    // --- the caller's side
    // True for success; otherwise tells the user what happened.
    static bool ReportResult(int result);

private:
    static void* ThreadMain(void* run);
    // Waits up to `ms` for the thread to end; true when it has.
    bool WaitForEnd(int ms) const;
    void DetachView();

    std::u16string m_title;
    bool m_bCancelAllowed;
    size_t m_nStackSize = 0;
    CProgressRun::Job m_job;
    std::shared_ptr<void> m_pArg;
    std::shared_ptr<CProgressRun> m_pRun;  // the run of the thread below
    pthread_t m_thread{};
    bool m_bHasThread = false;
};
