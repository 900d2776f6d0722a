#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "base/tools/CBaseTool.h"
#include "base/tools/CQVTime.h"
#include "base/tools/CSysString.h"
#include "base/tools/CTimeTest.h"
#include "base/tools/CUnicodeTool.h"
#include "tests/ScopedEnv.h"

namespace {

constexpr long kSample = 1236143167;  // Wed, 04 Mar 2009 05:06:07 GMT
constexpr long kHour = 3600;

struct Time : CQVTime {
    using CQVTime::ParseDCDate;
    using CQVTime::ParseInvalidDCDate;
    using CQVTime::ParsePubDate;
};

// The time GetTime gives for `text`, or nothing when it fails.
std::optional<long> Parse(const std::string& text)
{
    long t = -1;
    if (!CQVTime::GetTime(text.c_str(), &t))
        return std::nullopt;
    return t;
}

std::string PubDate(long t)
{
    char buffer[40];
    return CQVTime::FormatPubDate(t, buffer, sizeof(buffer)) ? buffer : "(failed)";
}

std::u16string TakeSysString(char16_t* text)
{
    std::u16string copy = text ? std::u16string(text, CSysString::Len(text)) : u"(null)";
    CSysString::Free(text);
    return copy;
}

TEST(DateTest, PubDateZones)
{
    const std::pair<const char*, long> zones[] = {
        {"GMT", 0}, {"UT", 0}, {"-0500", 5 * kHour}, {"+0500", -5 * kHour}, {"+0530", -5 * kHour - 1800},
        {"A", kHour}, {"M", 12 * kHour}, {"N", -kHour}, {"Y", -12 * kHour}, {"CDT", 5 * kHour},
        {"+2400", -24 * kHour},
        // Unknown or malformed zones, and zone tokens of 8 characters or
        // more, count as UTC; tokens after the zone are ignored.
        {"J", 0}, {"z", 0}, {"gmt", 0}, {"UTC", 0}, {"CET", 0}, {"-0560", 0}, {"+0560", 0}, {"+2401", 0},
        {"+2500", 0}, {"0530", 0}, {"+05-30", 0}, {"+05:3x", 0}, {"+5:30", 0}, {"GMT+01", 0},
        {"+0500000", 0}, {"GMT +0500 trailing", 0},
    };
    for (const auto& [zone, offset] : zones)
        EXPECT_EQ(Parse(std::string("Wed, 04 Mar 2009 05:06:07 ") + zone), kSample + offset) << zone;
    EXPECT_EQ(Parse("Wed, 04 Mar 2009 00:06:07 EST"), kSample);
    EXPECT_EQ(Parse("Wed, 04 Mar 2009 22:06:07 PDT"), kSample + 24 * kHour);
    EXPECT_EQ(Parse("Wed,04 Mar 2009 05:06:07"), kSample);
}

TEST(DateTest, PubDateRejects)
{
    long before = std::time(nullptr);
    long t = 0;
    EXPECT_FALSE(CQVTime::GetTime("04 Mar 2009 05:06:07 GMT", &t));
    EXPECT_GE(t, before);
    EXPECT_LE(t, std::time(nullptr));
    EXPECT_FALSE(Time::ParsePubDate("04 Mar 2009 05:06:07 GMT", &t, 24));
    t = 0;
    EXPECT_FALSE(CQVTime::GetTime(nullptr, &t));
    EXPECT_GE(t, before);

    for (const char* text : {
             "wed, 04 Mar 2009 05:06:07 GMT", "Wed, 04 mar 2009 05:06:07 GMT",
             "Wed, 04 Mar 2009 05:06", "Wed, 04 Mar 2039 05:06:07 GMT",
             "Wed, 31 Dec 1969 23:59:59 GMT", "Wed, 04 Mar 2009 25:06:07 GMT",
             "Wed, 04 Mar 2009 05:60:07 GMT", "Wed, 32 Mar 2009 05:06:07 GMT",
             "Wed, -1 Mar 2009 05:06:07 GMT",
             "Wed, 04 Mar 99999999999999999999999999 05:06:07",
             "Wed, 04 Mar -99999999999999999999999999 05:06:07",
         })
        EXPECT_EQ(Parse(text), std::nullopt) << text;

    EXPECT_EQ(Parse("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
    EXPECT_EQ(Parse("Fri, 31 Dec 2038 23:59:59 GMT"), 2177452799L);
    EXPECT_EQ(Parse("Wed, 04 Mar 2009 24:00:00 GMT"), kSample - (5 * kHour + 6 * 60 + 7) + 24 * kHour);

    std::string padded = "Wed, 04 Mar 2009 05:06:07 GMT";
    padded += std::string(255 - padded.size(), ' ');
    EXPECT_EQ(Parse(padded), kSample);
    EXPECT_EQ(Parse(padded + " "), std::nullopt);
}

TEST(DateTest, DCDateForms)
{
    const std::pair<std::string, long> forms[] = {
        {"2009-03-04T05:06:07Z", 0}, {"2009-03-04T05:06:07.123Z", 0}, {"2009-03-04T05:06:07.123456789+01:00", -kHour},
        {"2009-03-04T05:06:07+01:00", -kHour}, {"2009-03-04T05:06:07-0130", kHour + 1800}, {"2009-03-04T05:06:07", 0},
        {"2009-03-04T05:06:07-05:30", 5 * kHour + 1800},
        {"2009-03-04 05:06:07", 0}, {"2009-03-04T05:06:07 nonsense", 0},
        {"2009-03-04T05:06:07+01:00" + std::string(16, ' '), 0},  // beyond 40 bytes the zone is not looked at
    };
    for (const auto& [text, offset] : forms)
        EXPECT_EQ(Parse(text), kSample + offset) << text;
    for (const char* text : {"2009-03-04", "2009/03/04T05:06:07Z", "2009-03-04T05-06-07Z",
                             "20090-03-04T05:06:07Z", "99999999999999999999999999999999",
                             "2009-03-04T05:06:xxZ"})
        EXPECT_EQ(Parse(text), std::nullopt) << text;

    long t = 0;
    EXPECT_TRUE(CQVTime::GetEpochTimeFromDCDateBSTR(&t, u"2009-03-04T05:06:07.5-05:00"));
    EXPECT_EQ(t, kSample + 5 * kHour);
    EXPECT_FALSE(CQVTime::GetEpochTimeFromDCDateBSTR(&t, u"2009-03-04"));
    EXPECT_FALSE(CQVTime::GetEpochTimeFromDCDateBSTR(&t, nullptr));
}

TEST(DateTest, LooseForm)
{
    EXPECT_EQ(Parse("2009-3-4 5:06:07"), kSample);
    EXPECT_EQ(Parse("2009-03-04 5:6:7"), kSample);
    for (const char* text : {"2009-3-4 5:06:", "2009-3-4 5:06", "2009-3-4T5:06:07",
                             "209-3-4 5:06:07x", "2009-003-4 5:6:7", "2009--1-4 5:6:7",
                             "2009-3-4 5:06:123", "2009-3-4 -5:06:07", "2009-3-4 5:06:-7"})
        EXPECT_EQ(Parse(text), std::nullopt) << text;
}

TEST(DateTest, ParsersStayInsideTheirLength)
{
    // Heap copies without a terminator: any read past the end trips ASan.
    auto exact = [](const std::string& text) {
        auto bytes = std::make_unique<char[]>(text.size());
        std::memcpy(bytes.get(), text.data(), text.size());
        return bytes;
    };
    long t = 0;
    auto dc = exact("2009-03-04T05:06:07+01:00");
    EXPECT_TRUE(Time::ParseDCDate(dc.get(), &t, 25));
    EXPECT_EQ(t, kSample - kHour);
    EXPECT_TRUE(Time::ParseDCDate(dc.get(), &t, 19));
    EXPECT_EQ(t, kSample);
    auto pub = exact("Wed, 04 Mar 2009 05:06:07 GMT");
    EXPECT_TRUE(Time::ParsePubDate(pub.get(), &t, 29));
    EXPECT_EQ(t, kSample);
    auto loose = exact("2009-3-4 5:06:07");
    EXPECT_TRUE(Time::ParseInvalidDCDate(loose.get(), &t, 16));
    EXPECT_EQ(t, kSample);
    EXPECT_FALSE(Time::ParseInvalidDCDate(loose.get(), &t, 13));
    // An embedded NUL ends the text.
    EXPECT_FALSE(Time::ParseDCDate("2009-03-04T05\0:06:07Z", &t, 21));

    std::mt19937 random(20090304);
    const std::string alphabet = "0123456789-:T.+Z ,WedMarGMT\t\xff";
    for (int i = 0; i < 20000; i++) {
        std::string text(random() % 60, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        auto bytes = exact(text);
        Time::ParseDCDate(bytes.get(), &t, text.size());
        Time::ParsePubDate(bytes.get(), &t, text.size());
        Time::ParseInvalidDCDate(bytes.get(), &t, text.size());
        CQVTime::GetTime(text.c_str(), &t);
    }
}

TEST(DateTest, MakegmtimeMatchesTheCalendar)
{
    for (int year : {1970, 1999, 2000, 2004, 2038, 2100, 2400}) {
        for (int month = 0; month < 12; month++) {
            struct tm tm = {};
            tm.tm_year = year - 1900;
            tm.tm_mon = month;
            tm.tm_mday = 28;
            tm.tm_hour = 13;
            tm.tm_min = 14;
            tm.tm_sec = 15;
            ASSERT_EQ(CQVTime::Makegmtime(year, month, 28, 13, 14, 15), timegm(&tm))
                << year << "-" << month;
        }
    }
    long march2100 = CQVTime::Makegmtime(2100, 2, 1, 0, 0, 0);
    EXPECT_EQ(march2100 - CQVTime::Makegmtime(2100, 1, 28, 0, 0, 0), 24 * kHour);
    EXPECT_EQ(CQVTime::Makegmtime(2008, 13, 4, 5, 6, 7), CQVTime::Makegmtime(2009, 1, 4, 5, 6, 7));
    EXPECT_EQ(CQVTime::Makegmtime(2010, -10, 4, 5, 6, 7), kSample);
    EXPECT_EQ(CQVTime::Makegmtime(2010, -1, 31, 0, 0, 0), CQVTime::Makegmtime(2009, 11, 31, 0, 0, 0));
    EXPECT_EQ(CQVTime::Makegmtime(1969, 11, 31, 23, 59, 59), 0);
    EXPECT_EQ(CQVTime::Makegmtime(1970, 0, 1, 0, 0, -1), 0);
    EXPECT_EQ(CQVTime::Makegmtime(INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN), 0);
    EXPECT_GT(CQVTime::Makegmtime(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX), 0);
}

TEST(DateTest, DCDateWriting)
{
    char block[32];
    std::memset(block, '#', sizeof(block));
    ASSERT_TRUE(CQVTime::GetDCDate(0, block));
    EXPECT_STREQ(block, "1970-01-01T00:00:00Z");
    EXPECT_EQ(std::string(block + 20, 6), std::string(6, '\0'));
    EXPECT_EQ(block[26], '#');

    ASSERT_TRUE(CQVTime::GetDCDate(kSample, block));
    EXPECT_STREQ(block, "2009-03-04T05:06:07Z");
    EXPECT_FALSE(CQVTime::GetDCDate(-1, block));
    EXPECT_FALSE(CQVTime::GetDCDate(253402300800L, block));  // 10000-01-01
    EXPECT_TRUE(CQVTime::GetDCDate(253402300799L, block));
    EXPECT_STREQ(block, "9999-12-31T23:59:59Z");

    char16_t wide[21];
    ASSERT_TRUE(CQVTime::GetDCDateW(kSample, wide));
    EXPECT_EQ(std::u16string(wide), u"2009-03-04T05:06:07Z");
    long t = 0;
    ASSERT_TRUE(CQVTime::GetEpochTimeFromDCDateBSTR(&t, wide));
    EXPECT_EQ(t, kSample);
}

TEST(DateTest, FileTimes)
{
    uint64_t fileTime = 0;
    CQVTime::TimeTToFileTime(0, &fileTime);
    EXPECT_EQ(fileTime, 116444736000000000ULL);
    CQVTime::TimeTToFileTime(kSample, &fileTime);
    EXPECT_EQ(CQVTime::FileTimeToTimeT(fileTime + 9999999), kSample);
    CQVTime::TimeTToFileTime(-86400, &fileTime);
    EXPECT_EQ(CQVTime::FileTimeToTimeT(fileTime), -86400);
    // Only the low 32 bits survive.
    CQVTime::TimeTToFileTime((1L << 32) + 5, &fileTime);
    EXPECT_EQ(CQVTime::FileTimeToTimeT(fileTime), 5);
    EXPECT_EQ(CQVTime::FileTimeToTimeT(0), static_cast<int32_t>(-11644473600LL));
}

// Summer and winter time each carry their own offset, and every written
// date reads back to the same second.
TEST(DateTest, PubDateWritingFollowsTheLocalZone)
{
    const struct {
        const char* zone;
        long t;
        const char* text;
    } cases[] = {
        {"UTC", kSample, "Wed, 04 Mar 2009 05:06:07 GMT"},
        {"UTC", 0, "Thu, 01 Jan 1970 00:00:00 GMT"},
        {"EST5", kSample, "Wed, 04 Mar 2009 00:06:07 -0500"},
        {"IST-5:30", kSample, "Wed, 04 Mar 2009 10:36:07 +0530"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kSample, "Wed, 04 Mar 2009 06:06:07 +0100"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kSample + 120 * 86400, "Thu, 02 Jul 2009 07:06:07 +0200"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 2147483647L, "Tue, 19 Jan 2038 04:14:07 +0100"},
    };
    for (const auto& c : cases) {
        ScopedEnv zone("TZ", c.zone);
        EXPECT_EQ(PubDate(c.t), c.text) << c.zone;
        EXPECT_EQ(Parse(c.text), c.t) << c.text;
        char16_t wide[40];
        ASSERT_TRUE(CBaseTool::GetPubDate(c.t, wide, 40));
        EXPECT_EQ(CUnicodeTool::ToUtf8(wide), c.text);
    }

    char16_t wide[40];
    std::fill(std::begin(wide), std::end(wide), u'#');
    EXPECT_FALSE(CBaseTool::GetPubDate(kSample, wide, 39));
    EXPECT_EQ(wide[0], u'\0');
    wide[0] = u'#';
    EXPECT_FALSE(CBaseTool::GetPubDate(kSample, wide, 0));
    EXPECT_EQ(wide[0], u'#');
    char narrow[39] = "#";
    EXPECT_FALSE(CQVTime::FormatPubDate(kSample, narrow, sizeof(narrow)));
    EXPECT_EQ(narrow[0], '\0');
}

TEST(DateTest, ShowDatesAndStopwatch)
{
    {
        ScopedEnv zone("TZ", "UTC");
        EXPECT_EQ(TakeSysString(CTimeTest::GetShowDate(kSample)), u"Wed 04/03/2009 05:06");
        EXPECT_EQ(TakeSysString(CTimeTest::GetShowDate2(kSample)), u"Mar 04 2009 05:06 Wed");
        EXPECT_EQ(TakeSysString(CTimeTest::GetShowDateShort(kSample)), u"Mar 04 2009 05:06");
    }
    {
        ScopedEnv zone("TZ", "EST5");
        EXPECT_EQ(TakeSysString(CTimeTest::GetShowDate(kSample - 6 * kHour)), u"Tue 03/03/2009 18:06");
    }

    // Seconds, whatever the load: never more than a clock around it saw.
    auto before = std::chrono::steady_clock::now();
    CTimeTest watch;
    watch.SetStart();
    double elapsed = watch.GetEndSeconds();
    double around = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    EXPECT_GE(elapsed, 0.0);
    EXPECT_LE(elapsed, around + 0.01);
    EXPECT_GE(watch.OnStop(u"step"), elapsed);
}

}  // namespace
