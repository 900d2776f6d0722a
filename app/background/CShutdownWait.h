#pragma once

#include <vector>

#include "base/threads/CBaseThread.h"

// The wait for the background threads when the main window closes. The
// window runs one Pass per trip through its message loop, so it stays
// responsive while the threads end. Threads still running at pass 39 are
// asked to stop at once; the wait is over when all have finished (progress
// jobs included), or after pass 40. Every thread is then joined: none is
// ever left running on its own.
class CShutdownWait {
public:
    static constexpr int s_iPassMs = 10;
    static constexpr int s_iStopPass = 39;
    static constexpr int s_iMaxPasses = 40;

    // Takes ownership of the threads; nulls count as finished.
    explicit CShutdownWait(std::vector<CBaseThread*> threads);
    // Releases the threads as Release does.
    ~CShutdownWait();
    CShutdownWait(const CShutdownWait&) = delete;
    CShutdownWait& operator=(const CShutdownWait&) = delete;

    // Sleeps 10 ms and looks at the threads still running; asks them to
    // stop at pass 39. True when the wait is over (then at once, without
    // sleeping).
    bool Pass();
    bool IsOver() const { return m_bOver; }
    // Passes run so far, counted from 1.
    int GetPassCount() const { return m_iPass; }
    // Threads and progress jobs not yet seen finished.
    int GetRunningCount() const;

    // Asks the threads still running to stop, joins every one and deletes
    // the thread objects.
    void Release();

private:
    struct SEntry {
        CBaseThread* thread;
        bool finished;
    };

    std::vector<SEntry> m_threads;
    int m_iPass = 0;
    bool m_bOver = false;
};
