#include "base/threads/CBaseThread.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {
std::atomic<unsigned long> s_lastHandle{0};
}

CBaseThread::CBaseThread() = default;

CBaseThread::~CBaseThread()
{
    WaitForThread();
}

unsigned long CBaseThread::CreateThread(unsigned long initFlags, unsigned int /*stackSize*/)
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (m_bStarted)
        return 0;
    if (initFlags & CREATE_SUSPENDED)
        m_resumeGate.Reset();
    // Set before the thread runs, so that its own phases see them.
    unsigned long handle = ++s_lastHandle;
    m_handle.store(handle);
    m_bActive.store(true);
    try {
        m_thread = std::thread([this] { Start(this); });
    } catch (const std::system_error&) {
        m_handle.store(0);
        m_bActive.store(false);
        m_resumeGate.Set();
        return 0;
    }
    m_bStarted = true;
    // The id is only known on the thread; it publishes it before anything
    // else, so this wait is short.
    m_idReady.Wait();
    return handle;
}

int CBaseThread::ResumeThread()
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (!m_bStarted)
        return -1;
    if (m_resumeGate.IsSet())
        return 0;
    m_resumeGate.Set();
    return 1;
}

unsigned int CBaseThread::Start(void* self)
{
    CBaseThread* thread = static_cast<CBaseThread*>(self);
    thread->m_threadId.store(static_cast<unsigned long>(::gettid()));
    thread->m_idReady.Set();
    thread->m_resumeGate.Wait();
    unsigned int result = 0;
    if (!thread->m_stop.stop_requested())
        result = static_cast<unsigned int>(thread->Run());
    else
        thread->m_bActive.store(false);
    // Last touch of the object: after this the owner may destroy it.
    thread->m_exited.Set();
    return result;
}

int CBaseThread::Run()
{
    PrevWork();
    // After a stop request no further phase starts; the one it is in ends
    // as soon as it sees the request.
    if (!m_stop.stop_requested())
        DoWork();
    if (!m_stop.stop_requested())
        PostWork();
    m_bActive.store(false);
    return 0;
}

void CBaseThread::KillThread()
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    m_stop.request_stop();
    m_bLoop.store(false);
    // A thread held by a suspended start goes straight to its end.
    if (m_bStarted && !m_resumeGate.IsSet())
        m_resumeGate.Set();
}

void CBaseThread::WaitForThread()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        if (!m_thread.joinable())
            return;
        if (m_thread.get_id() == std::this_thread::get_id()) {
            // Joining oneself cannot work, and a thread left running on its
            // own would outlive what it uses.
            std::fputs("Zandrel: a thread tried to collect itself\n", stderr);
            std::abort();
        }
        if (!m_resumeGate.IsSet()) {
            m_stop.request_stop();
            m_resumeGate.Set();
        }
        thread = std::move(m_thread);
    }
    thread.join();
}

bool CBaseThread::WaitForExit(int timeoutMs)
{
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        if (!m_bStarted)
            return true;
    }
    // The thread cannot wait for its own end.
    if (m_threadId.load() == static_cast<unsigned long>(::gettid()))
        return false;
    return m_exited.Wait(timeoutMs);
}
