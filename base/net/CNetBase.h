#pragma once

#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "base/ZandrelExport.h"

class CCurlSession;

// Form client of the account service: keeps the host, the server script, the
// user's name and password digest and a form parameter string, posts the
// form over HTTP/1.0 and collects the reply as UTF-16 text. Blocks the
// calling thread; one object serves one request.
//
// Subclasses call OpenSessionConnection, then SendForm (or SendRequest with
// their own headers and body), then ReadServerResponse, and finally take the
// text with DetachResponse.
class ZANDREL_API CNetBase {
public:
    // Result codes shared with the subclasses.
    static constexpr int s_iErrSession = -3;    // session could not be opened
    static constexpr int s_iErrConnect = -4;    // no host to connect to
    static constexpr int s_iErrRequest = -5;    // request not created / none to read
    static constexpr int s_iErrSend = -6;       // sending the request failed
    static constexpr int s_iErrRead = -7;       // reading the reply failed

    static constexpr int s_iMaxNameLen = 81;    // user name and digest stay below
    static constexpr int s_iParaBufLen = 1025;  // parameter string with its NUL
    static constexpr int s_iFormBufLen = 200;   // credentials string with its NUL
    static constexpr int s_iReadPiece = 2048;
    static constexpr int s_iMaxReads = 50000;

    CNetBase();
    virtual void AddParameter(const char16_t* name, const char16_t* value);
    virtual ~CNetBase();
    CNetBase(const CNetBase&) = delete;
    CNetBase& operator=(const CNetBase&) = delete;

    void SetHost(const char16_t* host);
    void SetPostAcceptor(const char16_t* path);
    const char16_t* GetHost() const { return Str(m_host); }
    const char16_t* GetPostAcceptor() const { return Str(m_postAcceptor); }

    // Ignored when the text has 81 characters or more.
    void SetKRVUserName(const char16_t* name);
    void SetPswMD5(const char16_t* md5Text);
    const char16_t* GetKRVUserName() const { return Str(m_userName); }
    const char16_t* GetPswMD5() const { return Str(m_pswMD5); }
    // Stores both and adds them as "username" and "pswmd5" parameters, only
    // when both are shorter than 81 characters.
    void SetUserNamePswMD5(const char16_t* name, const char16_t* md5Text);

    // "username=%s&pswmd5=%s" in UTF-8, or null when either is missing or
    // the result does not fit its 200-byte buffer. Valid until the next call.
    const char* GetFormUserNamePswString();
    // name=value pairs joined by "&", UTF-8, never longer than 1024 bytes.
    const char* GetParaString() const { return m_szPara; }

    void AddResponse(const char16_t* text);
    // The reply as a length-counted string the caller frees with
    // CSysString::Free; null when there is none. Leaves none behind.
    char16_t* DetachResponse();
    // Decodes UTF-8 and appends it. A multi-byte sequence cut by the end of
    // `bytes` is held back and completed by the next call.
    void AddResponseUnicodingIt(const char* bytes, int length);

    // Requests made from now on end as soon as `stop` asks for it.
    void SetStopToken(std::stop_token stop) { m_stop = std::move(stop); }

    // Prepares a POST of http://host/postAcceptor over HTTP/1.0: 0 or -3..-5.
    int OpenSessionConnection();
    void CloseSessionConnection();
    // Hands the reply of the last request to AddResponseUnicodingIt in
    // pieces of at most 2048 bytes: the byte count, -5 without a request, -7
    // when the reply broke off (the part received is still appended).
    int ReadServerResponse();

protected:
    // Sends the prepared request with `headers` (lines separated by CR LF or
    // LF, may be null) and `length` bytes of `body`, and collects the raw
    // reply: 0, -5 when no request is open, -6 when nothing came back.
    int SendRequest(const char* headers, const void* body, int length);
    // Sends the parameter string as an URL-encoded form.
    int SendForm();
    // The status of the last reply; 0 before one arrived.
    long GetStatusCode() const { return m_lStatus; }
    const std::stop_token& GetStopToken() const { return m_stop; }

private:
    static const char16_t* Str(const std::optional<std::u16string>& s)
    {
        return s ? s->c_str() : nullptr;
    }
    void FlushPending();

    std::optional<std::u16string> m_host;
    std::optional<std::u16string> m_postAcceptor;
    std::optional<std::u16string> m_userName;
    std::optional<std::u16string> m_pswMD5;
    char m_szForm[s_iFormBufLen] = {};
    char m_szPara[s_iParaBufLen] = {};
    int m_nParaLen = 0;
    std::optional<std::u16string> m_response;
    std::string m_pending;      // UTF-8 bytes waiting for the rest of their character

    std::stop_token m_stop;
    std::unique_ptr<CCurlSession> m_pCurl;
    void* m_hSession = nullptr;     // m_pCurl's easy handle
    void* m_hHeaders = nullptr;     // curl_slist of the request headers
    bool m_bRequest = false;        // a request is prepared
    bool m_bReplied = false;        // SendRequest collected a reply
    bool m_bReadFailed = false;     // the reply broke off
    long m_lStatus = 0;
    std::string m_reply;
};
