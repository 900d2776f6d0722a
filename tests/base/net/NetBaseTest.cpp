#include "base/net/CNetBase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"
#include "tests/fixtures/HttpTestServer.h"

namespace {

// The account-service client's view of the class.
class FormClient : public CNetBase {
public:
    using CNetBase::GetStatusCode;
    using CNetBase::SendForm;
    using CNetBase::SendRequest;
};

std::u16string TakeWide(CNetBase& net)
{
    char16_t* text = net.DetachResponse();
    std::u16string out = text ? std::u16string(text, CSysString::Len(text)) : u"";
    CSysString::Free(text);
    return out;
}

}  // namespace

TEST(NetBaseParameters, JoinsPairsAndDropsWhatDoesNotFit)
{
    CNetBase net;
    EXPECT_STREQ(net.GetParaString(), "");
    net.AddParameter(u"cmd", u"list");
    EXPECT_STREQ(net.GetParaString(), "cmd=list");
    net.AddParameter(u"id", u"42");
    EXPECT_STREQ(net.GetParaString(), "cmd=list&id=42");
    net.AddParameter(nullptr, u"x");
    net.AddParameter(u"x", nullptr);
    EXPECT_STREQ(net.GetParaString(), "cmd=list&id=42");

    // 14 bytes so far; a pair adds its lengths plus 2, up to 1024 in all.
    std::u16string value(1024 - 14 - 2 - 1, u'v');
    CNetBase full;
    full.AddParameter(u"cmd", u"list");
    full.AddParameter(u"id", u"42");
    std::u16string tooLong = value + u"v";
    full.AddParameter(u"n", tooLong.c_str());
    EXPECT_STREQ(full.GetParaString(), "cmd=list&id=42");
    full.AddParameter(u"n", value.c_str());
    EXPECT_EQ(std::string(full.GetParaString()).size(), 1024u);
    full.AddParameter(u"", u"");
    EXPECT_EQ(std::string(full.GetParaString()).size(), 1024u);

    // UTF-8 bytes count, and the first pair pays for its separator too: "é"
    // is two bytes, so 1 + 2 * 511 + 2 = 1025 is one too many.
    CNetBase wide;
    std::u16string accents(511, u'é');
    wide.AddParameter(u"a", accents.c_str());
    EXPECT_STREQ(wide.GetParaString(), "");
    accents.pop_back();
    wide.AddParameter(u"a", accents.c_str());
    EXPECT_EQ(std::string(wide.GetParaString()), "a=" + CUnicodeTool::ToUtf8(accents));
}

TEST(NetBaseCredentials, LimitsNamesToEightyCharacters)
{
    const std::u16string name80(80, u'n');
    const std::u16string name81(81, u'n');
    const char16_t* md5 = u"0123456789abcdef0123456789abcdef";

    FormClient net;
    EXPECT_EQ(net.GetFormUserNamePswString(), nullptr);
    net.SetUserNamePswMD5(name81.c_str(), md5);
    EXPECT_EQ(net.GetKRVUserName(), nullptr);
    EXPECT_EQ(net.GetPswMD5(), nullptr);
    EXPECT_STREQ(net.GetParaString(), "");

    net.SetUserNamePswMD5(u"anna", md5);
    EXPECT_EQ(std::u16string(net.GetKRVUserName()), u"anna");
    EXPECT_STREQ(net.GetParaString(), "username=anna&pswmd5=0123456789abcdef0123456789abcdef");
    EXPECT_STREQ(net.GetFormUserNamePswString(),
                 "username=anna&pswmd5=0123456789abcdef0123456789abcdef");

    net.SetKRVUserName(name81.c_str());
    EXPECT_EQ(std::u16string(net.GetKRVUserName()), u"anna");
    net.SetKRVUserName(name80.c_str());
    EXPECT_EQ(std::u16string(net.GetKRVUserName()), name80);
    net.SetPswMD5(name81.c_str());
    EXPECT_EQ(std::u16string(net.GetPswMD5()), md5);
}

TEST(NetBaseResponse, DecodesSequencesSplitAcrossPieces)
{
    const std::string bytes = "a\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 z";
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        CNetBase net;
        net.AddResponseUnicodingIt(bytes.data(), static_cast<int>(cut));
        net.AddResponseUnicodingIt(bytes.data() + cut, static_cast<int>(bytes.size() - cut));
        EXPECT_EQ(TakeWide(net), u"aé € 😀 z") << "cut at " << cut;
    }
    CNetBase net;
    for (char c : bytes)
        net.AddResponseUnicodingIt(&c, 1);
    net.AddResponse(u"!");
    EXPECT_EQ(TakeWide(net), u"aé € 😀 z!");
    EXPECT_EQ(net.DetachResponse(), nullptr);
}

