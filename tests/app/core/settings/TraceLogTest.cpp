#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/core/CTraceLog.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/app/core/settings/SettingsTestFiles.h"

namespace {

class TraceLogTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        CTraceLog::Close();
        CAppSettings::Release();
    }

    // 2010-03-03 14:05:09 UTC.
    static constexpr long kStart = 1267625109;

    ScopedEnv tz{"TZ", "UTC"};
    ScopedHome home;
    ScriptedUI ui;
    std::filesystem::path log = home.Root() / "trace.log";
};

TEST_F(TraceLogTest, LogPathStaysInItsFolder)
{
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u" trace.log\t", kStart), u"/data/20100303-140509-trace.log");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data", u"../../etc/trace.log", kStart),
              u"/data/20100303-140509-trace.log");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u"logs\\t.log", kStart), u"/data/20100303-140509-t.log");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u"logs/", kStart), u"");
    EXPECT_EQ(CTraceLog::GetLogPath(u"/data/", u"..", kStart), u"");

    // Started from the settings: in the user data root, with time stamps.
    WriteText(home.DataFolder() / "zandrel.ini", "[DEBUG]\nLOGFILE= trace.log \n");
    ASSERT_TRUE(CAppSettings::Get()->OpenTraceLog(kStart));
    CTraceLog::Write("INFO: %s", "up");
    CTraceLog::Close();
    std::string text = ReadText(home.DataFolder().parent_path() / "20100303-140509-trace.log");
    std::regex entry("1 [A-Z][a-z]{2} \\d\\d [A-Z][a-z]{2} \\d\\d:\\d\\d:\\d\\d \\d{4} INFO: up\r\n");
    EXPECT_TRUE(std::regex_match(text, entry)) << text;
}

TEST_F(TraceLogTest, EntriesAreNumberedAndAppended)
{
    WriteText(log, "old\r\n");
    CTraceLog::Write("before %d", 0);  // off: nothing, no file touched
    ASSERT_TRUE(CTraceLog::Open(Utf16(log.string()), false));
    // A second open while open keeps the first file.
    EXPECT_TRUE(CTraceLog::Open(Utf16((home.Root() / "other.log").string()), true));
    CTraceLog::Write("ERR: %s %d", "\xC3\xA9t\xC3\xA9", 404);
    CTraceLog::Write("WARN: x");
    CTraceLog::Close();
    CTraceLog::Write("after");
    EXPECT_FALSE(std::filesystem::exists(home.Root() / "other.log"));
    EXPECT_EQ(ReadText(log), "old\r\n1ERR: \xC3\xA9t\xC3\xA9 404\r\n2WARN: x\r\n");
}

TEST_F(TraceLogTest, EntriesFromManyThreadsStayWhole)
{
    ASSERT_TRUE(CTraceLog::Open(Utf16(log.string()), false));
    constexpr int kThreads = 8;
    constexpr int kEach = 250;
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

    std::string text = ReadText(log);
    std::regex entry("(\\d+):thread (\\d) entry (\\d+) ([a-h]{40})\r\n");
    std::set<std::pair<int, int>> seen;
    int lastNumber = 0;
    size_t covered = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it) {
        int number = std::stoi((*it)[1]);
        int thread = std::stoi((*it)[2]);
        EXPECT_EQ(number, lastNumber + 1);
        lastNumber = number;
        EXPECT_EQ((*it)[4].str(), std::string(40, char('a' + thread)));
        seen.insert({thread, std::stoi((*it)[3])});
        covered += size_t(it->length());
    }
    EXPECT_EQ(covered, text.size());  // nothing torn or interleaved
    EXPECT_EQ(lastNumber, kThreads * kEach);
    EXPECT_EQ(seen.size(), size_t(kThreads * kEach));
}

TEST_F(TraceLogTest, UnopenableFileIsSaidOnStandardOutput)
{
    std::string path = (home.Root() / "missing/trace.log").string();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(CTraceLog::Open(Utf16(path), true));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "********* Can not open Logfile   " + path + "\n");
    EXPECT_FALSE(CTraceLog::IsOpen());
    CTraceLog::Write("nothing");
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
