#include "app/background/CMsgQueueThread.h"

#include <optional>
#include <utility>

CThreadMsg::CThreadMsg(unsigned message, uintptr_t wParam, void* payload, FreeFn freePayload)
    : m_uMessage(message), m_wParam(wParam), m_pPayload(payload), m_freePayload(freePayload)
{
}

CThreadMsg::~CThreadMsg()
{
    FreePayload();
}

CThreadMsg::CThreadMsg(CThreadMsg&& other) noexcept
    : m_uMessage(other.m_uMessage), m_wParam(other.m_wParam), m_pPayload(other.TakePayload()),
      m_freePayload(other.m_freePayload)
{
}

void* CThreadMsg::TakePayload()
{
    return std::exchange(m_pPayload, nullptr);
}

void CThreadMsg::FreePayload()
{
    void* payload = TakePayload();
    if (payload && m_freePayload)
        m_freePayload(payload);
}

CMsgQueueThread::CMsgQueueThread() = default;

CMsgQueueThread::~CMsgQueueThread()
{
    EndThread();
}

bool CMsgQueueThread::PostThreadMessage(unsigned message, uintptr_t wParam, void* payload,
                                        CThreadMsg::FreeFn freePayload)
{
    CThreadMsg msg(message, wParam, payload, freePayload);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bClosed)
            return false;  // msg frees the payload
        m_queue.push_back(std::move(msg));
        if (message == s_uQuitMsg)
            m_bClosed = true;
    }
    m_cond.notify_one();
    return true;
}

bool CMsgQueueThread::PostQuit()
{
    return PostThreadMessage(s_uQuitMsg, 0);
}

void CMsgQueueThread::KillThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_bClosed = true;
    }
    m_cond.notify_all();
    CBaseThread::KillThread();
}

void CMsgQueueThread::DoWork()
{
    for (;;) {
        std::optional<CThreadMsg> msg;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cond.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
            if (m_bStop || !IsLooping())
                break;
            msg.emplace(std::move(m_queue.front()));
            m_queue.pop_front();
        }
        if (msg->GetMessage() == s_uQuitMsg)
            break;
        OnMessage(*msg);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
    }
    DropQueue();
}

void CMsgQueueThread::EndThread()
{
    PostQuit();
    WaitForThread();
    // Left when the thread never ran (not started, or held and released).
    DropQueue();
}

void CMsgQueueThread::DropQueue()
{
    std::deque<CThreadMsg> dropped;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dropped.swap(m_queue);
    }
    // The payloads are freed here, outside the lock.
}
