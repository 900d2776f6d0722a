#include "app/background/CHttpDownload.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/core/CTraceLog.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CDataBuffer.h"

// State of one transfer, from Open to the end of the body.
struct CHttpDownload::Transfer {
    bool reading = false;      // ReadToFile takes the body
    bool bodyWaiting = false;  // the body began before anyone read it
    bool done = false;
    CURLcode result = CURLE_OK;
    bool tooBig = false;
    int64_t total = 0;
    CDataBuffer* buffer = nullptr;
    // CDataBuffer stops one byte short of 100 MiB while a body of exactly
    // 100 MiB is allowed: the piece that reaches the limit waits here.
    std::string last;
    bool storeFailed = false;
    // ReadHead's buffer: what does not fit is dropped.
    char* head = nullptr;
    int32_t headRoom = 0;
    int32_t headUsed = 0;
};

CHttpDownload::CHttpDownload(std::stop_token stop) : m_stop(std::move(stop))
{
    m_iFlag = 1;
}

void CHttpDownload::Wake::operator()() const
{
    curl_multi_wakeup(static_cast<CURLM*>(multi));
}

CHttpDownload::~CHttpDownload()
{
    Close();
}

void CHttpDownload::Close()
{
    // First, so no wake-up can reach the driver while it goes.
    m_wake.reset();
    auto* easy = static_cast<CURL*>(m_hRequest);
    auto* multi = static_cast<CURLM*>(m_hSession);
    if (easy && multi)
        curl_multi_remove_handle(multi, easy);
    m_pCurl.reset();
    if (m_hConnect)
        curl_slist_free_all(static_cast<curl_slist*>(m_hConnect));
    if (multi)
        curl_multi_cleanup(multi);
    m_hRequest = m_hConnect = m_hSession = nullptr;
    delete m_pTransfer;
    m_pTransfer = nullptr;
}

void CHttpDownload::SetError(const std::string& utf8)
{
    std::u16string text = CUnicodeTool::FromUtf8(utf8);
    size_t n = text.size() < s_iErrLen - 1 ? text.size() : s_iErrLen - 1;
    std::memcpy(m_szError, text.data(), n * sizeof(char16_t));
    m_szError[n] = 0;
}

std::string CHttpDownload::UrlUtf8() const
{
    return CUnicodeTool::ToUtf8(m_url);
}

size_t CHttpDownload::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* me = static_cast<CHttpDownload*>(self);
    size_t n = size * count;
    try {
        // Each status line starts a new header block (after a redirect or an
        // interim reply); only the last block describes the body.
        if (n >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
            me->m_rawHeaders.clear();
        me->m_rawHeaders.append(data, n);
    } catch (...) {
        return 0;
    }
    return n;
}

size_t CHttpDownload::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* me = static_cast<CHttpDownload*>(self);
    Transfer& t = *me->m_pTransfer;
    size_t n = size * count;
    if (!t.reading) {
        // Hold the body inside libcurl until ReadToFile asks for it.
        t.bodyWaiting = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (t.head) {
        size_t room = static_cast<size_t>(t.headRoom - t.headUsed);
        size_t take = n < room ? n : room;
        std::memcpy(t.head + t.headUsed, data, take);
        t.headUsed += static_cast<int32_t>(take);
        return n;
    }
    for (size_t at = 0; at < n; at += s_iReadPiece) {
        size_t piece = n - at < static_cast<size_t>(s_iReadPiece) ? n - at : s_iReadPiece;
        t.total += static_cast<int64_t>(piece);
        if (t.total > me->m_maxBody) {
            t.tooBig = true;
            return 0;  // ends the transfer
        }
        if (!t.buffer->AddData(data + at, static_cast<int>(piece))) {
            if (t.total != s_iMaxBody) {
                t.storeFailed = true;
                return 0;
            }
            try {
                t.last.assign(data + at, piece);
            } catch (...) {
                t.storeFailed = true;
                return 0;
            }
        }
    }
    return n;
}

bool CHttpDownload::Drive(bool (*stop)(const Transfer&), uint32_t* error)
{
    auto* multi = static_cast<CURLM*>(m_hSession);
    Transfer& t = *m_pTransfer;
    while (!t.done && !stop(t)) {
        if (m_stop.stop_requested()) {
            *error = CURLE_ABORTED_BY_CALLBACK;
            return false;
        }
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK) {
            *error = s_uMultiBase + static_cast<uint32_t>(mc);
            return false;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                t.done = true;
                t.result = msg->data.result;
            }
        }
        if (t.done || stop(t))
            break;
        mc = curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        if (mc != CURLM_OK) {
            *error = s_uMultiBase + static_cast<uint32_t>(mc);
            return false;
        }
    }
    return true;
}

