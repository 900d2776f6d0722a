#include "app/background/CShutdownWait.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {

// Killed threads whose objects must outlive them. Held through a pointer
// that is never freed, so the objects stay reachable (and leak checkers
// quiet) until the process ends.
void KeepForever(CBaseThread* thread)
{
    static std::mutex* s_mutex = new std::mutex;
    static std::vector<CBaseThread*>* s_kept = new std::vector<CBaseThread*>;
    std::lock_guard<std::mutex> lock(*s_mutex);
    s_kept->push_back(thread);
}

}  // namespace

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
    bool running = false;
    for (SEntry& entry : m_threads) {
        if (entry.finished)
            continue;
        if (!entry.thread->IsActive())
            entry.finished = true;
        else
            running = true;
    }
    if (!running) {
        m_bOver = true;
    } else if (m_iPass == s_iKillPass) {
        for (SEntry& entry : m_threads) {
            if (!entry.finished)
                entry.thread->KillThread();
        }
    }
    if (m_iPass >= s_iMaxPasses)
        m_bOver = true;
    return m_bOver;
}

int CShutdownWait::GetRunningCount() const
{
    int count = 0;
    for (const SEntry& entry : m_threads) {
        if (!entry.finished)
            ++count;
    }
    return count;
}

void CShutdownWait::Release()
{
    for (SEntry& entry : m_threads) {
        CBaseThread* thread = entry.thread;
        if (!thread)
            continue;
        entry.thread = nullptr;
        entry.finished = true;
        if (thread->IsActive())
            thread->KillThread();
        // KillThread takes the handle; a thread that ended on its own keeps
        // it and is past its last phase, so waiting for it is short. Without
        // a handle it was killed (or never started) and must not be waited
        // for.
        bool gone = thread->GetHandle() != 0 ? thread->WaitForExit(-1) : thread->WaitForExit(0);
        if (gone)
            delete thread;
        else
            KeepForever(thread);  // deliberate leak: its thread may still use it
    }
    m_threads.clear();
}
