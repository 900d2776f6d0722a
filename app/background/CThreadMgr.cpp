#include "app/background/CThreadMgr.h"

#include "app/core/CFileSys.h"

CThreadMgr::CThreadMgr() = default;

CThreadMgr::~CThreadMgr()
{
    // Quit comes behind the pending requests, so the deletes the user asked
    // for still happen; the threads' destructors join them.
    StopAll();
}

CScheduleThread* CThreadMgr::GetScheduleThread()
{
    if (!m_pScheduleThread) {
        m_pScheduleThread = std::make_unique<CScheduleThread>();
        m_pScheduleThread->CreateThread(0, 0);
    }
    return m_pScheduleThread.get();
}

bool CThreadMgr::PostDeleteRequest(const std::u16string& path, int kind)
{
    if (!CFileSys::Exists(path))
        return false;
    if (!m_pDeleteFileThread) {
        auto thread = std::make_unique<CDeleteFileThread>();
        // Held until it is set up, then resumed; it needs no owner window
        // for a progress display here.
        if (!thread->CreateThread(CBaseThread::CREATE_SUSPENDED, 0))
            return false;
        thread->ResumeThread();
        m_pDeleteFileThread = std::move(thread);
    }
    return m_pDeleteFileThread->PostDelete(path, kind);
}

void CThreadMgr::SetFrontPageThread(CMsgQueueThread* thread)
{
    if (m_pFrontPageThread) {
        // The new run replaces it.
        m_pFrontPageThread->KillThread();
        m_stopping.push_back(std::move(m_pFrontPageThread));
    }
    m_pFrontPageThread.reset(thread);
}

void CThreadMgr::StopAll()
{
    if (m_pScheduleThread) {
        while (CTimeEvent* e = m_pScheduleThread->GetHeadEvent())
            delete e;
    }
    if (m_pDeleteFileThread) {
        m_pDeleteFileThread->PostQuit();
        m_stopping.push_back(std::move(m_pDeleteFileThread));
    }
    if (m_pFrontPageThread) {
        // A download cut short is done again at the next start.
        m_pFrontPageThread->KillThread();
        m_stopping.push_back(std::move(m_pFrontPageThread));
    }
    if (m_pScheduleThread)
        m_pScheduleThread->StopThread();
}

std::vector<CBaseThread*> CThreadMgr::TakeThreads()
{
    std::vector<CBaseThread*> threads;
    if (m_pScheduleThread)
        threads.push_back(m_pScheduleThread.release());
    if (m_pDeleteFileThread)
        threads.push_back(m_pDeleteFileThread.release());
    if (m_pFrontPageThread)
        threads.push_back(m_pFrontPageThread.release());
    for (auto& thread : m_stopping)
        threads.push_back(thread.release());
    m_stopping.clear();
    return threads;
}
