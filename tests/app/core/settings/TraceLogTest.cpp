#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <set>
#include <thread>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CTraceLog.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

class TraceLogTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        CTraceLog::Close();
        CAppSettings::Release();
    }

    static constexpr long kStart = 1267625109;  // 2010-03-03 14:05:09 UTC

    ScopedEnv tz{"TZ", "UTC"};
    ScopedHome home;
    ScriptedUI ui;
    fs::path log = home.Root() / "trace.log";
};

TEST_F(TraceLogTest, LogPathStaysInItsFolderAndEntriesAreNumberedAndAppended)
{
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u" trace.log\t", kStart), u"/data/20100303-140509-trace.log");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data", u"../../etc/trace.log", kStart), u"/data/20100303-140509-trace.log");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u"logs\\t.log", kStart), u"/data/20100303-140509-t.log");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u"logs/", kStart), u"");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u"..", kStart), u"");

    // Started from the settings: in the user data root, with time stamps.
    WriteBytes(home.DataFolder() / "zandrel.ini", "[DEBUG]\nLOGFILE= trace.log \n");
    ASSERT_TRUE(CAppSettings::Get()->OpenTraceLog(kStart));
    CTraceLog::Write("INFO: %s", "up");
    CTraceLog::Close();
    std::string text = ReadBytes(home.DataFolder().parent_path() / "20100303-140509-trace.log");
    std::regex entry("1 [A-Z][a-z]{2} \\d\\d [A-Z][a-z]{2} \\d\\d:\\d\\d:\\d\\d \\d{4} INFO: up\r\n");
    EXPECT_TRUE(std::regex_match(text, entry)) << text;

    // Entries are numbered and appended.
    WriteBytes(log, "old\r\n");
    CTraceLog::Write("before %d", 0);  // off: nothing, no file touched
    ASSERT_TRUE(CTraceLog::Open(U16(log), false));
    // A second open while open keeps the first file.
    EXPECT_TRUE(CTraceLog::Open(U16(home.Root() / "other.log"), true));
    CTraceLog::Write("ERR: %s %d", "\xC3\xA9t\xC3\xA9", 404);
    CTraceLog::Write("WARN: x");
    CTraceLog::Close();
    CTraceLog::Write("after");
    EXPECT_FALSE(fs::exists(home.Root() / "other.log"));
    EXPECT_EQ(ReadBytes(log), "old\r\n1ERR: \xC3\xA9t\xC3\xA9 404\r\n2WARN: x\r\n");

    // A file that cannot be opened is said on standard output.
    std::string missing = (home.Root() / "missing/trace.log").string();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(CTraceLog::Open(Utf16(missing), true));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "********* Can not open Logfile   " + missing + "\n");
    EXPECT_FALSE(CTraceLog::IsOpen());
    CTraceLog::Write("nothing");
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(TraceLogTest, EntriesFromManyThreadsStayWhole)
{
    ASSERT_TRUE(CTraceLog::Open(U16(log), false));
    constexpr int kThreads = 8, kEach = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i)
                CTraceLog::Write(":thread %d entry %d %s", t, i, std::string(40, 'a' + t).c_str());
        });
    }
    for (auto& thread : threads)
        thread.join();
    CTraceLog::Close();

    // Every line whole, numbered in turn, each entry once.
    std::istringstream text(ReadBytes(log));
    const std::regex entry("(\\d+)(:thread (\\d) entry \\d+ )([a-h]{40})\r");
    std::set<std::string> seen;
    int number = 0;
    for (std::string line; std::getline(text, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, entry)) << line;
        EXPECT_EQ(std::stoi(m[1]), ++number);
        EXPECT_EQ(m[4].str(), std::string(40, char('a' + std::stoi(m[3]))));
        seen.insert(m[2]);
    }
    EXPECT_EQ(seen.size(), size_t(kThreads * kEach));
}

}  // namespace
