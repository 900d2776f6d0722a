#include "app/background/CHttpDownload.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/tools/CUnicodeTool.h"
#include "app/core/CTraceLog.h"
#include "tests/fixtures/HttpTestServer.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const char16_t* text)
{
    return CUnicodeTool::ToUtf8(text);
}

std::u16string U16(const std::string& text)
{
    return CUnicodeTool::FromUtf8(text);
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

class HttpDownloadTest : public LocalServerTest {
protected:
    void SetUp() override
    {
        LocalServerTest::SetUp();
        char pattern[] = "/tmp/zandrel-http-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Url(const std::string& path) const
    {
        return "http://" + s_server->Host() + path;
    }
    std::u16string Target(const char* name) const { return U16((m_dir / name).string()); }

    fs::path m_dir;
};

TEST_F(HttpDownloadTest, WritesTheBodyOfA200ToTheFile)
{
    CHttpDownload dl;
    EXPECT_EQ(dl.ReadToFile(Target("none").c_str()), -1);
    ASSERT_TRUE(dl.Open(U16(Url("/ok")).c_str())) << Text(dl.GetErrorText());
    EXPECT_EQ(dl.GetRawHeaders().rfind("HTTP/1.1 200", 0), 0u);
    // The headers go to the trace log as they came.
    CTraceLog::Close();
    CTraceLog::Open(Target("trace.log"), false);
    ASSERT_TRUE(dl.Open(U16(Url("/ok")).c_str()));
    CTraceLog::Close();
    EXPECT_EQ(ReadFile(m_dir / "trace.log"), "1" + dl.GetRawHeaders() + "\r\n");
    EXPECT_NE(dl.GetRawHeaders().find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(dl.ReadToFile(Target("ok.txt").c_str()), 27);
    EXPECT_EQ(ReadFile(m_dir / "ok.txt"), "Hello from the test server\n");
    EXPECT_STREQ(Text(dl.GetErrorText()).c_str(), "");
    dl.Close();
    EXPECT_EQ(dl.ReadToFile(Target("again.txt").c_str()), -1);
}

TEST_F(HttpDownloadTest, SendsAnUncachedCookielessRequest)
{
    CHttpDownload dl;
    ASSERT_TRUE(dl.Open(U16(Url("/headers")).c_str()));
    ASSERT_GT(dl.ReadToFile(Target("h.txt").c_str()), 0);
    std::string headers = ReadFile(m_dir / "h.txt");
    EXPECT_NE(headers.find("User-Agent: Microsoft Internet Explorer\n"), std::string::npos);
    EXPECT_NE(headers.find("Cache-Control: no-cache\n"), std::string::npos);
    EXPECT_NE(headers.find("Pragma: no-cache\n"), std::string::npos);
    EXPECT_EQ(headers.find("Cookie"), std::string::npos);
}

TEST_F(HttpDownloadTest, FollowsRedirects)
{
    CHttpDownload dl;
    ASSERT_TRUE(dl.Open(U16(Url("/redirect")).c_str())) << Text(dl.GetErrorText());
    EXPECT_EQ(dl.ReadToFile(Target("r.txt").c_str()), 27);
}

TEST_F(HttpDownloadTest, ReportsFailures)
{
    CHttpDownload dl;
    EXPECT_FALSE(dl.Open(U16(Url("/status/404")).c_str()));
    EXPECT_EQ(Text(dl.GetErrorText()), "HTTP Error Status 404 " + Url("/status/404"));

    RefusingPort refusing;
    ASSERT_GT(refusing.Port(), 0);
    std::string refused = "http://127.0.0.1:" + std::to_string(refusing.Port()) + "/ok";
    EXPECT_FALSE(dl.Open(U16(refused).c_str()));
    EXPECT_EQ(Text(dl.GetErrorText()), "HTTP Cannot connect host 0X00000007 " + refused);
    EXPECT_EQ(dl.ReadToFile(Target("x").c_str()), -1);

    // The reply breaks off: nothing is written.
    ASSERT_TRUE(dl.Open(U16(Url("/short")).c_str()));
    EXPECT_EQ(dl.ReadToFile(Target("short").c_str()), -1);
    EXPECT_EQ(Text(dl.GetErrorText()), "HTTP Read Error=0X00000012 " + Url("/short"));
    EXPECT_FALSE(fs::exists(m_dir / "short"));

    ASSERT_TRUE(dl.Open(U16(Url("/ok")).c_str()));
    std::string missing = (m_dir / "no" / "such.txt").string();
    EXPECT_EQ(dl.ReadToFile(U16(missing).c_str()), -1);
    EXPECT_EQ(Text(dl.GetErrorText()), "Cannot write to file " + missing + " 0X00000002");
}

TEST_F(HttpDownloadTest, EmptyBodyGivesZero)
{
    CHttpDownload dl;
    ASSERT_TRUE(dl.Open(U16(Url("/empty")).c_str()));
    EXPECT_EQ(dl.ReadToFile(Target("empty").c_str()), 0);
    EXPECT_TRUE(fs::exists(m_dir / "empty"));
    EXPECT_EQ(fs::file_size(m_dir / "empty"), 0u);
}

TEST_F(HttpDownloadTest, AcceptsExactly100MiB)
{
    const int64_t limit = CHttpDownload::s_iMaxBody;
    CHttpDownload dl;
    ASSERT_TRUE(dl.Open(U16(Url("/size/" + std::to_string(limit))).c_str()));
    EXPECT_EQ(dl.ReadToFile(Target("big").c_str()), limit);
    EXPECT_STREQ(Text(dl.GetErrorText()).c_str(), "");
    ASSERT_EQ(fs::file_size(m_dir / "big"), static_cast<uintmax_t>(limit));
    // The pattern repeats i % 251 in blocks of 64 KiB; check the last bytes.
    std::ifstream in(m_dir / "big", std::ios::binary);
    in.seekg(limit - 3);
    char tail[3];
    in.read(tail, 3);
    for (int i = 0; i < 3; ++i) {
        int64_t at = limit - 3 + i;
        EXPECT_EQ(static_cast<unsigned char>(tail[i]), (at % 65536) % 251) << at;
    }
}

TEST_F(HttpDownloadTest, StopsOneByteOver100MiB)
{
    const int64_t size = CHttpDownload::s_iMaxBody + 1;
    const std::string url = Url("/size/" + std::to_string(size));
    CHttpDownload dl;
    ASSERT_TRUE(dl.Open(U16(url).c_str()));
    int32_t written = dl.ReadToFile(Target("over").c_str());
    EXPECT_EQ(Text(dl.GetErrorText()), "HTTP Size is too much 104857601 " + url);
    // The pieces before the one that crossed the limit are kept.
    EXPECT_GT(written, CHttpDownload::s_iMaxBody - CHttpDownload::s_iReadPiece);
    EXPECT_LE(written, CHttpDownload::s_iMaxBody);
    EXPECT_EQ(fs::file_size(m_dir / "over"), static_cast<uintmax_t>(written));
}
