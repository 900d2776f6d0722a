#include "base/threads/CQVEvent.h"

#include <chrono>

CQVEvent::CQVEvent(bool initiallySet) : m_bSet(initiallySet) {}

CQVEvent::~CQVEvent() = default;

void CQVEvent::Set()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = true;
    m_cond.notify_all();
}

void CQVEvent::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = false;
}

bool CQVEvent::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSet;
}

bool CQVEvent::Wait(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) {
        m_cond.wait(lock, [this] { return m_bSet; });
        return true;
    }
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bSet; });
}
