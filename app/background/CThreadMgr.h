#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/background/CDeleteFileThread.h"
#include "app/background/CMsgQueueThread.h"
#include "base/threads/CScheduleThread.h"

// The program's background threads, one holder per main window. Threads
// are made on first use. At shutdown StopAll asks each to end and
// TakeThreads hands them to the shutdown wait, which joins them.
class CThreadMgr {
public:
    CThreadMgr();
    // Stops what is still held and waits for it.
    ~CThreadMgr();
    CThreadMgr(const CThreadMgr&) = delete;
    CThreadMgr& operator=(const CThreadMgr&) = delete;

    // The schedule thread, created and started on first use. Should the
    // start fail, its events never fire.
    CScheduleThread* GetScheduleThread();

    // Asks the delete-file thread (made on first use) to move `path` to the
    // trash; `kind` is one of CDeleteFileThread::tagDELETEKIND. Nothing is
    // posted when the path does not exist or the thread cannot start: false.
    bool PostDeleteRequest(const std::u16string& path, int kind);

    // The start-page download thread; null until one is handed over.
    CMsgQueueThread* GetFrontPageThread() const { return m_pFrontPageThread.get(); }
    // Takes ownership of the start-page thread. One already held is asked
    // to stop and kept for the shutdown wait.
    void SetFrontPageThread(CMsgQueueThread* thread);

    // Deletes the pending schedule events without firing them, stops the
    // schedule thread and the start-page download, and posts quit to the
    // delete-file thread (the deletes asked for still happen). Does not
    // wait.
    void StopAll();
    // Hands over every thread held, stopped or not, for the shutdown wait;
    // the caller owns them from then on and the holder forgets them.
    std::vector<CBaseThread*> TakeThreads();

private:
    std::unique_ptr<CScheduleThread> m_pScheduleThread;
    std::unique_ptr<CDeleteFileThread> m_pDeleteFileThread;
    std::unique_ptr<CMsgQueueThread> m_pFrontPageThread;
    // Told to quit and forgotten by StopAll; kept for the shutdown wait.
    std::vector<std::unique_ptr<CMsgQueueThread>> m_stopping;
};
