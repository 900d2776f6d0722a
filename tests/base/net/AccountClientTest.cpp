#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/model/CColctItemID.h"
#include "base/model/CColctNode.h"
#include "base/net/CNetUploadFile.h"
#include "base/net/CNetUserForm.h"
#include "base/net/CReadNetXML.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"
#include "tests/fixtures/HttpTestServer.h"

namespace {

class UploadProbe : public CNetUploadFile {
public:
    using CNetUploadFile::GetConnectPort;
    using CNetUploadFile::GetRequestUrl;
};

std::string Take(CNetBase& net)
{
    char16_t* text = net.DetachResponse();
    std::string out = text ? CUnicodeTool::ToUtf8(std::u16string(text, CSysString::Len(text))) : "";
    CSysString::Free(text);
    return out;
}

std::string Has(const std::string& line) { return "\n" + line + "\n"; }

std::string Part(const std::string& b, const std::string& name, const std::string& value)
{
    return "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value;
}

std::u16string U16(const std::string& s) { return CUnicodeTool::FromUtf8(s); }

class AccountServer : public LocalServerTest {
protected:
    void SetUp() override
    {
        LocalServerTest::SetUp();
        if (s_server)
            m_host = U16(s_server->Host());
    }
    template <typename Net>
    void Aim(Net& net, const char16_t* path)
    {
        net.SetHost(m_host.c_str());
        net.SetPostAcceptor(path);
    }
    // Aims at a port that refuses connections.
    template <typename Net>
    void AimRefused(Net& net, const char16_t* path)
    {
        net.SetHost(U16("127.0.0.1:" + std::to_string(m_refusing.Port())).c_str());
        net.SetPostAcceptor(path);
    }

