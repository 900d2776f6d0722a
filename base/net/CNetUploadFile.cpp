#include "base/net/CNetUploadFile.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "base/net/CCurlSession.h"
#include "base/tools/CBaseTool.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"
#include "base/xml/CReadFile.h"

namespace {

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

std::string Utf8(const std::optional<std::u16string>& text)
{
    return text ? CUnicodeTool::ToUtf8(*text) : std::string();
}

bool Append(curl_slist** list, const char* line)
{
    curl_slist* grown = curl_slist_append(*list, line);
    if (!grown)
        return false;
    *list = grown;
    return true;
}

// Closes a request and whatever was opened for it, on every path.
struct RRequest {
    explicit RRequest(const std::stop_token& stop) : session(stop), curl(session.Get()) {}
    ~RRequest() { curl_slist_free_all(headers); }
    CCurlSession session;
    CURL* curl;
    curl_slist* headers = nullptr;
};

}  // namespace

CNetUploadFile::CNetUploadFile()
{
    SetBoundary();
}

CNetUploadFile::~CNetUploadFile() = default;

int CNetUploadFile::MakeResultCode(long error)
{
    if (error <= 0)
        return static_cast<int>(error);
    return static_cast<int>(0x80070000u | (static_cast<unsigned long>(error) & 0xFFFFu));
}

void CNetUploadFile::Fail(const char16_t* text, long error)
{
    SetErrorMsg(text);
    m_nResult = MakeResultCode(error);
}

void CNetUploadFile::SetBoundary()
{
    char16_t* uuid = CBaseTool::NewUUIDString();
    if (uuid) {
        m_boundary = std::u16string(uuid, CSysString::Len(uuid));
        CSysString::Free(uuid);
    } else {
        m_boundary.reset();
    }
}

void CNetUploadFile::SetProxy(const char16_t* name, const char16_t* user, const char16_t* password)
{
    m_proxyName = Opt(name);
    m_proxyUser = Opt(user);
    m_proxyPassword = Opt(password);
}

std::string CNetUploadFile::FormNameValue(const char16_t* name, const char16_t* value) const
{
    return "\r\n--" + Utf8(m_boundary) + "\r\nContent-Disposition: form-data; name=\"" +
           CUnicodeTool::ToUtf8(name ? name : u"") + "\"\r\n\r\n" +
           CUnicodeTool::ToUtf8(value ? value : u"");
}

void CNetUploadFile::AddParameter(const char16_t* name, const char16_t* value)
{
    if (!name || !value)
        return;
    try {
        std::string part = FormNameValue(name, value);
        if (m_nPartsLen + part.size() + 2 > s_iPartBufLen - 1)
            return;
        std::memcpy(m_szParts + m_nPartsLen, part.data(), part.size());
        m_nPartsLen += static_cast<int>(part.size());
        m_szParts[m_nPartsLen] = 0;
    } catch (...) {
    }
}

std::string CNetUploadFile::get_head() const
{
    return "--" + Utf8(m_boundary) + "\r\nContent-Disposition: form-data; name=\"" +
           Utf8(m_fieldName) + "\";filename=\"" + Utf8(m_localFile) +
           "\"\r\nContent-Type: application/upload\r\n\r\n";
}

std::string CNetUploadFile::get_tail() const
{
    return "\r\n--" + Utf8(m_boundary) + "--\r\n";
}

bool CNetUploadFile::get_data(std::string& out)
{
    out.clear();
    if (m_bContentMode) {
        out = CUnicodeTool::ToUtf8(m_xmlText);
        return true;
    }
    std::string path = Utf8(m_localFile);
    int fd = m_localFile ? OpenRegularFile(path.c_str()) : -1;
    int error = m_localFile ? errno : ENOENT;
    if (fd < 0 && (error == EISDIR || error == EINVAL)) {
        // Something other than a file: it opens, but there is nothing to map.
        Fail(u"CreateFileMapping Failed", EISDIR);
        return false;
    }
    if (fd < 0) {
        Fail(u"CreateFile Failed", error);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = errno;
        close(fd);
        Fail(u"CreateFileMapping Failed", error);
        return false;
    }
    // An empty file has nothing to map and sends no bytes.
    if (st.st_size == 0) {
        close(fd);
        return true;
    }
    void* view = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    error = errno;
    close(fd);
    if (view == MAP_FAILED) {
        Fail(u"MapViewOfFile Failed", error);
        return false;
    }
    bool ok = true;
    try {
        out.assign(static_cast<const char*>(view), static_cast<size_t>(st.st_size));
    } catch (...) {
        Fail(u"MapViewOfFile Failed", ENOMEM);
        ok = false;
    }
    munmap(view, static_cast<size_t>(st.st_size));
    return ok;
}

