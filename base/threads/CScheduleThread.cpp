#include "base/threads/CScheduleThread.h"

#include <algorithm>
#include <chrono>
#include <climits>

CScheduleThread::CScheduleThread() : m_pQueue(new CTimeEventQueue) {}

CScheduleThread::~CScheduleThread()
{
    StopThread();
    WaitForThread();
    // Queued events were handed over and nobody else can free them.
    while (CTimeEvent* e = GetHeadEvent())
        delete e;
    delete m_pQueue;
}

void CScheduleThread::KillThread()
{
    StopThread();
    CBaseThread::KillThread();
}

void CScheduleThread::InsertTimeEvent(CTimeEvent* e)
{
    std::lock_guard<CQVSynch> lock(*m_pQueue);
    if (m_pQueue->InsertEvent(e))
        SetWake();
}

bool CScheduleThread::InsertOrReplaceEvent(CTimeEvent* e, bool replaceIfEarlier, CTimeEvent** replaced)
{
    std::lock_guard<CQVSynch> lock(*m_pQueue);
    bool newHead = false;
    bool accepted = m_pQueue->InsertOrReplaceEvent(e, replaceIfEarlier, replaced, &newHead);
    if (accepted && newHead)
        SetWake();
    return accepted;
}

bool CScheduleThread::InsertAndReplaceEvent(CTimeEvent* e, CTimeEvent** replaced)
{
    std::lock_guard<CQVSynch> lock(*m_pQueue);
    bool newHead = false;
    bool accepted = m_pQueue->InsertAndReplaceEvent(e, replaced, &newHead);
    if (accepted && newHead)
        SetWake();
    return accepted;
}

CTimeEvent* CScheduleThread::GetHeadEvent()
{
    std::lock_guard<CQVSynch> lock(*m_pQueue);
    CTimeEvent* head = m_pQueue->GetPeepHeadEvent();
    m_pQueue->RemoveHead();
    return head;
}

void CScheduleThread::StopThread()
{
    StopDoWorkLoop();
    std::lock_guard<std::mutex> lock(m_signalMutex);
    m_bStop = true;
    m_signalCond.notify_all();
}

void CScheduleThread::DoWork()
{
    while (IsLooping()) {
        Signal signal = WaitForSignal(m_iWaitTimeout);
        if (signal == Signal::kStop) {
            StopDoWorkLoop();
            break;
        }
        // StopThread clears the flag before it sets the stop event.
        if (!IsLooping())
            break;
        if (signal == Signal::kWake)
            CheckEvent();
        else
            SetWake();
    }
}

void CScheduleThread::CheckEvent()
{
    // The wake event is reset only under the queue's lock, so an insertion
    // either comes before the check and is seen, or sets it again after.
    std::lock_guard<CQVSynch> lock(*m_pQueue);
    CTimeEvent* head = m_pQueue->GetPeepHeadEvent();
    if (!head) {
        m_iWaitTimeout = -1;
        ResetWake();
        return;
    }
    long dSeconds = 0;
    int dMilliseconds = 0;
    if (head->CompareCurrentTime(&dSeconds, &dMilliseconds) > 0) {
        // The difference is at most 0 only when the head's milliseconds are
        // negative; the seconds decide, so look again shortly rather than
        // take it for "no limit". A wait of weeks is cut to what an int
        // holds and armed again when it ends.
        long long wait = static_cast<long long>(dSeconds) * 1000 + dMilliseconds;
        m_iWaitTimeout = static_cast<int>(std::clamp<long long>(wait, 1, INT_MAX));
        ResetWake();
        return;
    }
    // One event per pass: the wake event stays set, so the loop comes back
    // at once for the next one, and a stop in between is seen.
    m_pQueue->RemoveHead();
    head->OnTimeEvent();
}

bool CScheduleThread::IsWakeSignalled() const
{
    std::lock_guard<std::mutex> lock(m_signalMutex);
    return m_bWake;
}

CScheduleThread::Signal CScheduleThread::WaitForSignal(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_signalMutex);
    auto signalled = [this] { return m_bStop || m_bWake; };
    if (timeoutMs < 0)
        m_signalCond.wait(lock, signalled);
    else if (!m_signalCond.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled))
        return Signal::kTimeout;
    return m_bStop ? Signal::kStop : Signal::kWake;
}

void CScheduleThread::SetWake()
{
    std::lock_guard<std::mutex> lock(m_signalMutex);
    m_bWake = true;
    m_signalCond.notify_all();
}

void CScheduleThread::ResetWake()
{
    std::lock_guard<std::mutex> lock(m_signalMutex);
    m_bWake = false;
}
