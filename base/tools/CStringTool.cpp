#include "base/tools/CStringTool.h"

#include <cstdio>
#include <cwctype>
#include <limits>

size_t CStringTool::Length(const char16_t* text)
{
    if (!text)
        return 0;
    const char16_t* p = text;
    while (*p)
        ++p;
    return static_cast<size_t>(p - text);
}

char16_t CStringTool::FoldCase(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + (u'a' - u'A'));
    if (c < 0x80 || (c >= 0xD800 && c <= 0xDFFF))
        return c;
    auto lower = std::towlower(static_cast<wint_t>(c));
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

namespace {

template <typename Fold>
int CompareWith(const char16_t* a, const char16_t* b, Fold fold)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    for (;; ++a, ++b) {
        int ca = fold(*a);
        int cb = fold(*b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

}  // namespace

int CStringTool::Compare(const char16_t* a, const char16_t* b)
{
    return CompareWith(a, b, [](char16_t c) { return c; });
}

int CStringTool::CompareNoCase(const char16_t* a, const char16_t* b)
{
    return CompareWith(a, b, FoldCase);
}

std::u16string CStringTool::ToLower(const char16_t* text)
{
    std::u16string out;
    if (!text)
        return out;
    out.reserve(Length(text));
    for (; *text; ++text)
        out.push_back(FoldCase(*text));
    return out;
}

std::u16string CStringTool::TrimBlanks(std::u16string_view text)
{
    size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos)
        return std::u16string();
    size_t last = text.find_last_not_of(u" \t");
    return std::u16string(text.substr(first, last - first + 1));
}

namespace {

template <typename Char>
long ReadDecimal(std::basic_string_view<Char> text, long minimum, long maximum)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    // Saturates instead of overflowing; every bound lies below.
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = value > (kMax - 9) / 10 ? kMax : value * 10 + (text[at] - '0');
    if (negative)
        value = -value;
    return value < minimum ? minimum : value > maximum ? maximum : static_cast<long>(value);
}

}  // namespace

long CStringTool::ReadLong(std::u16string_view text, long minimum, long maximum)
{
    return ReadDecimal(text, minimum, maximum);
}

long CStringTool::ReadLong(std::string_view text, long minimum, long maximum)
{
    return ReadDecimal(text, minimum, maximum);
}

namespace {

template <typename Char>
Char FoldAscii(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c + (Char('a') - Char('A'))) : c;
}

template <typename Char, typename Fold>
bool StartsWith(std::basic_string_view<Char> text, std::basic_string_view<Char> prefix, Fold fold)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (fold(text[i]) != fold(prefix[i]))
            return false;
    }
    return true;
}

}  // namespace

bool CStringTool::StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    return StartsWith(text, prefix, FoldAscii<char16_t>);
}

bool CStringTool::StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return StartsWith(text, prefix, FoldAscii<char>);
}

bool CStringTool::EndsWithNoCase(std::u16string_view text, std::u16string_view suffix)
{
    return text.size() >= suffix.size() && StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool CStringTool::EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool CStringTool::StartsWithFolded(std::u16string_view text, std::u16string_view prefix)
{
    return StartsWith(text, prefix, FoldCase);
}

std::string CStringTool::Format(const char* format, ...)
{
    std::string text;
    va_list args;
    va_start(args, format);
    AppendFormatV(text, format, args);
    va_end(args);
    return text;
}

bool CStringTool::AppendFormatV(std::string& out, const char* format, va_list args)
{
    // Most texts fit the stack buffer, so they are formatted only once.
    char small[256];
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(small, sizeof small, format, args);
    if (length >= 0 && static_cast<size_t>(length) < sizeof small) {
        out.append(small, static_cast<size_t>(length));
    } else if (length > 0) {
        size_t at = out.size();
        out.resize(at + static_cast<size_t>(length) + 1);
        std::vsnprintf(out.data() + at, static_cast<size_t>(length) + 1, format, again);
        out.resize(at + static_cast<size_t>(length));
    }
    va_end(again);
    return length >= 0;
}
