#pragma once

#include <atomic>
#include <mutex>
#include <stop_token>
#include <thread>

#include "base/ZandrelExport.h"
#include "base/threads/CQVEvent.h"

// A worker thread with three phases run in order on the new thread:
// PrevWork, DoWork, PostWork. A DoWork that loops should test IsLooping on
// each pass, so that StopDoWorkLoop can end it.
//
// Every thread is joined, never left running on its own: KillThread asks
// it to end (its stop token, IsLooping), and the owner joins it. Work that
// can take long checks the token often enough to end soon after.
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

    // Asks the thread to end: its stop token is signalled and its loop
    // flag cleared; no further phase of it starts. A thread still held by a
    // suspended start is released and ends without running any phase. Does
    // not wait: WaitForExit or WaitForThread does. Overrides also wake what
    // the thread waits on, and call this.
    virtual void KillThread();
    bool IsStopRequested() const { return m_stop.stop_requested(); }
    // For the work of the thread to pass on (to a download, a wait).
    std::stop_token GetStopToken() const { return m_stop.get_token(); }

    // Starts the thread. `initFlags` may hold CREATE_SUSPENDED. std::thread
    // has no stack size setting, so `stackSize` is ignored (0 asks for the
    // default anyway). Returns the thread's handle: a number unique within
    // the process and never 0; 0 when the thread could not be started or
    // this object already started one (one thread per object).
    unsigned long CreateThread(unsigned long initFlags = 0, unsigned int stackSize = 0);
    // Lets a suspended thread run. Returns 1 if it was suspended, 0 if it
    // was already running (or finished), -1 if there is no thread.
    int ResumeThread();

    // True from CreateThread until Run has ended.
    bool IsActive() const { return m_bActive.load(); }
    // The value CreateThread returned; 0 before and after a failed start.
    unsigned long GetHandle() const { return m_handle.load(); }
    // The kernel's id of the thread (as ps and gdb show it); 0 if none.
    unsigned long GetThreadID() const { return m_threadId.load(); }
    void SetLoopTimeout(int ms) { m_iLoopTimeout = ms; }
    // Clears the keep-looping flag that a looping DoWork tests.
    void StopDoWorkLoop() { m_bLoop.store(false); }

    // Waits until the thread has left its last phase, at most `timeoutMs`
    // milliseconds (negative: without limit). True when it has, or when no
    // thread was started; false on time-out or when called on the thread
    // itself.
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
    // Derived destructors call it after telling DoWork to end. Never call
    // it on the thread itself: that is a fault and ends the process.
    void WaitForThread();

private:
    int m_iLoopTimeout = -1;
    std::atomic<bool> m_bLoop{true};
    std::atomic<bool> m_bActive{false};
    std::stop_source m_stop;
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
