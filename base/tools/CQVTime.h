#pragma once

#include <cstddef>
#include <cstdint>

#include "base/ZandrelExport.h"

// Times as seconds since 1970-01-01 UTC and their text forms: the RFC 822
// date of RSS, the W3C date-time of Dublin Core, a loose
// "2009-3-4 5:06:07" form and Windows file times. The class keeps no state;
// every operation is static, so it may be called with or without an object.
//
// The parsers take the text and its length in bytes; they never read past
// that length or past a NUL inside it, and leave `t` alone on failure.
class ZANDREL_API CQVTime {
public:
    // Parses a date in any accepted form, chosen by its length and first
    // byte. On failure (or for null text) `t` gets the current time and the
    // result is false.
    static bool GetTime(const char* text, long* t);

    // Seconds since 1970 of a UTC calendar time. `month` is 0 to 11; other
    // values carry into the year, and the other fields may run over too
    // (hour 25 is 01:00 of the next day). A result before 1970 gives 0.
    static long Makegmtime(int year, int month, int day, int hour, int minute, int second);

    // "2009-03-04T05:06:07Z" into a fixed block of 26 bytes: the 20
    // characters, a NUL and NUL filler. False for a time before 1970 or a
    // year beyond 9999, which would not fit the block.
    static bool GetDCDate(long t, char* buffer);
    // The same 20 characters and a NUL as UTF-16; the buffer must hold 21
    // characters.
    static bool GetDCDateW(long t, char16_t* buffer);
    // Parses a NUL-terminated UTF-16 W3C date-time (a length-counted string
    // will do).
    static bool GetEpochTimeFromDCDateBSTR(long* t, const char16_t* text);

    // The RFC 822 form of `t` in local time with English names, for example
    // "Wed, 04 Mar 2009 05:06:07 GMT" or "... +0530". Needs a buffer of 40
    // bytes; a smaller one gets an empty string and false.
    static bool FormatPubDate(long t, char* buffer, size_t size);

    // Windows file times count 100 ns from 1601-01-01 UTC. The conversion
    // to seconds keeps the low 32 bits, as the data model stores them.
    static long FileTimeToTimeT(uint64_t fileTime);
    static void TimeTToFileTime(long t, uint64_t* fileTime);

protected:
    // "Wed, 04 Mar 2009 05:06:07 GMT"; names are case-sensitive, years run
    // from 1970 to 2038 and an unknown zone counts as UTC.
    static bool ParsePubDate(const char* text, long* t, size_t length);
    // "2009-03-04T05:06:07Z", optionally with fractional seconds and a
    // numeric zone. The fields are not range-checked.
    static bool ParseDCDate(const char* text, long* t, size_t length);
    // "2009-3-4 5:06:07", taken as UTC.
    static bool ParseInvalidDCDate(const char* text, long* t, size_t length);

    // Offset from UTC of a NUL-terminated zone text: a named zone, "UT",
    // "Z", a military letter, or "+hhmm" / "+hh:mm". Both parts carry the
    // sign. False for an unknown zone.
    static bool GetZoneModify(const char* zone, int* hours, int* minutes);

    // One numeric field of the loose form: the bytes before `separator`
    // within `length` (for '*', the leading run of digits). `rest` gets the
    // byte after the field's end, or null when nothing follows. False when
    // the separator is missing or the field has fewer than `minDigits` or
    // more than `maxDigits` bytes or is negative.
    static bool GetStringValue(const char* text, size_t length, char separator, int* value,
                               int minDigits, int maxDigits, const char** rest);
};
