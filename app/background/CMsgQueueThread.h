#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "base/threads/CBaseThread.h"

// One message for a message-queue thread: a number, a word of data and an
// optional payload that the message owns. The payload is released with its
// free function when the message goes, unless the handler took it.
class CThreadMsg {
public:
    using FreeFn = void (*)(void*);

    CThreadMsg(unsigned message, uintptr_t wParam, void* payload, FreeFn freePayload);
    ~CThreadMsg();
    CThreadMsg(CThreadMsg&& other) noexcept;
    CThreadMsg& operator=(CThreadMsg&&) = delete;
    CThreadMsg(const CThreadMsg&) = delete;
    CThreadMsg& operator=(const CThreadMsg&) = delete;

    unsigned GetMessage() const { return m_uMessage; }
    uintptr_t GetWParam() const { return m_wParam; }
    void* GetPayload() const { return m_pPayload; }
    // Hands the payload to the caller, who frees it from then on.
    void* TakePayload();

private:
    void FreePayload();

    unsigned m_uMessage;
    uintptr_t m_wParam;
    void* m_pPayload;
    FreeFn m_freePayload;
};

// A thread that handles posted messages one at a time, in the order they
// were posted, until it takes the quit message. Requests reach it only this
// way: it shares no data with the thread that posts.
//
// A subclass handles messages in OnMessage and calls EndThread first thing
// in its own destructor, so that no handler runs on a half-destroyed object.
class CMsgQueueThread : public CBaseThread {
public:
    // The platform's quit message (WM_QUIT).
    static constexpr unsigned s_uQuitMsg = 0x0012;

    CMsgQueueThread();
    ~CMsgQueueThread() override;

    // Queues a message behind those already posted. The message owns
    // `payload` from this call on, also when the post fails: it is freed
    // with `freePayload` (if given) once handled or dropped. False when the
    // thread takes no more messages (quit was posted, or it is ending).
    // Posting works before the thread is started too.
    bool PostThreadMessage(unsigned message, uintptr_t wParam, void* payload = nullptr,
                           CThreadMsg::FreeFn freePayload = nullptr);
    // Queues the quit message: what was posted before is still handled,
    // then the thread ends. False when quit was already posted.
    bool PostQuit();

    // Also leaves the message loop after the message in hand, dropping what
    // is queued, so an idle thread ends at once.
    void KillThread() override;

protected:
    void DoWork() override;
    // Handles one message on this thread. The message frees its payload
    // after the call unless the handler took it.
    virtual void OnMessage(CThreadMsg& msg) = 0;

    // Posts quit, lets the thread handle what was posted before (all of it,
    // unless a stop was asked for), joins it and frees anything left. Safe
    // to call more than once.
    void EndThread();

private:
    // Frees every queued message.
    void DropQueue();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<CThreadMsg> m_queue;
    bool m_bClosed = false;  // quit posted or the loop left: no more posts
    bool m_bStop = false;    // leave the loop without handling the rest
};