std::string CNetUploadFile::GetRequestUrl() const
{
    std::string path = Utf8(GetPostAcceptor() ? std::optional<std::u16string>(GetPostAcceptor())
                                              : std::nullopt);
    std::string url = (m_bSecure ? "https://" : "http://") +
                      CUnicodeTool::ToUtf8(GetHost() ? GetHost() : u"");
    if (path.empty() || path[0] != '/')
        url += '/';
    return url + path;
}

bool CNetUploadFile::OpenRequest(CCurlSession& session, void** headers, const char* extraHeader)
{
    CURL* curl = session.Get();
    if (!curl) {
        Fail(u"InternetOpen Failed", CURLE_FAILED_INIT);
        return false;
    }
    CURLcode rc = curl_easy_setopt(curl, CURLOPT_USERAGENT, "Korvel Post");
    if (rc == CURLE_OK && m_proxyName && !m_proxyName->empty())
        rc = curl_easy_setopt(curl, CURLOPT_PROXY, CUnicodeTool::ToUtf8(*m_proxyName).c_str());
    // A proxy given by name serves every host: no bypass list applies.
    if (rc == CURLE_OK && m_proxyName && !m_proxyName->empty())
        rc = curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    if (rc != CURLE_OK) {
        Fail(u"InternetOpen Failed", rc);
        return false;
    }

    if (!GetHost() || !*GetHost()) {
        Fail(u"InternetConnect Failed", CURLE_URL_MALFORMAT);
        return false;
    }
    rc = curl_easy_setopt(curl, CURLOPT_URL, GetRequestUrl().c_str());
    if (rc == CURLE_OK && GetConnectPort())
        rc = curl_easy_setopt(curl, CURLOPT_PORT, GetConnectPort());
    if (rc != CURLE_OK) {
        Fail(u"InternetConnect Failed", rc);
        return false;
    }
    if (m_proxyUser && m_proxyPassword) {
        rc = curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, CUnicodeTool::ToUtf8(*m_proxyUser).c_str());
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD,
                                  CUnicodeTool::ToUtf8(*m_proxyPassword).c_str());
        if (rc != CURLE_OK) {
            Fail(u"InternetSetOption Failed", rc);
            return false;
        }
    }

    // Reload and no cache write: every cache on the way passes it through.
    // No "Expect": the body follows the headers at once.
    curl_slist* list = nullptr;
    bool ok = true;
    for (const char* line : {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache", "Expect:"})
        ok = ok && Append(&list, line);
    *headers = list;
    if (!ok) {
        Fail(u"HttpOpenRequest Failed", CURLE_OUT_OF_MEMORY);
        return false;
    }
    rc = curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, m_bSecure ? "https" : "http");
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_0});
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_POST, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 60L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectReply);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_WRITEDATA, &m_reply);
    if (rc != CURLE_OK) {
        Fail(u"HttpOpenRequest Failed", rc);
        return false;
    }
    if (extraHeader) {
        if (!Append(&list, extraHeader)) {
            *headers = list;
            Fail(u"HttpAddRequestHeaders Failed", CURLE_OUT_OF_MEMORY);
            return false;
        }
        *headers = list;
    }
    rc = curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    if (rc != CURLE_OK) {
        Fail(extraHeader ? u"HttpAddRequestHeaders Failed" : u"HttpOpenRequest Failed", rc);
        return false;
    }
    return true;
}

