#include "app/background/CProgressTask.h"

#include <chrono>

#include "base/tools/CSysString.h"

// ---- the run record ----

bool CProgressRun::IsCancelled() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_bCancel;
}

bool CProgressRun::IsRunning() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_bRunning;
}

void CProgressRun::SetPos(int position)
{
    Post(kWM_PROGRESS_POS, static_cast<uintptr_t>(position), nullptr);
}

void CProgressRun::SetStatusText(const std::u16string& text)
{
    char16_t* copy = CSysString::Alloc(text.c_str());
    if (copy)
        Post(kWM_PROGRESS_TEXT, 0, copy);
}

void CProgressRun::DisableClose()
{
    Post(kWM_PROGRESS_NOCLOSE, 0, nullptr);
}

void CProgressRun::Post(unsigned message, uintptr_t wParam, char16_t* text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    // After a cancel the dialog may be gone; the text is still ours then.
    if (m_bCancel) {
        CSysString::Free(text);
        return;
    }
    UIPort().PostMessage(message, wParam, text);
}

// ---- the task ----

CProgressTask::CProgressTask(const std::u16string& title, bool cancelAllowed)
    : m_title(title.substr(0, kMaxTitleLength)), m_bCancelAllowed(cancelAllowed)
{
}

CProgressTask::~CProgressTask()
{
    CleanUp();
}

void CProgressTask::SetJob(CProgressRun::Job job, std::shared_ptr<void> arg)
{
    m_job = std::move(job);
    m_pArg = std::move(arg);
}

bool CProgressTask::Start()
{
    CleanUp();
    auto run = std::make_shared<CProgressRun>();
    run->m_job = m_job;
    run->m_pArg = m_pArg;

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    bool ok = m_nStackSize == 0 || pthread_attr_setstacksize(&attr, m_nStackSize) == 0;
    // The thread holds the run too, so a thread let go keeps what it uses.
    auto* held = new std::shared_ptr<CProgressRun>(run);
    ok = ok && pthread_create(&m_thread, &attr, &CProgressTask::ThreadMain, held) == 0;
    pthread_attr_destroy(&attr);
    if (!ok) {
        delete held;
        return false;
    }
    m_pRun = std::move(run);
    m_bHasThread = true;
    return true;
}

void* CProgressTask::ThreadMain(void* param)
{
    std::unique_ptr<std::shared_ptr<CProgressRun>> held(static_cast<std::shared_ptr<CProgressRun>*>(param));
    CProgressRun& run = **held;
    bool cancelled;
    {
        std::lock_guard<std::mutex> hold(run.m_lock);
        run.m_bRunning = true;
        cancelled = run.m_bCancel;
    }
    int result = RESULT_FAILED;
    if (!cancelled && run.m_job) {
        try {
            result = run.m_job(run) ? RESULT_OK : RESULT_FAILED;
        } catch (...) {
            result = RESULT_FAILED;
        }
    }
    std::lock_guard<std::mutex> hold(run.m_lock);
    run.m_bRunning = false;
    if (!run.m_bCancel)
        UIPort().PostMessage(kWM_PROGRESS_END, static_cast<uintptr_t>(result), nullptr);
    run.m_bEnded = true;
    run.m_ended.notify_all();
    return nullptr;
}

bool CProgressTask::WaitForEnd(int ms) const
{
    if (!m_pRun)
        return true;
    std::unique_lock<std::mutex> hold(m_pRun->m_lock);
    return m_pRun->m_ended.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_pRun->m_bEnded; });
}

bool CProgressTask::IsJobRunning() const
{
    if (!m_pRun)
        return false;
    std::lock_guard<std::mutex> hold(m_pRun->m_lock);
    return !m_pRun->m_bEnded;
}

int CProgressTask::Cancel(const std::function<void(const std::u16string&)>& showStatus)
{
    if (m_pRun) {
        std::lock_guard<std::mutex> hold(m_pRun->m_lock);
        m_pRun->m_bCancel = true;
    }
    if (showStatus)
        showStatus(u"Termination Initiated..");
    // Each wait ends early when the job does.
    if (IsJobRunning() && !WaitForEnd(kCancelWaitMs)) {
        if (showStatus)
            showStatus(u"Termination Complete ..Shutting Down !!");
        WaitForEnd(kCancelWaitMs);
    }
    return RESULT_CANCELLED;
}

void CProgressTask::CleanUp()
{
    if (!m_pRun)
        return;
    {
        std::lock_guard<std::mutex> hold(m_pRun->m_lock);
        m_pRun->m_bCancel = true;
    }
    if (m_bHasThread) {
        // A job that does not stop in time is let go; its run record
        // lives on with it.
        if (WaitForEnd(kCancelWaitMs))
            pthread_join(m_thread, nullptr);
        else
            pthread_detach(m_thread);
        m_bHasThread = false;
    }
    m_pRun.reset();
}

bool CProgressTask::ReportResult(int result)
{
    if (result == RESULT_OK)
        return true;
    if (result < 0x10000)
        ShowMessage(u"Error Occurred !!");
    else
        ShowMessage(u"The operation has been Cancelled!");
    return false;
}
