#include "base/tools/CQVTime.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>

#include "base/tools/CUnicodeTool.h"

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

struct NamedZone {
    const char* name;
    int hours;
};
constexpr NamedZone kNamedZones[] = {
    {"GMT", 0},  {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
    {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
};

constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ULL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;
constexpr size_t kPubDateSize = 40;
constexpr size_t kDCDateBlock = 26;
constexpr size_t kDCDateChars = 20;

// Locale-independent character classes; <cctype> would follow the locale.
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi over at most `n` bytes. Digit runs of any length saturate at the
// int range instead of overflowing.
int ToInt(const char* p, size_t n)
{
    size_t i = 0;
    while (i < n && IsSpace(p[i]))
        i++;
    bool negative = false;
    if (i < n && (p[i] == '+' || p[i] == '-'))
        negative = p[i++] == '-';
    int64_t value = 0;
    for (; i < n && IsDigit(p[i]); i++) {
        if (value <= INT_MAX)
            value = value * 10 + (p[i] - '0');
    }
    if (negative)
        return value > -static_cast<int64_t>(INT_MIN) ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

bool IsLeapYear(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Leap years from year 1 up to, not including, `year`.
int64_t LeapYearsBefore(int64_t year)
{
    int64_t y = year - 1;
    return FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400);
}

// The "%4d-%2d-%2d%c%2d:%2d:%2d" reading of the W3C form, with the rules
// of the C library's scanf (leading white space before a number, a sign
// counted in the width) but bounded by the text's length.
class FieldScanner {
public:
    FieldScanner(const char* text, size_t length) : m_text(text), m_length(length) {}

    bool Int(int width, int* value)
    {
        while (m_pos < m_length && IsSpace(m_text[m_pos]))
            m_pos++;
        size_t start = m_pos;
        size_t end = m_pos + static_cast<size_t>(width);
        if (end > m_length)
            end = m_length;
        size_t i = start;
        if (i < end && (m_text[i] == '+' || m_text[i] == '-'))
            i++;
        size_t digits = i;
        while (i < end && IsDigit(m_text[i]))
            i++;
        if (i == digits)
            return false;
        *value = ToInt(m_text + start, i - start);
        m_pos = i;
        return true;
    }

    bool Literal(char c)
    {
        if (m_pos >= m_length || m_text[m_pos] != c)
            return false;
        m_pos++;
        return true;
    }

    bool AnyChar()
    {
        if (m_pos >= m_length)
            return false;
        m_pos++;
        return true;
    }

private:
    const char* m_text;
    size_t m_length;
    size_t m_pos = 0;
};

using ZoneModifyFn = bool (*)(const char*, int*, int*);

// The zone offset of `length` bytes of a text; 0 for an unknown zone. Known
// zones are short, so a longer text is unknown anyway.
void ZoneOffset(const char* begin, size_t length, int* hours, int* minutes, ZoneModifyFn zoneModify)
{
    *hours = 0;
    *minutes = 0;
    char zone[8];
    if (length >= sizeof(zone))
        return;
    std::memcpy(zone, begin, length);
    zone[length] = '\0';
    if (!zoneModify(zone, hours, minutes)) {
        *hours = 0;
        *minutes = 0;
    }
}

// The digits of a numeric zone; false when a byte is not a digit.
bool TwoDigits(const char* p, int* value)
{
    if (!IsDigit(p[0]) || !IsDigit(p[1]))
        return false;
    *value = (p[0] - '0') * 10 + (p[1] - '0');
    return true;
}

}  // namespace

bool CQVTime::GetTime(const char* text, long* t)
{
    if (!t)
        return false;
    bool parsed = false;
    if (text) {
        size_t n = std::strlen(text);
        bool digitFirst = IsDigit(text[0]);
        if (n >= 19)
            parsed = digitFirst ? ParseDCDate(text, t, n) : ParsePubDate(text, t, n);
        else if (n >= 12 && digitFirst)
            parsed = ParseInvalidDCDate(text, t, n);
    }
    if (!parsed)
        *t = static_cast<long>(std::time(nullptr));
    return parsed;
}

long CQVTime::Makegmtime(int year, int month, int day, int hour, int minute, int second)
{
    int64_t y = static_cast<int64_t>(year) + month / 12;
    int64_t m = month % 12;
    if (m < 0) {
        m += 12;
        y -= 1;
    }
    int64_t days = 365 * (y - 1970) + LeapYearsBefore(y) - LeapYearsBefore(1970) +
                   (m >= 2 && IsLeapYear(y) ? 1 : 0) + kDaysBeforeMonth[m] + day - 1;
    int64_t seconds = ((days * 24 + hour) * 60 + minute) * 60 + second;
    if (seconds < 0)
        return 0;
    if (seconds > std::numeric_limits<long>::max())
        return std::numeric_limits<long>::max();
    return static_cast<long>(seconds);
}

bool CQVTime::GetDCDate(long t, char* buffer)
{
    if (!buffer || t < 0)
        return false;
    time_t when = static_cast<time_t>(t);
    struct tm tm;
    if (!gmtime_r(&when, &tm))
        return false;
    // A year of five digits or more would push the text past the block.
    int64_t year = static_cast<int64_t>(tm.tm_year) + 1900;
    if (year > 9999)
        return false;
    char block[64] = {};
    std::snprintf(block, sizeof(block), "%4d-%02d-%02dT%02d:%02d:%02dZ", static_cast<int>(year),
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::memcpy(buffer, block, kDCDateBlock);
    return true;
}

bool CQVTime::GetDCDateW(long t, char16_t* buffer)
{
    char block[kDCDateBlock];
    if (!buffer || !GetDCDate(t, block))
        return false;
    for (size_t i = 0; i <= kDCDateChars; i++)
        buffer[i] = static_cast<char16_t>(static_cast<unsigned char>(block[i]));
    return true;
}

bool CQVTime::GetEpochTimeFromDCDateBSTR(long* t, const char16_t* text)
{
    if (!t || !text)
        return false;
    char* bytes = nullptr;
    int length = 0;
    if (!CUnicodeTool::TCHARGetUTF8(text, &bytes, &length))
        return false;
    bool parsed = ParseDCDate(bytes, t, static_cast<size_t>(length));
    CUnicodeTool::DeleteBuffer(bytes);
    return parsed;
}

namespace {

// localtime_r does not look at TZ again once the zone is loaded, and tzset
// re-reads /etc/localtime each time; so tzset runs only when TZ changed.
void FollowZoneChanges()
{
    static std::mutex lock;
    static std::string last;
    static bool loaded = false;
    std::lock_guard<std::mutex> guard(lock);
    const char* tz = std::getenv("TZ");
    std::string now = tz ? std::string("=") + tz : std::string();
    if (!loaded || now != last) {
        tzset();
        last = std::move(now);
        loaded = true;
    }
}

}  // namespace

bool CQVTime::FormatPubDate(long t, char* buffer, size_t size)
{
    if (!buffer)
        return false;
    if (size > 0)
        buffer[0] = '\0';
    if (size < kPubDateSize)
        return false;
    FollowZoneChanges();
    time_t when = static_cast<time_t>(t);
    struct tm tm;
    if (!localtime_r(&when, &tm))
        return false;
    // Names come from our own tables: strftime's %a and %b follow the locale.
    char text[96];
    int n = std::snprintf(text, sizeof(text), "%s, %02d %s %lld %02d:%02d:%02d",
                          kDayNames[tm.tm_wday], tm.tm_mday, kMonthNames[tm.tm_mon],
                          static_cast<long long>(tm.tm_year) + 1900, tm.tm_hour, tm.tm_min,
                          tm.tm_sec);
    if (n < 0)
        return false;
    long offset = tm.tm_gmtoff;
    if (offset == 0) {
        n += std::snprintf(text + n, sizeof(text) - n, " GMT");
    } else {
        long magnitude = offset < 0 ? -offset : offset;
        n += std::snprintf(text + n, sizeof(text) - n, " %c%02ld%02ld", offset < 0 ? '-' : '+',
                           magnitude / 3600, magnitude % 3600 / 60);
    }
    if (n < 0 || static_cast<size_t>(n) >= kPubDateSize)
        return false;
    std::memcpy(buffer, text, static_cast<size_t>(n) + 1);
    return true;
}

long CQVTime::FileTimeToTimeT(uint64_t fileTime)
{
    // Unsigned arithmetic wraps where a file time lies before 1970; the low
    // 32 bits then read back as a negative time.
    uint64_t seconds = fileTime / kFileTimeUnitsPerSecond - kSecondsFrom1601To1970;
    return static_cast<int32_t>(static_cast<uint32_t>(seconds));
}

void CQVTime::TimeTToFileTime(long t, uint64_t* fileTime)
{
    if (!fileTime)
        return;
    *fileTime = (static_cast<uint64_t>(t) + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
}

bool CQVTime::ParsePubDate(const char* text, long* t, size_t length)
{
    if (!text || !t)
        return false;
    size_t n = strnlen(text, length);
    if (n > 255)
        return false;

    // Tokens between commas, spaces and colons; only the first eight count.
    std::string_view tokens[8];
    int count = 0;
    for (size_t i = 0; i < n && count < 8;) {
        while (i < n && (text[i] == ',' || text[i] == ' ' || text[i] == ':'))
            i++;
        size_t start = i;
        while (i < n && text[i] != ',' && text[i] != ' ' && text[i] != ':')
            i++;
        if (i > start)
            tokens[count++] = std::string_view(text + start, i - start);
    }
    if (count < 7)
        return false;

    bool dayName = false;
    for (const char* name : kDayNames)
        dayName = dayName || tokens[0] == name;
    if (!dayName)
        return false;
    int month = -1;
    for (int i = 0; i < 12 && month < 0; i++) {
        if (tokens[2] == kMonthNames[i])
            month = i;
    }
    if (month < 0)
        return false;

    auto number = [](std::string_view token) { return ToInt(token.data(), token.size()); };
    int day = number(tokens[1]);
    int year = number(tokens[3]);
    int hour = number(tokens[4]);
    int minute = number(tokens[5]);
    int second = number(tokens[6]);
    if (hour < 0 || hour > 24 || day < 0 || day > 31 || minute < 0 || minute > 59 || second < 0 ||
        second > 59 || year < 1970 || year > 2038)
        return false;

    int zoneHours = 0;
    int zoneMinutes = 0;
    if (count >= 8 && tokens[7].size() < 8)
        ZoneOffset(tokens[7].data(), tokens[7].size(), &zoneHours, &zoneMinutes, GetZoneModify);
    *t = Makegmtime(year, month, day, hour - zoneHours, minute - zoneMinutes, second);
    return true;
}

bool CQVTime::ParseDCDate(const char* text, long* t, size_t length)
{
    if (!text || !t)
        return false;
    size_t n = strnlen(text, length);
    if (n < 19)
        return false;

    int year, month, day, hour, minute, second;
    FieldScanner scan(text, n);
    if (!scan.Int(4, &year) || !scan.Literal('-') || !scan.Int(2, &month) || !scan.Literal('-') ||
        !scan.Int(2, &day) || !scan.AnyChar() || !scan.Int(2, &hour) || !scan.Literal(':') ||
        !scan.Int(2, &minute) || !scan.Literal(':') || !scan.Int(2, &second))
        return false;

    int zoneHours = 0;
    int zoneMinutes = 0;
    if (n >= 20 && n <= 40) {
        size_t zone = 19;
        if (text[zone] == '.') {
            zone++;
            while (zone < n && IsDigit(text[zone]))
                zone++;
        }
        ZoneOffset(text + zone, n - zone, &zoneHours, &zoneMinutes, GetZoneModify);
    }
    *t = Makegmtime(year, month - 1, day, hour - zoneHours, minute - zoneMinutes, second);
    return true;
}

bool CQVTime::ParseInvalidDCDate(const char* text, long* t, size_t length)
{
    if (!text || !t)
        return false;
    size_t n = strnlen(text, length);
    const char* p = text;
    const char* rest = nullptr;
    int fields[6];
    // Year, month, day, hour, minute: each must be followed by more text.
    static constexpr struct {
        char separator;
        int minDigits;
        int maxDigits;
    } kFields[5] = {{'-', 4, 4}, {'-', 1, 2}, {' ', 1, 2}, {':', 1, 2}, {':', 1, 2}};
    for (int i = 0; i < 5; i++) {
        if (!GetStringValue(p, n, kFields[i].separator, &fields[i], kFields[i].minDigits,
                            kFields[i].maxDigits, &rest) ||
            !rest)
            return false;
        n -= static_cast<size_t>(rest - p);
        p = rest;
    }
    if (!GetStringValue(p, n, '*', &fields[5], 1, 2, &rest))
        return false;
    *t = Makegmtime(fields[0], fields[1] - 1, fields[2], fields[3], fields[4], fields[5]);
    return true;
}

bool CQVTime::GetZoneModify(const char* zone, int* hours, int* minutes)
{
    if (!zone || !hours || !minutes)
        return false;
    size_t n = strnlen(zone, 7);
    switch (n) {
    case 1: {
        char c = zone[0];
        if (c == 'Z') {
            *hours = 0;
        } else if (c >= 'A' && c <= 'I') {
            *hours = -(c - 'A' + 1);
        } else if (c >= 'K' && c <= 'M') {
            *hours = -(c - 'A');
        } else if (c >= 'N' && c <= 'Y') {
            *hours = c - 'N' + 1;
        } else {
            return false;
        }
        *minutes = 0;
        return true;
    }
    case 2:
        if (std::strcmp(zone, "UT") != 0)
            return false;
        *hours = 0;
        *minutes = 0;
        return true;
    case 3:
        for (const NamedZone& named : kNamedZones) {
            if (std::strcmp(zone, named.name) == 0) {
                *hours = named.hours;
                *minutes = 0;
                return true;
            }
        }
        return false;
    case 5:
    case 6: {
        if (zone[0] != '+' && zone[0] != '-')
            return false;
        int h, m;
        if (!TwoDigits(zone + 1, &h))
            return false;
        const char* mm = zone + 3;
        if (n == 6) {
            if (*mm != ':')
                return false;
            mm++;
        }
        if (!TwoDigits(mm, &m) || h > 24 || m > 59 || (h == 24 && m != 0))
            return false;
        int sign = zone[0] == '-' ? -1 : 1;
        *hours = sign * h;
        *minutes = sign * m;
        return true;
    }
    default:
        return false;
    }
}

bool CQVTime::GetStringValue(const char* text, size_t length, char separator, int* value,
                             int minDigits, int maxDigits, const char** rest)
{
    if (!text || !value)
        return false;
    size_t n = strnlen(text, length);
    size_t field;
    const char* next;
    if (separator == '*') {
        field = 0;
        while (field < n && IsDigit(text[field]))
            field++;
        next = field < n ? text + field : nullptr;
    } else {
        const void* found = std::memchr(text, separator, n);
        if (!found)
            return false;
        field = static_cast<size_t>(static_cast<const char*>(found) - text);
        next = field + 1 < n ? text + field + 1 : nullptr;
    }
    if ((minDigits > 0 && field < static_cast<size_t>(minDigits)) || maxDigits < 0 ||
        field > static_cast<size_t>(maxDigits))
        return false;
    int number = ToInt(text, field);
    if (number < 0)
        return false;
    *value = number;
    if (rest)
        *rest = next;
    return true;
}
