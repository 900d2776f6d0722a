#pragma once

#include <cstdarg>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/ZandrelExport.h"

// Small helpers over text: NUL-terminated UTF-16, and views of either width.
class ZANDREL_API CStringTool {
public:
    // Characters before the terminator; 0 for null.
    static size_t Length(const char16_t* text);
    // A to Z become a to z; other characters follow the current locale.
    static char16_t FoldCase(char16_t c);
    // Exact comparison; null sorts before every text, two nulls are equal.
    static int Compare(const char16_t* a, const char16_t* b);
    // As Compare, with both sides folded by FoldCase.
    static int CompareNoCase(const char16_t* a, const char16_t* b);
    static bool Equal(const char16_t* a, const char16_t* b) { return Compare(a, b) == 0; }
    static bool EqualNoCase(const char16_t* a, const char16_t* b) { return CompareNoCase(a, b) == 0; }
    // The text folded with FoldCase; empty for null.
    static std::u16string ToLower(const char16_t* text);
    // The text without the blanks and tabs around it.
    static std::u16string TrimBlanks(std::u16string_view text);
    // A decimal number as C's atol reads one: white space, a sign, then
    // digits up to the first other character; 0 without digits. Values
    // beyond [minimum, maximum] stop at those ends instead of overflowing.
    static long ReadLong(std::u16string_view text, long minimum = kInt32Min, long maximum = kInt32Max);
    static long ReadLong(std::string_view text, long minimum = kInt32Min, long maximum = kInt32Max);

    // Whether `text` begins with `prefix`, A to Z matching a to z and
    // nothing else folded: commands and schemes are ASCII, and a look-alike
    // letter must not pass for one of theirs.
    static bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);
    static bool StartsWithNoCase(std::string_view text, std::string_view prefix);
    // The same for the end: file name extensions.
    static bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix);
    static bool EndsWithNoCase(std::string_view text, std::string_view suffix);
    // The same with both sides folded by FoldCase, so the current locale
    // decides what else matches.
    static bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix);

    // printf into a new string; empty when the format fails.
    static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // printf appended to `out`; false, with `out` untouched, when the
    // format fails.
    static bool AppendFormatV(std::string& out, const char* format, va_list args)
        __attribute__((format(printf, 2, 0)));

    static constexpr long kInt32Min = -2147483647L - 1;
    static constexpr long kInt32Max = 2147483647L;
};

// Owned text that keeps "none" apart from the empty string.
using OptText = std::optional<std::u16string>;

inline const char16_t* OptTextPtr(const OptText& text)
{
    return text ? text->c_str() : nullptr;
}

inline OptText OptTextFrom(const char16_t* text)
{
    return text ? OptText(text) : std::nullopt;
}