bool CHttpDownload::Open(const char16_t* url)
{
    Close();
    m_url = url ? url : u"";
    m_rawHeaders.clear();

    CURLM* multi = curl_multi_init();
    if (multi)
        m_pCurl = std::make_unique<CCurlSession>(m_stop);
    CURL* easy = m_pCurl ? m_pCurl->Get() : nullptr;
    m_hSession = multi;
    m_hRequest = easy;
    if (multi && m_stop.stop_possible())
        m_wake.emplace(m_stop, Wake{multi});
    m_pTransfer = new (std::nothrow) Transfer;
    if (!multi || !easy || !m_pTransfer ||
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Microsoft Internet Explorer") != CURLE_OK) {
        SetError(CStringTool::Format("HTTP Cannot create session 0X%08X %s", CURLE_FAILED_INIT,
                        UrlUtf8().c_str()));
        Close();
        return false;
    }

    // Reload and no cache write; libcurl keeps no cookies unless asked and
    // takes the proxy from the usual environment variables.
    curl_slist* headers = nullptr;
    for (const char* line : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
        curl_slist* grown = curl_slist_append(headers, line);
        if (!grown)
            break;
        headers = grown;
    }
    m_hConnect = headers;
    std::string target = UrlUtf8();
    CURLcode rc = headers ? CURLE_OK : CURLE_OUT_OF_MEMORY;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(easy, option, value);
    };
    set(CURLOPT_URL, target.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_HTTPHEADER, headers);
    set(CURLOPT_CONNECTTIMEOUT, 60L);
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, 60L);
    set(CURLOPT_HEADERFUNCTION, &CHttpDownload::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &CHttpDownload::OnBody);
    set(CURLOPT_WRITEDATA, this);
    uint32_t code = rc;
    if (rc == CURLE_OK) {
        CURLMcode mc = curl_multi_add_handle(multi, easy);
        if (mc != CURLM_OK)
            code = s_uMultiBase + static_cast<uint32_t>(mc);
    }
    if (code == 0 && !Drive([](const Transfer& t) { return t.bodyWaiting; }, &code))
        code = code ? code : s_uMultiBase;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (code == 0 && m_pTransfer->done && m_pTransfer->result != CURLE_OK && status == 0)
        code = m_pTransfer->result;
    if (code != 0) {
        SetError(CStringTool::Format("HTTP Cannot connect host 0X%08X %s", code, target.c_str()));
        Close();
        return false;
    }
    if (m_rawHeaders.empty()) {
        SetError(CStringTool::Format("HTTP Cannot get raw header 0X%08X %s",
                        static_cast<uint32_t>(m_pTransfer->result), target.c_str()));
        Close();
        return false;
    }
    CTraceLog::Write("%s", m_rawHeaders.c_str());
    if (status != 200) {
        SetError(CStringTool::Format("HTTP Error Status %d %s", static_cast<int>(status), target.c_str()));
        return false;
    }
    // The content type is asked for but not used.
    char* contentType = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
    return true;
}

int32_t CHttpDownload::ReadToFile(const char16_t* path)
{
    if (!m_hRequest || !m_pTransfer)
        return -1;
    CDataBuffer buffer;
    Transfer& t = *m_pTransfer;
    t.buffer = &buffer;
    t.reading = true;
    t.total = 0;
    t.tooBig = t.storeFailed = false;
    t.last.clear();
    uint32_t code = 0;
    bool driven = true;
    if (!t.done) {
        if (t.bodyWaiting) {
            t.bodyWaiting = false;
            curl_easy_pause(static_cast<CURL*>(m_hRequest), CURLPAUSE_CONT);
        }
        driven = Drive([](const Transfer&) { return false; }, &code);
    }
    t.buffer = nullptr;
    t.reading = false;

    std::string target = UrlUtf8();
    if (t.tooBig) {
        SetError(CStringTool::Format("HTTP Size is too much %ld %s", static_cast<long>(t.total),
                        target.c_str()));
    } else if (!driven || t.storeFailed || t.result != CURLE_OK) {
        if (driven)
            code = t.storeFailed ? CURLE_OUT_OF_MEMORY : t.result;
        SetError(CStringTool::Format("HTTP Read Error=0X%08X %s", code, target.c_str()));
        return -1;
    }

    std::string file = CUnicodeTool::ToUtf8(path);
    FILE* out = path ? std::fopen(file.c_str(), "wb") : nullptr;
    int err = path ? errno : EINVAL;
    bool ok = out != nullptr;
    if (ok) {
        DATABUFFER* chunk = nullptr;
        if (buffer.GetData(&chunk) > 0) {
            for (; chunk && ok; chunk = chunk->pNext)
                ok = std::fwrite(chunk->pData, 1, chunk->nUsed, out) ==
                     static_cast<size_t>(chunk->nUsed);
        }
        if (ok && !t.last.empty())
            ok = std::fwrite(t.last.data(), 1, t.last.size(), out) == t.last.size();
        if (!ok)
            err = errno;
        if (std::fclose(out) != 0 && ok) {
            ok = false;
            err = errno;
        }
    }
    if (!ok) {
        SetError(CStringTool::Format("Cannot write to file %s 0X%08X", file.c_str(), static_cast<uint32_t>(err)));
        return -1;
    }
    return static_cast<int32_t>(buffer.GetLength() + static_cast<int64_t>(t.last.size()));
}

int32_t CHttpDownload::ReadHead(char* buffer, int32_t size)
{
    if (!m_hRequest || !m_pTransfer || !buffer || size < 0)
        return -1;
    Transfer& t = *m_pTransfer;
    t.head = buffer;
    t.headRoom = size;
    t.headUsed = 0;
    t.reading = true;
    uint32_t code = 0;
    bool driven = true;
    if (!t.done && size > 0) {
        if (t.bodyWaiting) {
            t.bodyWaiting = false;
            curl_easy_pause(static_cast<CURL*>(m_hRequest), CURLPAUSE_CONT);
        }
        driven = Drive([](const Transfer& x) { return x.headUsed >= x.headRoom; }, &code);
    }
    // A transfer that broke off only matters before the buffer was full.
    bool failed = !driven || (t.done && t.result != CURLE_OK && t.headUsed < t.headRoom);
    if (failed && driven)
        code = t.result;
    int32_t used = t.headUsed;
    if (failed)
        SetError(CStringTool::Format("HTTP Read Error=0X%08X %s", code, UrlUtf8().c_str()));
    Close();
    return failed ? -1 : used;
}
