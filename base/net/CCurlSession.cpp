#include "base/net/CCurlSession.h"

#include <curl/curl.h>

#include <mutex>

namespace {

// libcurl's progress callback: non-zero aborts the transfer.
int OnProgress(void* session, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<CCurlSession*>(session)->IsStopRequested() ? 1 : 0;
}

}  // namespace

CCurlSession::CCurlSession(std::stop_token stop) : m_stop(std::move(stop))
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_pEasy = curl_easy_init();
    if (!m_pEasy)
        return;
    // No signals: the transfers run on threads other than the main one.
    curl_easy_setopt(m_pEasy, CURLOPT_NOSIGNAL, 1L);
    if (m_stop.stop_possible()) {
        curl_easy_setopt(m_pEasy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(m_pEasy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(m_pEasy, CURLOPT_NOPROGRESS, 0L);
    }
}

CCurlSession::~CCurlSession()
{
    if (m_pEasy)
        curl_easy_cleanup(m_pEasy);
}
