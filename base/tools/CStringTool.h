#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/ZandrelExport.h"

// Small helpers over NUL-terminated UTF-16 text.
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