    std::u16string m_host;
    RefusingPort m_refusing;
};

// What the server received, as the lines of its echo.
std::string Echo(CNetBase& net) { return "\n" + Take(net); }


TEST_F(AccountServer, UploadsTheWholeFileAsWrittenWithParameterParts)
{
    char path[] = "/tmp/zandrel-upload-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string bytes("<rss>\0\r\n--\xff\x80</rss>", 17);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);

    CNetUploadFile up;
    Aim(up, u"/echo");
    up.SetUserNamePswMD5(u"anna", u"0cc175b9c0f1b6a831c399e269772661");
    std::string b = CUnicodeTool::ToUtf8(up.GetBoundary());
    ASSERT_EQ(b.size(), 36u);
    EXPECT_TRUE(up.UploadFile(U16(path).c_str()));
    EXPECT_EQ(up.GetResultCode(), 0);
    unlink(path);

    std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"WholeFile\";filename=\"" +
                           path + "\"\r\nContent-Type: application/upload\r\n\r\n" + bytes +
                           Part(b, "username", "anna") +
                           Part(b, "pswmd5", "0cc175b9c0f1b6a831c399e269772661") + "\r\n--" + b + "--\r\n";
    std::string echo = Echo(up);
    EXPECT_NE(echo.find(Has("body " + Hex(expected))), std::string::npos) << echo;
    EXPECT_NE(echo.find(Has("version HTTP/1.0")), std::string::npos);
    EXPECT_NE(echo.find(Has("header Content-Type: multipart/form-data, boundary=" + b)), std::string::npos);
    EXPECT_NE(echo.find(Has("header User-Agent: Korvel Post")), std::string::npos);

    CNetUploadFile other;
    EXPECT_STRNE(CUnicodeTool::ToUtf8(other.GetBoundary()).c_str(), b.c_str());
}

TEST_F(AccountServer, UploadsXmlTextAsUtf8AndDropsAPartThatDoesNotFit)
{
    CNetUploadFile up;
    Aim(up, u"/echo");
    up.AddParameter(u"cmd", u"put");
    std::string before = up.GetPartString();
    // Fits the 1024 bytes on its own, but not with the first part and 2 spare.
    std::u16string big(1024 - before.size() - 80 + 1, u'v');
    up.AddParameter(u"big", big.c_str());
    EXPECT_EQ(up.GetPartString(), before);
    CNetUploadFile alone;
    alone.AddParameter(u"big", big.c_str());
    EXPECT_GT(std::string(alone.GetPartString()).size(), 900u);

    const char16_t* xml = u"<rss>Grüße €</rss>";
    EXPECT_TRUE(up.UploadPartialFile(u"/nowhere/krv_files.xml", xml));
    std::string b = CUnicodeTool::ToUtf8(up.GetBoundary());
    std::string expected = "--" + b +
                           "\r\nContent-Disposition: form-data; name=\"PartialUpload\";filename=\""
                           "/nowhere/krv_files.xml\"\r\nContent-Type: application/upload\r\n\r\n" +
                           CUnicodeTool::ToUtf8(xml) + Part(b, "cmd", "put") + "\r\n--" + b + "--\r\n";
    std::string echo = Echo(up);
    EXPECT_NE(echo.find(Has("body " + Hex(expected))), std::string::npos) << echo;
}

TEST_F(AccountServer, UploadFailuresGiveTheirTextAndPlatformCode)
{
    CNetUploadFile missing;
    Aim(missing, u"/echo");
    EXPECT_FALSE(missing.UploadFile(u"/nonexistent/zandrel/file.xml"));
    EXPECT_EQ(std::u16string(missing.GetErrorMsg()), u"CreateFile Failed");
    EXPECT_EQ(missing.GetResultCode(), static_cast<int>(0x80070000u | ENOENT));

    CNetUploadFile refused;
    AimRefused(refused, u"/echo");
    EXPECT_FALSE(refused.UploadPartialFile(u"x.xml", u"<x/>"));
    EXPECT_EQ(std::u16string(refused.GetErrorMsg()), u"InternetConnect Failed");
    EXPECT_LT(refused.GetResultCode(), 0);
    EXPECT_EQ(static_cast<unsigned>(refused.GetResultCode()) & 0xFFFF0000u, 0x80070000u);

    EXPECT_EQ(CNetUploadFile::MakeResultCode(5), static_cast<int>(0x80070005u));
    EXPECT_EQ(CNetUploadFile::MakeResultCode(0x12345), static_cast<int>(0x80072345u));
    EXPECT_EQ(CNetUploadFile::MakeResultCode(-7), -7);
    EXPECT_EQ(CNetUploadFile::MakeResultCode(0), 0);
}

TEST_F(AccountServer, AuthenticateAcceptsOnlyStatus200)
{
    CNetUploadFile ok;
    Aim(ok, u"/ok");
    EXPECT_EQ(ok.Authenticate(), 0);

    CNetUploadFile denied;
    Aim(denied, u"/status/401");
    EXPECT_EQ(denied.Authenticate(), static_cast<int>(0x80070191u));
    EXPECT_EQ(std::u16string(denied.GetErrorMsg()), u"Authentication Failed");

    CNetUploadFile refused;
    AimRefused(refused, u"/ok");
    EXPECT_LT(refused.Authenticate(), 0);
    EXPECT_EQ(std::u16string(refused.GetErrorMsg()), u"HttpSendRequest (Authentication) Failed");
}

TEST_F(AccountServer, GoesThroughTheGivenProxyWithItsCredentials)
{
    // The target refuses connections: only the proxy can answer.
    std::string target = "127.0.0.1:" + std::to_string(m_refusing.Port());
    CNetUploadFile up;
    AimRefused(up, u"/echo");
    up.SetProxy(m_host.c_str(), u"pat", u"secret");
    EXPECT_TRUE(up.UploadPartialFile(u"x.xml", u"<x/>")) << CUnicodeTool::ToUtf8(up.GetErrorMsg());
    std::string echo = Echo(up);
    EXPECT_NE(echo.find(Has("path http://" + target + "/echo")), std::string::npos) << echo;
    // "pat:secret" in Base64.
    EXPECT_NE(echo.find(Has("header Proxy-Authorization: Basic cGF0OnNlY3JldA==")), std::string::npos);
}

TEST(AccountUpload, SecureUsesHttpsOnPort443)
{
    UploadProbe up;
    up.SetHost(u"127.0.0.1");
    up.SetPostAcceptor(u"/upload");
    EXPECT_EQ(up.GetConnectPort(), 0);
    EXPECT_EQ(up.GetRequestUrl(), "http://127.0.0.1/upload");
    up.SetSecure(true);
    EXPECT_EQ(up.GetConnectPort(), 443);
    EXPECT_EQ(up.GetRequestUrl(), "https://127.0.0.1/upload");
}

// How a form is posted is CNetBase's (NetBaseServer); here, what each
// operation sends and answers.
TEST_F(AccountServer, FormOperationsPostTheirParameters)
{
    const struct {
        int (*run)(CNetUserForm&);
        int result;
        const char* body;
    } cases[] = {
        {[](CNetUserForm& f) { return f.LoginServer(); }, 1, "username=anna&pswmd5=0cc175b9"},
        {[](CNetUserForm& f) { return f.DownloadColct(u"bob", u"0f8e4c1a"); }, 1, "owner=bob&uuid=0f8e4c1a"},
        {[](CNetUserForm& f) { return f.RemoveColctFromServer(u"0f8e4c1a"); }, 0, "cmd=removecolct&uuid=0f8e4c1a"},
    };
    for (const auto& c : cases) {
        CNetUserForm form;
        Aim(form, u"/echo");
        if (std::string(c.body).starts_with("username"))
            form.SetUserNamePswMD5(u"anna", u"0cc175b9");
        EXPECT_EQ(c.run(form), c.result) << c.body;
        EXPECT_NE(Echo(form).find(Has("body " + Hex(c.body))), std::string::npos) << c.body;
    }
    CNetUserForm refused;
    AimRefused(refused, u"/echo");
    EXPECT_EQ(refused.LoginServer(), CNetBase::s_iErrSend);
    EXPECT_EQ(refused.RemoveColctFromServer(u"x"), CNetBase::s_iErrSend);
}

TEST_F(AccountServer, ReadsTheCollectionListReplied)
{
    CNetUserForm form;
    Aim(form, u"/colctlist");
    ASSERT_EQ(form.GetColctList(), 1);
    char16_t* reply = form.DetachResponse();
    CReadNetXML reader;
    EXPECT_TRUE(reader.LoadBSTRXML(reply));
    CSysString::Free(reply);

    RColctItem* head = reader.DetachRColctItemHead();
    EXPECT_EQ(reader.GetRColctItemHead(), nullptr);
    ASSERT_NE(head, nullptr);
    ASSERT_NE(head->GetNext(), nullptr);
    EXPECT_EQ(head->GetNext()->GetNext(), nullptr);
    CColctNode* first = head->GetData();
    long added = 0, modified = 0, visited = 0;
    first->GetNodeStat()->GetStatTime(&added, &modified, &visited);
    EXPECT_EQ(CUnicodeTool::ToUtf8(std::u16string(first->GetName()) + u"|" + first->GetUrl() + u"|" +
                                   first->GetDescription() + u"|" + first->GetUUID()) +
                  "|" + std::to_string(added) + "|" + std::to_string(modified) + "|f" +
                  std::to_string(first->GetNodeStat()->GetFlag()) + "|v" + std::to_string(first->GetVersion()),
              "Grüße|http://127.0.0.1/c/1|first & best|0f8e4c1a-1111-4222-8333-444455556666|1700000000|1714557600|f3|v7");
    EXPECT_EQ(std::u16string(head->GetNext()->GetData()->GetName()), u"Second");
    CReadNetXML::DeleteRColctItemList(head);
}

TEST(AccountReplyList, WithoutCollectionsOrWithAnotherRootIsEmpty)
{
    CReadNetXML reader;
    EXPECT_TRUE(reader.LoadBSTRXML(u"<korvel><collections><other/></collections></korvel>"));
    EXPECT_EQ(reader.GetRColctItemHead(), nullptr);
    EXPECT_TRUE(reader.LoadBSTRXML(u"<rss><collections><colct/></collections></rss>"));
    EXPECT_EQ(reader.GetRColctItemHead(), nullptr);
    EXPECT_FALSE(reader.LoadBSTRXML(u"<korvel><collections><colct>"));
    EXPECT_EQ(reader.GetRColctItemHead(), nullptr);
    // A list left with the reader is freed by it.
    EXPECT_TRUE(reader.LoadBSTRXML(u"<korvel><collections><colct><title>a</title></colct></collections></korvel>"));
    EXPECT_NE(reader.GetRColctItemHead(), nullptr);
}

}  // namespace
