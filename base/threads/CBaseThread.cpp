#include "base/threads/CBaseThread.h"

#include <unistd.h>

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
    if (!thread->m_bKilled.load())
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
    // A killed thread starts no further phase (a forcible end would not
    // have let it); the one it is in runs to its end.
    if (!m_bKilled.load())
        DoWork();
    if (!m_bKilled.load())
        PostWork();
    m_bActive.store(false);
    return 0;
}

void CBaseThread::KillThread()
{
    std::thread victim;
    bool held = false;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        if (!m_bActive.load())
            return;
        m_bKilled.store(true);
        m_bLoop.store(false);
        m_bActive.store(false);
        m_handle.store(0);
        held = !m_resumeGate.IsSet();
        victim = std::move(m_thread);
        if (held)
            m_resumeGate.Set();
    }
    if (!victim.joinable())
        return;
    // A thread that never left its suspended start ends at once: collect it.
    // Anything else may never end and is left to the process.
    if (held && victim.get_id() != std::this_thread::get_id())
        victim.join();
    else
        victim.detach();
}

void CBaseThread::WaitForThread()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        if (!m_thread.joinable())
            return;
        if (m_thread.get_id() == std::this_thread::get_id()) {
            // Joining oneself cannot work; the object's owner on this
            // thread takes the consequences.
            m_thread.detach();
            return;
        }
        if (!m_resumeGate.IsSet()) {
            m_bKilled.store(true);
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
