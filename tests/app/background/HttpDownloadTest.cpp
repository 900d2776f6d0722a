#include "app/background/CHttpDownload.h"

#include <gtest/gtest.h>

#include "app/core/CTraceLog.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/fixtures/HttpTestServer.h"

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

    std::string Url(const std::string& path) const { return "http://" + s_server->Host() + path; }
    bool Open(CHttpDownload& dl, const std::string& path) const { return dl.Open(Utf16(Url(path)).c_str()); }
    int64_t Read(CHttpDownload& dl, const char* name) const { return dl.ReadToFile(U16(m_dir / name).c_str()); }
    static std::string Error(const CHttpDownload& dl) { return Utf8(dl.GetErrorText()); }

    fs::path m_dir;
};

// A 200 (also behind a redirect) writes its body; an empty one makes an
// empty file. The request is uncached and without cookies.
TEST_F(HttpDownloadTest, WritesTheBodyOfA200ToTheFile)
{
    CHttpDownload dl;
    EXPECT_EQ(Read(dl, "none"), -1);
    ASSERT_TRUE(Open(dl, "/ok")) << Error(dl);
    EXPECT_EQ(dl.GetRawHeaders().rfind("HTTP/1.1 200", 0), 0u);
    // The headers go to the trace log as they came.
    CTraceLog::Close();
    CTraceLog::Open(U16(m_dir / "trace.log"), false);
    ASSERT_TRUE(Open(dl, "/ok"));
    CTraceLog::Close();
    EXPECT_EQ(ReadBytes(m_dir / "trace.log"), "1" + dl.GetRawHeaders() + "\r\n");
    EXPECT_NE(dl.GetRawHeaders().find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(Read(dl, "ok.txt"), 27);
    EXPECT_EQ(ReadBytes(m_dir / "ok.txt"), "Hello from the test server\n");
    EXPECT_EQ(Error(dl), "");
    dl.Close();
    EXPECT_EQ(Read(dl, "again.txt"), -1);

    ASSERT_TRUE(Open(dl, "/redirect")) << Error(dl);
    EXPECT_EQ(Read(dl, "r.txt"), 27);
    ASSERT_TRUE(Open(dl, "/empty"));
    EXPECT_EQ(Read(dl, "empty"), 0);
    EXPECT_TRUE(fs::exists(m_dir / "empty"));

    ASSERT_TRUE(Open(dl, "/headers"));
    ASSERT_GT(Read(dl, "h.txt"), 0);
    std::string headers = ReadBytes(m_dir / "h.txt");
    for (const char* line :
         {"User-Agent: Microsoft Internet Explorer\n", "Cache-Control: no-cache\n", "Pragma: no-cache\n"})
        EXPECT_NE(headers.find(line), std::string::npos) << line;
    EXPECT_EQ(headers.find("Cookie"), std::string::npos);
}

TEST_F(HttpDownloadTest, ReportsFailures)
{
    CHttpDownload dl;
    EXPECT_FALSE(Open(dl, "/status/404"));
    EXPECT_EQ(Error(dl), "HTTP Error Status 404 " + Url("/status/404"));

    RefusingPort refusing;
    ASSERT_GT(refusing.Port(), 0);
    std::string refused = "http://127.0.0.1:" + std::to_string(refusing.Port()) + "/ok";
    EXPECT_FALSE(dl.Open(Utf16(refused).c_str()));
    EXPECT_EQ(Error(dl), "HTTP Cannot connect host 0X00000007 " + refused);
    EXPECT_EQ(Read(dl, "x"), -1);

    // The reply breaks off: nothing is written.
    ASSERT_TRUE(Open(dl, "/short"));
    EXPECT_EQ(Read(dl, "short"), -1);
    EXPECT_EQ(Error(dl), "HTTP Read Error=0X00000012 " + Url("/short"));
    EXPECT_FALSE(fs::exists(m_dir / "short"));

    ASSERT_TRUE(Open(dl, "/ok"));
    EXPECT_EQ(Read(dl, "no/such.txt"), -1);
    EXPECT_EQ(Error(dl), "Cannot write to file " + (m_dir / "no/such.txt").string() + " 0X00000002");
}

// A body of exactly 100 MiB is taken whole; one byte more stops the
// transfer, keeping the pieces before the one that crossed the limit.
TEST_F(HttpDownloadTest, AcceptsExactly100MiBAndStopsOneByteOver)
{
    const int64_t limit = CHttpDownload::s_iMaxBody;
    CHttpDownload dl;
    ASSERT_TRUE(Open(dl, "/size/" + std::to_string(limit)));
    EXPECT_EQ(Read(dl, "big"), limit);
    EXPECT_EQ(Error(dl), "");
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

    const std::string over = "/size/" + std::to_string(limit + 1);
    ASSERT_TRUE(Open(dl, over));
    int64_t written = Read(dl, "over");
    EXPECT_EQ(Error(dl), "HTTP Size is too much 104857601 " + Url(over));
    EXPECT_GT(written, limit - CHttpDownload::s_iReadPiece);
    EXPECT_LE(written, limit);
    EXPECT_EQ(fs::file_size(m_dir / "over"), static_cast<uintmax_t>(written));
}
