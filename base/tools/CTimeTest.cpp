#include "base/tools/CTimeTest.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "base/tools/CSysString.h"

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

enum class ShowForm { DayFirst, MonthFirst, Short };

char16_t* ShowDate(long t, ShowForm form)
{
    tzset();
    time_t when = static_cast<time_t>(t);
    struct tm tm;
    if (!localtime_r(&when, &tm))
        return nullptr;
    long long year = static_cast<long long>(tm.tm_year) + 1900;
    const char* day = kDayNames[tm.tm_wday];
    const char* month = kMonthNames[tm.tm_mon];
    char text[64];
    int n;
    switch (form) {
    case ShowForm::DayFirst:
        n = std::snprintf(text, sizeof(text), "%s %02d/%02d/%lld %02d:%02d", day, tm.tm_mday,
                          tm.tm_mon + 1, year, tm.tm_hour, tm.tm_min);
        break;
    case ShowForm::MonthFirst:
        n = std::snprintf(text, sizeof(text), "%s %02d %lld %02d:%02d %s", month, tm.tm_mday, year,
                          tm.tm_hour, tm.tm_min, day);
        break;
    default:
        n = std::snprintf(text, sizeof(text), "%s %02d %lld %02d:%02d", month, tm.tm_mday, year,
                          tm.tm_hour, tm.tm_min);
        break;
    }
    if (n < 0 || static_cast<size_t>(n) >= sizeof(text))
        return nullptr;
    char16_t* result = CSysString::AllocLen(nullptr, static_cast<uint32_t>(n));
    if (result) {
        for (int i = 0; i < n; i++)
            result[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    }
    return result;
}

double NowSeconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() / 1000.0;
}

}  // namespace

char16_t* CTimeTest::GetShowDate(long t)
{
    return ShowDate(t, ShowForm::DayFirst);
}

char16_t* CTimeTest::GetShowDate2(long t)
{
    return ShowDate(t, ShowForm::MonthFirst);
}

char16_t* CTimeTest::GetShowDateShort(long t)
{
    return ShowDate(t, ShowForm::Short);
}

CTimeTest::CTimeTest() : m_start(NowSeconds()) {}

void CTimeTest::SetStart()
{
    m_start = NowSeconds();
}

double CTimeTest::GetEndSeconds() const
{
    return NowSeconds() - m_start;
}

double CTimeTest::OnStop(const char16_t* /*label*/) const
{
    return GetEndSeconds();
}
