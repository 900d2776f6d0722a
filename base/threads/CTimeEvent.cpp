#include "base/threads/CTimeEvent.h"

#include <chrono>
#include <mutex>

long CTimeEvent::s_lRefTime = 0;
int CTimeEvent::s_iRefMillitm = 0;

namespace {

// Seconds and milliseconds of the reference time change together.
std::mutex s_refMutex;

void Carry(long& seconds, int& milliseconds)
{
    if (milliseconds >= 1000) {
        milliseconds -= 1000;
        ++seconds;
    }
}

}  // namespace

CTimeEvent::CTimeEvent()
{
    GetCurrentTime(&m_lTime, &m_iMillitm);
}

CTimeEvent::~CTimeEvent() = default;

void CTimeEvent::GetCurrentTime(long* seconds, int* milliseconds)
{
    using namespace std::chrono;
    long long ms = duration_cast<std::chrono::milliseconds>(system_clock::now().time_since_epoch()).count();
    long long s = ms / 1000;
    long long rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --s;
    }
    if (seconds)
        *seconds = static_cast<long>(s);
    if (milliseconds)
        *milliseconds = static_cast<int>(rest);
}

bool CTimeEvent::IsTheSameEvent(CTimeEvent* /*other*/)
{
    return false;
}

void CTimeEvent::SetDelayTime(int seconds, int milliseconds)
{
    m_lTime += seconds;
    m_iMillitm += milliseconds;
    Carry(m_lTime, m_iMillitm);
}

void CTimeEvent::SetTime(long seconds, int milliseconds)
{
    m_lTime = seconds;
    m_iMillitm = milliseconds;
    Carry(m_lTime, m_iMillitm);
}

void CTimeEvent::SetTime(const CTimeEvent* ref, int seconds, int milliseconds)
{
    if (!ref)
        return;
    SetTime(ref->m_lTime + seconds, ref->m_iMillitm + milliseconds);
}

void CTimeEvent::GetTime(long* seconds, int* milliseconds) const
{
    if (seconds)
        *seconds = m_lTime;
    if (milliseconds)
        *milliseconds = m_iMillitm;
}

void CTimeEvent::SetRefTime(long seconds, int milliseconds)
{
    Carry(seconds, milliseconds);
    std::lock_guard<std::mutex> lock(s_refMutex);
    s_lRefTime = seconds;
    s_iRefMillitm = milliseconds;
}

void CTimeEvent::GetRefTime(long* seconds, int* milliseconds)
{
    std::lock_guard<std::mutex> lock(s_refMutex);
    if (seconds)
        *seconds = s_lRefTime;
    if (milliseconds)
        *milliseconds = s_iRefMillitm;
}

void CTimeEvent::SetDelayToRefTime(int seconds, int milliseconds)
{
    long refSeconds;
    int refMilliseconds;
    GetRefTime(&refSeconds, &refMilliseconds);
    SetTime(refSeconds + seconds, refMilliseconds + milliseconds);
}

int CTimeEvent::CompareTime(long seconds, int milliseconds) const
{
    if (m_lTime != seconds)
        return m_lTime > seconds ? 1 : -1;
    if (m_iMillitm != milliseconds)
        return m_iMillitm > milliseconds ? 1 : -1;
    return 0;
}

int CTimeEvent::CompareTime(const CTimeEvent* other) const
{
    return CompareTime(other->m_lTime, other->m_iMillitm);
}

int CTimeEvent::CompareCurrentTime(long* dSeconds, int* dMilliseconds) const
{
    long now;
    int nowMillitm;
    GetCurrentTime(&now, &nowMillitm);
    if (dSeconds)
        *dSeconds = m_lTime - now;
    if (dMilliseconds)
        *dMilliseconds = m_iMillitm - nowMillitm;
    return CompareTime(now, nowMillitm);
}

long CTimeEvent::GetTimeGap(long t) const
{
    return m_lTime - t;
}