TEST(NetBaseSession, RefusesIncompleteRequests)
{
    FormClient net;
    EXPECT_EQ(net.ReadServerResponse(), CNetBase::s_iErrRequest);
    EXPECT_EQ(net.SendForm(), CNetBase::s_iErrRequest);
    net.SetPostAcceptor(u"/form");
    EXPECT_EQ(net.OpenSessionConnection(), CNetBase::s_iErrConnect);
    net.SetHost(u"127.0.0.1");
    net.SetPostAcceptor(nullptr);
    EXPECT_EQ(net.OpenSessionConnection(), CNetBase::s_iErrRequest);
}

class NetBaseServer : public LocalServerTest {
protected:
    // Aims `net` at `path` on the test server, or on `host` when given.
    static void Aim(CNetBase& net, const char16_t* path, std::string host = "")
    {
        host = host.empty() ? s_server->Host() : host;
        net.SetHost(std::u16string(host.begin(), host.end()).c_str());
        net.SetPostAcceptor(path);
    }
};

TEST_F(NetBaseServer, PostsTheFormOverHttp10)
{
    FormClient net;
    Aim(net, u"/echo");
    net.SetUserNamePswMD5(u"anna", u"d41d8cd98f00b204e9800998ecf8427e");
    net.AddParameter(u"cmd", u"list");
    ASSERT_EQ(net.OpenSessionConnection(), 0);
    ASSERT_EQ(net.SendForm(), 0);
    EXPECT_EQ(net.GetStatusCode(), 200);
    int read = net.ReadServerResponse();
    std::string reply = CUnicodeTool::ToUtf8(TakeWide(net));
    EXPECT_EQ(read, static_cast<int>(reply.size()));
    std::string body = "username=anna&pswmd5=d41d8cd98f00b204e9800998ecf8427e&cmd=list";
    for (const std::string& line : std::vector<std::string>{
             "method POST", "version HTTP/1.0", "path /echo", "header Content-Type: application/x-www-form-urlencoded",
             "header User-Agent: Zandrel", "header Accept: */*", "header Pragma: no-cache", "body " + Hex(body)})
        EXPECT_NE(reply.find(line + "\n"), std::string::npos) << reply;

    // The reply is drained; reading again finds nothing more.
    EXPECT_EQ(net.ReadServerResponse(), 0);
    net.CloseSessionConnection();
    EXPECT_EQ(net.ReadServerResponse(), CNetBase::s_iErrRequest);
}

TEST_F(NetBaseServer, ReplyStraddlingReadBoundariesDecodesWhole)
{
    FormClient net;
    Aim(net, u"utf8");
    ASSERT_EQ(net.OpenSessionConnection(), 0);
    ASSERT_EQ(net.SendRequest(nullptr, "x", 1), 0);
    int read = net.ReadServerResponse();
    ASSERT_GT(read, 12288);
    std::u16string text = TakeWide(net);
    // Lossless: no replacement characters and every byte accounted for.
    EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos);
    EXPECT_EQ(CUnicodeTool::ToUtf8(text).size(), static_cast<size_t>(read));
    EXPECT_EQ(text.substr(2046, 3), u"aéa");
    EXPECT_NE(text.find(u"Grüße, 日本語 ✓ 🎉"), std::u16string::npos);
}

TEST_F(NetBaseServer, ReportsFailedSendsAndBrokenReplies)
{
    RefusingPort refusing;
    ASSERT_GT(refusing.Port(), 0);
    FormClient net;
    Aim(net, u"/echo", "127.0.0.1:" + std::to_string(refusing.Port()));
    ASSERT_EQ(net.OpenSessionConnection(), 0);
    EXPECT_EQ(net.SendForm(), CNetBase::s_iErrSend);
    EXPECT_EQ(net.ReadServerResponse(), CNetBase::s_iErrRequest);

    FormClient cut;
    Aim(cut, u"/short");
    ASSERT_EQ(cut.OpenSessionConnection(), 0);
    ASSERT_EQ(cut.SendForm(), 0);
    EXPECT_EQ(cut.ReadServerResponse(), CNetBase::s_iErrRead);
    EXPECT_EQ(TakeWide(cut), std::u16string(1000, u'x'));

    // A reply that stalls ends when a stop is asked for, asked before the
    // request or while it waits; what came is a broken reply.
    for (bool early : {true, false}) {
        std::stop_source stop;
        FormClient stalled;
        Aim(stalled, u"/stall/form");
        stalled.SetStopToken(stop.get_token());
        ASSERT_EQ(stalled.OpenSessionConnection(), 0);
        if (early)
            stop.request_stop();
        std::thread stopper([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            stop.request_stop();
        });
        int sent = stalled.SendForm();
        stopper.join();
        EXPECT_TRUE(sent == CNetBase::s_iErrSend || stalled.ReadServerResponse() == CNetBase::s_iErrRead) << early;
        if (early) {
            EXPECT_EQ(sent, CNetBase::s_iErrSend);
        }
    }
}
