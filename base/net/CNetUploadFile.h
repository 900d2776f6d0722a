#pragma once

#include <optional>
#include <string>

#include "base/ZandrelExport.h"
#include "base/net/CNetBase.h"

// Uploads a collection file, or an XML text in its place, to the account
// service as one multipart form, with the form parameters as further parts.
// Blocks the calling thread; one object serves one upload.
class ZANDREL_API CNetUploadFile : public CNetBase {
public:
    static constexpr int s_iPartBufLen = 1025;  // parameter parts with their NUL
    static constexpr long s_lSecurePort = 443;

    CNetUploadFile();
    // Makes each parameter one multipart part; a part that does not fit the
    // 1024-byte buffer (with 2 to spare) is dropped.
    void AddParameter(const char16_t* name, const char16_t* value) override;
    ~CNetUploadFile() override;

    // Sends the whole file as the part "WholeFile": true when Post gives 0.
    bool UploadFile(const char16_t* localFile);
    // Sends `xmlText` as UTF-8 in place of the file's bytes, as the part
    // "PartialUpload"; the path only names the part.
    bool UploadPartialFile(const char16_t* localFile, const char16_t* xmlText);
    // Posts the form: 0, or the failure code; GetErrorMsg then tells why.
    int Post();
    // Sends the prepared request without a body: 0 when the reply's status
    // is 200, else the failure code ("Authentication Failed" and the code
    // made from the status).
    int Authenticate();

    void SetLocalFile(const char16_t* path) { m_localFile = Opt(path); }
    void SetFieldName(const char16_t* name) { m_fieldName = Opt(name); }
    // A new UUID as the boundary of the parts.
    void SetBoundary();
    void SetErrorMsg(const char16_t* text) { m_errorMsg = text ? text : u""; }
    // Used only when a name is set; user and password only when both are.
    void SetProxy(const char16_t* name, const char16_t* user, const char16_t* password);
    void SetSecure(bool secure) { m_bSecure = secure; }

    const char16_t* GetLocalFile() const { return Str(m_localFile); }
    const char16_t* GetFieldName() const { return Str(m_fieldName); }
    const char16_t* GetBoundary() const { return Str(m_boundary); }
    const char16_t* GetErrorMsg() const { return m_errorMsg.c_str(); }
    int GetResultCode() const { return m_nResult; }
    bool IsSecure() const { return m_bSecure; }

    // The pieces of the body, UTF-8.
    std::string get_head() const;
    std::string get_tail() const;
    // The file's bytes, or the XML text in content mode; false (with the
    // error text and code set) when the file cannot be read.
    bool get_data(std::string& out);
    std::string FormNameValue(const char16_t* name, const char16_t* value) const;
    // The parameter parts added so far.
    const char* GetPartString() const { return m_szParts; }

    // An error number as a negative result code: a positive error e
    // becomes 0x80070000 | (e & 0xFFFF); other values stay.
    static int MakeResultCode(long error);

protected:
    // The address the request goes to and the port it connects to (0: the
    // one of the address).
    std::string GetRequestUrl() const;
    long GetConnectPort() const { return m_bSecure ? s_lSecurePort : 0; }
    // The Content-Length of the last reply; -1 when it had none.
    long CheckContentLength() const { return m_lContentLength; }

private:
    static std::optional<std::u16string> Opt(const char16_t* s)
    {
        return s ? std::optional<std::u16string>(s) : std::nullopt;
    }
    static const char16_t* Str(const std::optional<std::u16string>& s)
    {
        return s ? s->c_str() : nullptr;
    }
    // Sets up the request on `session`; false with the error set.
    bool OpenRequest(CCurlSession& session, void** headers, const char* extraHeader);
    void Fail(const char16_t* text, long error);

    std::optional<std::u16string> m_localFile;
    std::optional<std::u16string> m_fieldName;
    std::optional<std::u16string> m_proxyName;
    std::optional<std::u16string> m_proxyUser;
    std::optional<std::u16string> m_proxyPassword;
    bool m_bSecure = false;
    std::optional<std::u16string> m_boundary;
    int m_nResult = 0;
    bool m_bContentMode = false;
    std::u16string m_xmlText;
    std::u16string m_errorMsg;
    char m_szParts[s_iPartBufLen] = {};
    int m_nPartsLen = 0;
    long m_lContentLength = -1;
    std::string m_reply;
};
