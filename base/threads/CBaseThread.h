#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "base/ZandrelExport.h"
#include "base/threads/CQVEvent.h"

// A worker thread with three phases run in order on the new thread:
// PrevWork, DoWork, PostWork. A DoWork that loops should test IsLooping on
// each pass, so that StopDoWorkLoop can end it.
//
// The object must outlive its thread. A derived class whose DoWork can run
// on must end it in its own destructor (before its members go) and then
// call WaitForThread; the base destructor only collects a thread that has
// finished or is about to.
class ZANDREL_API CBaseThread {
public:
    // CreateThread flag: create the thread but hold it before PrevWork
    // until ResumeThread.
    static constexpr unsigned long CREATE_SUSPENDED = 0x4;

    CBaseThread();
    virtual ~CBaseThread();
    CBaseThread(const CBaseThread&) = delete;
    CBaseThread& operator=(const CBaseThread&) = delete;

    // Linux offers no safe way to end one thread of a process from outside.
    // Instead, if the thread is active, it is asked to stop looping,
    // detached and marked inactive; no further phase of it starts, and the
    // process ends it if it never returns. Its handle becomes 0. The object
    // must then stay alive until WaitForExit says the thread is gone, or
    // for the rest of the process. A thread still held by a suspended start
    // is released and ends at once without running any phase.
    virtual void KillThread();

    // Starts the thread. `initFlags` may hold CREATE_SUSPENDED. std::thread
    // has no stack size setting, so `stackSize` is ignored (0 asks for the
    // default anyway). Returns the thread's handle: a number unique within
    // the process and never 0; 0 when the thread could not be started or
    // this object already started one (one thread per object).
    unsigned long CreateThread(unsigned long initFlags = 0, unsigned int stackSize = 0);
    // Lets a suspended thread run. Returns 1 if it was suspended, 0 if it
    // was already running (or finished), -1 if there is no thread.
    int ResumeThread();

    // True from CreateThread until Run has ended (or KillThread).
    bool IsActive() const { return m_bActive.load(); }
    // The value CreateThread returned; 0 before, after a failed start and
    // after KillThread.
    unsigned long GetHandle() const { return m_handle.load(); }
    // The kernel's id of the thread (as ps and gdb show it); 0 if none.
    unsigned long GetThreadID() const { return m_threadId.load(); }
    void SetLoopTimeout(int ms) { m_iLoopTimeout = ms; }
    // Clears the keep-looping flag that a looping DoWork tests.
    void StopDoWorkLoop() { m_bLoop.store(false); }

    // Waits until the thread has left its last phase, at most `timeoutMs`
    // milliseconds (negative: without limit). True when it has, or when no
    // thread was started; false on time-out or when called on the thread
    // itself. Works for killed threads too.
    bool WaitForExit(int timeoutMs = -1);

protected:
    // The thread's entry: publishes the thread id, waits out a suspended
    // start, then calls Run. `self` is the CBaseThread.
    static unsigned int Start(void* self);
    // PrevWork, DoWork, PostWork, then clears the active flag. Returns 0.
    int Run();

    virtual void PrevWork() {}
    virtual void DoWork() = 0;
    virtual void PostWork() {}

    bool IsLooping() const { return m_bLoop.load(); }
    int GetLoopTimeout() const { return m_iLoopTimeout; }

    // Collects the thread: joins it once it ends (a suspended start that
    // was never resumed is released first, without running any phase).
    // Returns at once for a detached thread or when called on the thread
    // itself. Derived destructors call it after telling DoWork to end.
    void WaitForThread();

private:
    int m_iLoopTimeout = -1;
    std::atomic<bool> m_bLoop{true};
    std::atomic<bool> m_bActive{false};
    std::atomic<bool> m_bKilled{false};
    std::atomic<unsigned long> m_handle{0};
    std::atomic<unsigned long> m_threadId{0};
    // Held shut by a suspended start; open otherwise.
    CQVEvent m_resumeGate{true};
    CQVEvent m_idReady;
    CQVEvent m_exited;
    bool m_bStarted = false;
    // Guards m_thread and m_bStarted against CreateThread, KillThread and
    // WaitForThread running at the same time.
    std::mutex m_threadMutex;
    std::thread m_thread;
};
