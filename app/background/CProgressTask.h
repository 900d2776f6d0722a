#pragma once

// The job side of the progress dialog: one job runs on a thread of its own
// while the modal dialog shows its progress. The job reports through posted
// messages only, and checks the cancel flag between its steps; the dialog
// (UIPort().RunProgressDialog) starts it, handles the messages and returns
// the result that the caller reads with ReportResult.
//
// Linux cannot end a thread from outside. A job that does not stop when
// asked is left to finish on its own: its thread is detached and keeps its
// run record (and the job's argument) alive until it ends. It posts nothing
// more once cancelled.

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/core/CUIPort.h"

// Messages from the job to the dialog.
constexpr unsigned kWM_PROGRESS_NOCLOSE = kWM_USER + 1234;  // disable close and Cancel
constexpr unsigned kWM_PROGRESS_END = kWM_USER + 1235;      // wParam: the dialog's result
constexpr unsigned kWM_PROGRESS_POS = kWM_USER + 1236;      // wParam: bar position
constexpr unsigned kWM_PROGRESS_TEXT = kWM_USER + 1237;     // payload: status text, a CSysString
constexpr unsigned kWM_PROGRESS_CANCEL = kWM_USER + 1238;   // the dialog cancels

// One run of the job, as the job sees it.
class CProgressRun {
public:
    // Returns true when the job succeeded.
    using Job = std::function<bool(CProgressRun& run)>;

    bool IsCancelled() const;
    bool IsRunning() const;
    // The argument given with the job; the run keeps it alive.
    template <typename T>
    T* GetArg() const
    {
        return static_cast<T*>(m_pArg.get());
    }

    // Reports to the dialog; nothing is posted once the run is cancelled.
    void SetPos(int position);
    void SetStatusText(const std::u16string& text);
    void DisableClose();

private:
    friend class CProgressTask;

    // Posts under the lock, so that nothing follows a cancel.
    void Post(unsigned message, uintptr_t wParam, char16_t* text);

    mutable std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_bRunning = false;
    bool m_bCancel = false;
    bool m_bEnded = false;  // the thread is past its last use of the job
    Job m_job;
    std::shared_ptr<void> m_pArg;
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
    // Cleans up like a new start would, so a job still running after a
    // cancel is let go here.
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
    // Cleans up the previous run and starts the job on its own thread.
    // False when the thread cannot start: the dialog ends with RESULT_FAILED.
    bool Start();
    // The Cancel button: stops the run, showing the dialog's texts through
    // `showStatus` and giving the job up to two short waits to end. The
    // dialog disables its close first. Returns RESULT_CANCELLED.
    int Cancel(const std::function<void(const std::u16string&)>& showStatus);
    // Ends the previous run: sets cancel, gives the job a short wait, and
    // lets go of a thread that is still running.
    void CleanUp();
    // The job's thread has not ended yet.
    bool IsJobRunning() const;

    // --- the caller's side
    // True for success; otherwise tells the user what happened.
    static bool ReportResult(int result);

private:
    static void* ThreadMain(void* run);
    // Waits up to `ms` for the thread to end; true when it has.
    bool WaitForEnd(int ms) const;

    std::u16string m_title;
    bool m_bCancelAllowed;
    size_t m_nStackSize = 0;
    CProgressRun::Job m_job;
    std::shared_ptr<void> m_pArg;
    std::shared_ptr<CProgressRun> m_pRun;  // the run of the thread below
    pthread_t m_thread{};
    bool m_bHasThread = false;
};
