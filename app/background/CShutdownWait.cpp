#include "app/background/CShutdownWait.h"

#include <chrono>
#include <thread>

#include "app/core/CProgressTask.h"

CShutdownWait::CShutdownWait(std::vector<CBaseThread*> threads)
{
    m_threads.reserve(threads.size());
    for (CBaseThread* thread : threads)
        m_threads.push_back({thread, thread == nullptr});
}

CShutdownWait::~CShutdownWait()
{
    Release();
}

bool CShutdownWait::Pass()
{
    if (m_bOver)
        return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(s_iPassMs));
    ++m_iPass;
    for (SEntry& entry : m_threads) {
        if (!entry.finished && !entry.thread->IsActive())
            entry.finished = true;
    }
    if (GetRunningCount() == 0) {
        m_bOver = true;
    } else if (m_iPass == s_iStopPass) {
        for (SEntry& entry : m_threads) {
            if (!entry.finished)
                entry.thread->KillThread();
        }
        CProgressTask::StopAllJobs();
    }
    if (m_iPass >= s_iMaxPasses)
        m_bOver = true;
    return m_bOver;
}

int CShutdownWait::GetRunningCount() const
{
    int count = CProgressTask::CountRunningJobs();
    for (const SEntry& entry : m_threads) {
        if (!entry.finished)
            ++count;
    }
    return count;
}

void CShutdownWait::Release()
{
    for (SEntry& entry : m_threads) {
        if (entry.thread && entry.thread->IsActive())
            entry.thread->KillThread();
    }
    // Each object's destructor joins its thread.
    for (SEntry& entry : m_threads) {
        delete entry.thread;
        entry.thread = nullptr;
        entry.finished = true;
    }
    m_threads.clear();
}
