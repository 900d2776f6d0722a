#include "base/net/CNetBase.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "base/net/CCurlSession.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"

namespace {

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t CollectReply(char* data, size_t size, size_t count, void* user)
{
    auto* reply = static_cast<std::string*>(user);
    try {
        reply->append(data, size * count);
    } catch (...) {
        return 0;
    }
    return size * count;
}

// Bytes at the end of `bytes` that start a multi-byte sequence without
// finishing it. Holding back anything that might still grow keeps the
// decoding identical to decoding the whole reply at once.
size_t IncompleteTail(const std::string& bytes)
{
    size_t n = bytes.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? back : 0;
    }
    return 0;
}

}  // namespace

CNetBase::CNetBase()
{
    GlobalInit();
}

CNetBase::~CNetBase()
{
    CloseSessionConnection();
}

void CNetBase::SetHost(const char16_t* host)
{
    m_host = host ? std::optional<std::u16string>(host) : std::nullopt;
}

void CNetBase::SetPostAcceptor(const char16_t* path)
{
    m_postAcceptor = path ? std::optional<std::u16string>(path) : std::nullopt;
}

static bool FitsName(const char16_t* text)
{
    return !text || std::char_traits<char16_t>::length(text) < CNetBase::s_iMaxNameLen;
}

void CNetBase::SetKRVUserName(const char16_t* name)
{
    if (FitsName(name))
        m_userName = name ? std::optional<std::u16string>(name) : std::nullopt;
}

void CNetBase::SetPswMD5(const char16_t* md5Text)
{
    if (FitsName(md5Text))
        m_pswMD5 = md5Text ? std::optional<std::u16string>(md5Text) : std::nullopt;
}

void CNetBase::SetUserNamePswMD5(const char16_t* name, const char16_t* md5Text)
{
    if (!FitsName(name) || !FitsName(md5Text))
        return;
    SetKRVUserName(name);
    SetPswMD5(md5Text);
    AddParameter(u"username", name);
    AddParameter(u"pswmd5", md5Text);
}

const char* CNetBase::GetFormUserNamePswString()
{
    if (!m_userName || !m_pswMD5)
        return nullptr;
    std::string name = CUnicodeTool::ToUtf8(*m_userName);
    std::string md5 = CUnicodeTool::ToUtf8(*m_pswMD5);
    int n = std::snprintf(m_szForm, sizeof m_szForm, "username=%s&pswmd5=%s", name.c_str(),
                          md5.c_str());
    if (n < 0 || n >= static_cast<int>(sizeof m_szForm)) {
        m_szForm[0] = 0;
        return nullptr;
    }
    return m_szForm;
}

void CNetBase::AddParameter(const char16_t* name, const char16_t* value)
{
    if (!name || !value)
        return;
    std::string n, v;
    try {
        n = CUnicodeTool::ToUtf8(name);
        v = CUnicodeTool::ToUtf8(value);
    } catch (...) {
        return;
    }
    // The 2 counts "&" and "=" even for the first pair.
    size_t total = m_nParaLen + n.size() + v.size() + 2;
    if (total > s_iParaBufLen - 1)
        return;
    std::string pair = (m_nParaLen ? "&" : "") + n + "=" + v;
    std::memcpy(m_szPara + m_nParaLen, pair.data(), pair.size());
    m_nParaLen += static_cast<int>(pair.size());
    m_szPara[m_nParaLen] = 0;
}

void CNetBase::AddResponse(const char16_t* text)
{
    if (!text)
        return;
    try {
        if (!m_response)
            m_response.emplace();
        m_response->append(text);
    } catch (...) {
    }
}

char16_t* CNetBase::DetachResponse()
{
    if (!m_response)
        return nullptr;
    char16_t* out = CSysString::AllocLen(m_response->data(),
                                         static_cast<uint32_t>(m_response->size()));
    m_response.reset();
    return out;
}

void CNetBase::AddResponseUnicodingIt(const char* bytes, int length)
{
    if (!bytes || length <= 0)
        return;
    try {
        m_pending.append(bytes, length);
        size_t keep = IncompleteTail(m_pending);
        size_t take = m_pending.size() - keep;
        if (!m_response)
            m_response.emplace();
        CUnicodeTool::AppendUtf16(std::string_view(m_pending.data(), take), *m_response);
        m_pending.erase(0, take);
    } catch (...) {
        m_pending.clear();
    }
}

