#include "app/core/CProgressTask.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// Runs whose thread has not been joined yet, for the close.
std::mutex g_runsLock;
std::vector<std::shared_ptr<CProgressRun>> g_runs;

}  // namespace

// ---- the run record ----

bool CProgressRun::IsRunning() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_bRunning;
}

void CProgressRun::SetPos(int position)
{
    Post([position](CProgressView& view) { view.OnProgressPos(position); });
}

void CProgressRun::SetStatusText(const std::u16string& text)
{
    Post([text](CProgressView& view) { view.OnProgressText(text); });
}

void CProgressRun::DisableClose()
{
    Post([](CProgressView& view) { view.OnProgressNoClose(); });
}

void CProgressRun::Post(std::function<void(CProgressView&)> report)
{
    if (IsCancelled())
        return;
    // The dialog may be gone when the task runs: the link says so.
    UIPort().Post([link = m_pLink, report = std::move(report)] {
        if (link->view)
            report(*link->view);
    });
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

bool CProgressTask::Start(CProgressView* view)
{
    CleanUp();
    auto run = std::make_shared<CProgressRun>();
    run->m_job = m_job;
    run->m_pArg = m_pArg;
    run->m_pLink = std::make_shared<CProgressLink>();
    run->m_pLink->view = view;

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    // Listed before the job can start, so that a close at any moment after
    // stops it.
    {
        std::lock_guard<std::mutex> hold(g_runsLock);
        g_runs.push_back(run);
    }
    bool ok = m_nStackSize == 0 || pthread_attr_setstacksize(&attr, m_nStackSize) == 0;
    ok = ok && pthread_create(&m_thread, &attr, &CProgressTask::ThreadMain, run.get()) == 0;
    pthread_attr_destroy(&attr);
    if (!ok) {
        run->m_pLink->view = nullptr;
        std::lock_guard<std::mutex> hold(g_runsLock);
        std::erase(g_runs, run);
        return false;
    }
    m_pRun = std::move(run);
    m_bHasThread = true;
    return true;
}

void* CProgressTask::ThreadMain(void* param)
{
    // The task joins this thread before it lets go of the run.
    CProgressRun& run = *static_cast<CProgressRun*>(param);
    {
        std::lock_guard<std::mutex> hold(run.m_lock);
        run.m_bRunning = true;
    }
    int result = RESULT_FAILED;
    if (!run.IsCancelled() && run.m_job) {
        try {
            result = run.m_job(run) ? RESULT_OK : RESULT_FAILED;
        } catch (...) {
            result = RESULT_FAILED;
        }
    }
    if (run.IsCancelled())
        result = RESULT_CANCELLED;
    // Always told: a stop from the close must end the dialog too. After the
    // dialog's own cancel the link is cut and this goes nowhere.
    UIPort().Post([link = run.m_pLink, result] {
        if (CProgressView* view = link->view) {
            link->view = nullptr;
            view->OnProgressEnd(result);
        }
    });
    std::lock_guard<std::mutex> hold(run.m_lock);
    run.m_bRunning = false;
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

void CProgressTask::DetachView()
{
    if (m_pRun)
        m_pRun->m_pLink->view = nullptr;
}

int CProgressTask::Cancel(const std::function<void(const std::u16string&)>& showStatus)
{
    if (m_pRun) {
        m_pRun->m_stop.request_stop();
        DetachView();
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
    m_pRun->m_stop.request_stop();
    DetachView();
    if (m_bHasThread) {
        pthread_join(m_thread, nullptr);
        m_bHasThread = false;
    }
    {
        std::lock_guard<std::mutex> hold(g_runsLock);
        std::erase(g_runs, m_pRun);
    }
    m_pRun.reset();
}

void CProgressTask::StopAllJobs()
{
    std::lock_guard<std::mutex> hold(g_runsLock);
    for (const auto& run : g_runs)
        run->m_stop.request_stop();
}

int CProgressTask::CountRunningJobs()
{
    std::lock_guard<std::mutex> hold(g_runsLock);
    int count = 0;
    for (const auto& run : g_runs) {
        std::lock_guard<std::mutex> ended(run->m_lock);
        count += run->m_bEnded ? 0 : 1;
    }
    return count;
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
