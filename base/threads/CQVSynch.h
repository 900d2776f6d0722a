#pragma once

#include <mutex>

#include "base/ZandrelExport.h"

// A re-entrant lock: the thread that holds it may take it again and must
// release it as often as it took it. The lower-case names let std::lock_guard
// and std::unique_lock hold it.
class ZANDREL_API CQVSynch {
public:
    CQVSynch();
    virtual ~CQVSynch();
    CQVSynch(const CQVSynch&) = delete;
    CQVSynch& operator=(const CQVSynch&) = delete;

    // Waits until the lock is free (or already held by this thread).
    void Lock();
    // Releases one level of the lock; only the holder may call it.
    void UnLock();
    // Takes the lock if that can be done without waiting; true when taken.
    bool TryLock();

    void lock() { Lock(); }
    void unlock() { UnLock(); }
    bool try_lock() { return TryLock(); }

private:
    std::recursive_mutex m_mutex;
};
