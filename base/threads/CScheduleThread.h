#pragma once

#include <condition_variable>
#include <mutex>

#include "base/ZandrelExport.h"
#include "base/threads/CBaseThread.h"
#include "base/threads/CTimeEventQueue.h"

// A thread that sleeps until the earliest queued time event is due and then
// runs its OnTimeEvent, one due event per pass. Inserting an event hands it
// over; a fired event belongs to its OnTimeEvent call.
//
// Every operation holds the queue's lock for its whole run, and events fire
// inside it: an OnTimeEvent may insert into the same queue, but must not
// wait for another thread that does.
//
// Destroying the object stops and collects the thread and deletes the
// events still queued. It must not be destroyed from its own thread. A
// subclass that overrides CheckEvent calls StopThread and WaitForThread in
// its own destructor, since the loop may be inside the override.
class ZANDREL_API CScheduleThread : public CBaseThread {
public:
    CScheduleThread();
    ~CScheduleThread() override;

    // Also tells the loop to stop, so that the thread ends at once.
    void KillThread() override;

    // Queues `e`, waking the thread if `e` became the earliest. A null `e`
    // is ignored.
    void InsertTimeEvent(CTimeEvent* e);
    // The queue's operations of the same name; the thread is woken when the
    // accepted event became the earliest. A rejected event stays the
    // caller's; a replaced one is handed back in *replaced.
    virtual bool InsertOrReplaceEvent(CTimeEvent* e, bool replaceIfEarlier, CTimeEvent** replaced);
    virtual bool InsertAndReplaceEvent(CTimeEvent* e, CTimeEvent** replaced);
    // Takes the earliest event out of the queue for the caller, who owns it
    // from then on; null when empty.
    CTimeEvent* GetHeadEvent();
    // Ends the loop at its next pass without firing pending events (they
    // stay queued). Works before the thread starts too.
    void StopThread();

protected:
    void DoWork() override;
    // Called by DoWork when woken: fires the head if it is due, else arms
    // the wait for it (or for ever on an empty queue).
    virtual void CheckEvent();

    // For subclasses that watch the loop: the milliseconds the next wait
    // lasts (-1: no limit; read it on the schedule thread) and whether the
    // wake event is set.
    int GetWaitTimeout() const { return m_iWaitTimeout; }
    bool IsWakeSignalled() const;

private:
    enum class Signal { kWake, kStop, kTimeout };
    Signal WaitForSignal(int timeoutMs);
    void SetWake();
    void ResetWake();

    // Written and read by the schedule thread only.
    int m_iWaitTimeout = -1;
    // The wake and stop events are two manual-reset flags under one mutex,
    // so that the loop can wait for either.
    mutable std::mutex m_signalMutex;
    std::condition_variable m_signalCond;
    bool m_bWake = false;
    bool m_bStop = false;
    CTimeEventQueue* m_pQueue;
};
