#pragma once

#include <condition_variable>
#include <mutex>

#include "base/ZandrelExport.h"

// A manual-reset event: once set it stays set, releasing every waiter,
// until Reset.
class ZANDREL_API CQVEvent {
public:
    explicit CQVEvent(bool initiallySet = false);
    ~CQVEvent();
    CQVEvent(const CQVEvent&) = delete;
    CQVEvent& operator=(const CQVEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set, at most `timeoutMs` milliseconds
    // (negative: without limit). True when it is set, false on time-out.
    bool Wait(int timeoutMs = -1);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_bSet;
};
