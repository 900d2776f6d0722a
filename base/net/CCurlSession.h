#pragma once

#include <stop_token>

#include "base/ZandrelExport.h"

// libcurl's handle type, without its header.
typedef void CURL;

// One libcurl easy handle, made with the object and freed with it: the
// session every HTTP client of the program runs its transfer on. Given a
// stop token, a transfer on it ends as soon as a stop is asked for
// (CURLE_ABORTED_BY_CALLBACK): libcurl's progress callback checks the token
// while data flows and about once a second while it does not.
class ZANDREL_API CCurlSession {
public:
    explicit CCurlSession(std::stop_token stop = {});
    ~CCurlSession();
    CCurlSession(const CCurlSession&) = delete;
    CCurlSession& operator=(const CCurlSession&) = delete;

    // The easy handle; null when libcurl could not make one.
    CURL* Get() const { return m_pEasy; }
    bool IsStopRequested() const { return m_stop.stop_requested(); }
    const std::stop_token& GetStopToken() const { return m_stop; }

private:
    std::stop_token m_stop;
    CURL* m_pEasy = nullptr;
};
