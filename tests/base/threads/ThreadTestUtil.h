#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "base/threads/CTimeEvent.h"

// Waits in these tests are generous: they only end early when things work.
constexpr std::chrono::seconds kLimit{20};

// The ids of fired events, in firing order, safe to read from any thread.
class Recorder {
public:
    void Add(int id)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ids.push_back(id);
        m_cond.notify_all();
    }
    bool WaitForCount(size_t n)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, kLimit, [&] { return m_ids.size() >= n; });
    }
    std::vector<int> Ids() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ids;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<int> m_ids;
};

// An event that records its id when it fires, then runs an optional action
// and deletes itself, as the program's events do. Events with the same key
// stand for the same job.
class TestEvent : public CTimeEvent {
public:
    static constexpr int kType = 0x7E57;

    TestEvent(Recorder* recorder, int id, int key = 0) : m_recorder(recorder), m_key(key)
    {
        SetID(id);
        SetEventType(kType);
        ++s_live;
    }
    ~TestEvent() override { --s_live; }

    bool IsTheSameEvent(CTimeEvent* other) override
    {
        return other->GetEventType() == kType && static_cast<TestEvent*>(other)->m_key == m_key;
    }
    void OnTimeEvent() override
    {
        if (m_action)
            m_action();
        if (m_recorder)
            m_recorder->Add(GetID());
        delete this;
    }

    // This event's time: now plus `offsetMs` (negative: in the past).
    TestEvent* FromNow(long long offsetMs)
    {
        long s;
        int ms;
        GetCurrentTime(&s, &ms);
        long long t = static_cast<long long>(s) * 1000 + ms + offsetMs;
        SetTime(static_cast<long>(t / 1000), static_cast<int>(t % 1000));
        return this;
    }

    std::function<void()> m_action;
    // Events alive right now, to tell fired and freed from lost.
    static inline std::atomic<int> s_live{0};

private:
    Recorder* m_recorder;
    int m_key;
};