int CNetUploadFile::Post()
{
    m_nResult = 1;
    m_errorMsg.clear();
    m_reply.clear();
    m_lContentLength = -1;
    if (!m_boundary)
        SetBoundary();
    if (!m_boundary) {
        Fail(u"InternetOpen Failed", ENOMEM);
        return m_nResult;
    }

    RRequest request(GetStopToken());
    try {
        std::string header = "Content-Type: multipart/form-data, boundary=" + Utf8(m_boundary);
        void* headers = nullptr;
        bool opened = OpenRequest(request.session, &headers, header.c_str());
        request.headers = static_cast<curl_slist*>(headers);
        if (!opened)
            return m_nResult;

        std::string body = get_head();
        std::string data;
        if (!get_data(data))
            return m_nResult;
        body += data;
        data.clear();
        data.shrink_to_fit();
        body.append(m_szParts, m_nPartsLen);
        body += get_tail();

        // The length goes out with the headers, then the pieces in order.
        curl_easy_setopt(request.curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(request.curl, CURLOPT_POSTFIELDS, body.data());
        CURLcode rc = curl_easy_perform(request.curl);
        long status = 0;
        curl_easy_getinfo(request.curl, CURLINFO_RESPONSE_CODE, &status);
        if (rc != CURLE_OK && status == 0) {
            if (rc == CURLE_COULDNT_CONNECT || rc == CURLE_COULDNT_RESOLVE_HOST ||
                rc == CURLE_COULDNT_RESOLVE_PROXY || rc == CURLE_OPERATION_TIMEDOUT)
                Fail(u"InternetConnect Failed", rc);
            else if (rc == CURLE_RECV_ERROR || rc == CURLE_GOT_NOTHING ||
                     rc == CURLE_WEIRD_SERVER_REPLY)
                Fail(u"HttpEndRequest Failed", rc);
            else
                Fail(u"HttpSendRequestEx Failed", rc);
            return m_nResult;
        }
        curl_off_t length = -1;
        if (curl_easy_getinfo(request.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length >= 0)
            m_lContentLength = static_cast<long>(length);

        // The reply is kept even when it broke off; the break is the failure.
        std::u16string text;
        CUnicodeTool::AppendUtf16(m_reply, text);
        AddResponse(text.c_str());
        m_reply.clear();
        m_nResult = rc == CURLE_OK ? 0 : CNetBase::s_iErrRead;
    } catch (...) {
        Fail(u"HttpSendRequestEx Failed", ENOMEM);
    }
    return m_nResult;
}

int CNetUploadFile::Authenticate()
{
    m_nResult = 1;
    m_errorMsg.clear();
    m_reply.clear();
    RRequest request(GetStopToken());
    void* headers = nullptr;
    bool opened = OpenRequest(request.session, &headers, nullptr);
    request.headers = static_cast<curl_slist*>(headers);
    if (!opened)
        return m_nResult;

    static const char empty[1] = {0};
    curl_easy_setopt(request.curl, CURLOPT_POSTFIELDSIZE, 0L);
    curl_easy_setopt(request.curl, CURLOPT_POSTFIELDS, empty);
    CURLcode rc = curl_easy_perform(request.curl);
    m_reply.clear();
    long status = 0;
    if (rc != CURLE_OK &&
        (curl_easy_getinfo(request.curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0)) {
        Fail(u"HttpSendRequest (Authentication) Failed", rc);
        return m_nResult;
    }
    if (curl_easy_getinfo(request.curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0) {
        Fail(u"HttpQueryInfo Failed", CURLE_BAD_FUNCTION_ARGUMENT);
        return m_nResult;
    }
    if (status != 200) {
        Fail(u"Authentication Failed", status);
        return m_nResult;
    }
    m_nResult = 0;
    return m_nResult;
}

bool CNetUploadFile::UploadFile(const char16_t* localFile)
{
    SetLocalFile(localFile);
    SetFieldName(u"WholeFile");
    m_bContentMode = false;
    m_xmlText.clear();
    return Post() >= 0;
}

bool CNetUploadFile::UploadPartialFile(const char16_t* localFile, const char16_t* xmlText)
{
    SetLocalFile(localFile);
    SetFieldName(u"PartialUpload");
    m_bContentMode = true;
    try {
        m_xmlText = xmlText ? xmlText : u"";
    } catch (...) {
        m_xmlText.clear();
    }
    return Post() >= 0;
}