void CNetBase::FlushPending()
{
    if (m_pending.empty())
        return;
    try {
        if (!m_response)
            m_response.emplace();
        CUnicodeTool::AppendUtf16(m_pending, *m_response);
    } catch (...) {
    }
    m_pending.clear();
}

int CNetBase::OpenSessionConnection()
{
    CloseSessionConnection();
    m_pCurl = std::make_unique<CCurlSession>(m_stop);
    CURL* curl = m_pCurl->Get();
    if (!curl)
        return s_iErrSession;
    m_hSession = curl;
    if (curl_easy_setopt(curl, CURLOPT_USERAGENT, "Zandrel") != CURLE_OK)
        return s_iErrSession;
    if (!m_host || m_host->empty())
        return s_iErrConnect;
    if (!m_postAcceptor)
        return s_iErrRequest;

    std::string path = CUnicodeTool::ToUtf8(*m_postAcceptor);
    std::string url = "http://" + CUnicodeTool::ToUtf8(*m_host);
    if (path.empty() || path[0] != '/')
        url += '/';
    url += path;

    // Reload and no cache write: ask every cache on the way to pass the
    // request through.
    curl_slist* headers = nullptr;
    for (const char* line : {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"}) {
        curl_slist* grown = curl_slist_append(headers, line);
        if (!grown) {
            curl_slist_free_all(headers);
            return s_iErrRequest;
        }
        headers = grown;
    }
    m_hHeaders = headers;
    if (curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http") != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_POST, 1L) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 60L) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectReply) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &m_reply) != CURLE_OK)
        return s_iErrRequest;
    m_bRequest = true;
    return 0;
}

void CNetBase::CloseSessionConnection()
{
    m_pCurl.reset();
    if (m_hHeaders)
        curl_slist_free_all(static_cast<curl_slist*>(m_hHeaders));
    m_hSession = nullptr;
    m_hHeaders = nullptr;
    m_bRequest = m_bReplied = m_bReadFailed = false;
    m_lStatus = 0;
    m_reply.clear();
    m_reply.shrink_to_fit();
}

int CNetBase::SendRequest(const char* headers, const void* body, int length)
{
    if (!m_bRequest || length < 0 || (length > 0 && !body))
        return s_iErrRequest;
    auto* curl = static_cast<CURL*>(m_hSession);
    curl_slist* list = nullptr;
    try {
        for (const curl_slist* h = static_cast<curl_slist*>(m_hHeaders); h; h = h->next) {
            curl_slist* grown = curl_slist_append(list, h->data);
            if (!grown)
                throw std::bad_alloc();
            list = grown;
        }
        std::string extra = headers ? headers : "";
        size_t start = 0;
        while (start < extra.size()) {
            size_t end = extra.find_first_of("\r\n", start);
            if (end == std::string::npos)
                end = extra.size();
            if (end > start) {
                curl_slist* grown = curl_slist_append(list, extra.substr(start, end - start).c_str());
                if (!grown)
                    throw std::bad_alloc();
                list = grown;
            }
            start = end + 1;
        }
    } catch (...) {
        curl_slist_free_all(list);
        return s_iErrSend;
    }

    static const char empty[1] = {0};
    m_reply.clear();
    m_bReplied = m_bReadFailed = false;
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(length));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, length > 0 ? body : empty);
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(list);

    m_lStatus = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &m_lStatus);
    // A reply that began and then broke off is kept for ReadServerResponse,
    // which reports the break; no reply at all is a failed send.
    if (rc != CURLE_OK && m_lStatus == 0)
        return s_iErrSend;
    m_bReplied = true;
    m_bReadFailed = rc != CURLE_OK;
    return 0;
}

int CNetBase::SendForm()
{
    return SendRequest("Content-Type: application/x-www-form-urlencoded", m_szPara, m_nParaLen);
}

int CNetBase::ReadServerResponse()
{
    if (!m_bRequest || !m_bReplied)
        return s_iErrRequest;
    size_t total = 0;
    for (int reads = 0; reads < s_iMaxReads && total < m_reply.size(); ++reads) {
        size_t piece = m_reply.size() - total;
        if (piece > static_cast<size_t>(s_iReadPiece))
            piece = s_iReadPiece;
        AddResponseUnicodingIt(m_reply.data() + total, static_cast<int>(piece));
        total += piece;
    }
    FlushPending();
    // The reply is drained like a network stream: a second read gets nothing.
    m_reply.clear();
    if (m_bReadFailed)
        return s_iErrRead;
    return static_cast<int>(total);
}
