#pragma once

#include <vector>

#include "base/threads/CBaseThread.h"

// The wait for the background threads when the main window closes. The
// window runs one Pass per trip through its message loop, so it stays
// responsive while the threads end. Threads still running at pass 39 are
// killed; the wait is over when all have finished, or after pass 40.
class CShutdownWait {
public:
    static constexpr int s_iPassMs = 10;
    static constexpr int s_iKillPass = 39;
    static constexpr int s_iMaxPasses = 40;

    // Takes ownership of the threads; nulls count as finished.
    explicit CShutdownWait(std::vector<CBaseThread*> threads);
    // Releases the threads as Release does.
    ~CShutdownWait();
    CShutdownWait(const CShutdownWait&) = delete;
    CShutdownWait& operator=(const CShutdownWait&) = delete;

    // Sleeps 10 ms and looks at the threads still running; kills them at
    // pass 39. True when the wait is over (then at once, without sleeping).
    bool Pass();
    bool IsOver() const { return m_bOver; }
    // Passes run so far, counted from 1.
    int GetPassCount() const { return m_iPass; }
    // Threads not yet seen finished.
    int GetRunningCount() const;

    // Deletes the thread objects. One still running is killed first (the
    // program is ending). A killed thread may still be on its way out and
    // touch its object, so the object is deleted only once the thread has
    // gone and is kept for the rest of the process otherwise.
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
