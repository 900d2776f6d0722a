#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "base/net/CCurlSession.h"

// Fetches one URL with GET, bypassing caches and without cookies, and writes
// the whole body to a local file. Blocks the calling thread; failures come
// back as results and as the text of GetErrorText, never as a message box.
// A stop asked for through the token ends a transfer at once: it fails with
// 0x2A.
//
// Codes in the error texts ("0X%08X"):
//   - transfer failures carry libcurl's CURLcode, whose numbers libcurl
//     never reassigns: 0x01 unsupported scheme, 0x02 session could not be
//     set up, 0x03 malformed URL, 0x05 proxy not resolved, 0x06 host not
//     resolved, 0x07 connection refused or unreachable, 0x12 body shorter
//     than announced, 0x1B out of memory, 0x1C time-out, 0x23 TLS
//     handshake, 0x2F too many redirects, 0x34 empty reply, 0x37 send
//     failed, 0x38 receive failed;
//   - failures of the transfer driver itself carry 0x1000 + CURLMcode;
//   - "Cannot write to file" carries the C library's errno.
class CHttpDownload {
public:
    static constexpr int s_iErrLen = 256;
    static constexpr int s_iReadPiece = 4095;
    static constexpr int64_t s_iMaxBody = 104857600;  // 100 MiB
    static constexpr uint32_t s_uMultiBase = 0x1000;

    explicit CHttpDownload(std::stop_token stop = {});
    ~CHttpDownload();
    CHttpDownload(const CHttpDownload&) = delete;
    CHttpDownload& operator=(const CHttpDownload&) = delete;

    // Sends the request and waits for the reply's headers; true only for
    // status 200. After another status the request stays open until the
    // next Open, Close or destruction.
    bool Open(const char16_t* url);
    // Reads the body and writes it to `path` in one go: the byte count, or
    // -1. A body over 100 MiB is cut at the last piece that fits, with the
    // error text set.
    int32_t ReadToFile(const char16_t* path);
    // Reads at most `size` bytes of the body into `buffer` (fewer when the
    // body is shorter) and closes the request: the byte count, or -1 with
    // the error text set. For small replies that are read once.
    int32_t ReadHead(char* buffer, int32_t size);
    void Close();
    // A lower cap than s_iMaxBody for the bodies ReadToFile takes; a body
    // over it fails the same way.
    void SetMaxBody(int64_t bytes) { m_maxBody = bytes < s_iMaxBody ? bytes : s_iMaxBody; }
    const char16_t* GetErrorText() const { return m_szError; }
    // The raw header block of the last reply (CR LF separated).
    const std::string& GetRawHeaders() const { return m_rawHeaders; }

private:
    struct Transfer;
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    // Drives the transfer until `stop` is true or it ends; false when the
    // driver itself failed (code in *error).
    bool Drive(bool (*stop)(const Transfer&), uint32_t* error);
    void SetError(const std::string& utf8);
    std::string UrlUtf8() const;

    // Wakes the transfer driver's wait when a stop is asked for.
    struct Wake {
        void* multi;
        void operator()() const;
    };

    std::stop_token m_stop;
    std::unique_ptr<CCurlSession> m_pCurl;
    std::optional<std::stop_callback<Wake>> m_wake;
    int m_iFlag = 0;
    int64_t m_maxBody = s_iMaxBody;
    void* m_hRequest = nullptr;     // m_pCurl's easy handle
    void* m_hConnect = nullptr;     // curl_slist of request headers
    void* m_hSession = nullptr;     // CURLM multi handle
    char16_t m_szError[s_iErrLen] = {};
    std::u16string m_url;

    std::string m_rawHeaders;
    Transfer* m_pTransfer = nullptr;
};
