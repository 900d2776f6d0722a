#pragma once

// UTF-16 inside, UTF-8 for GTK: the two conversions every shell file needs.

#include <string>
#include <string_view>

#include "base/tools/CUnicodeTool.h"

inline std::string U8(std::u16string_view text)
{
    return CUnicodeTool::ToUtf8(text);
}

// Windows line ends in the core's texts would show as boxes in GTK labels.
inline std::string U8Text(std::u16string_view text)
{
    std::string out = CUnicodeTool::ToUtf8(text);
    std::string clean;
    clean.reserve(out.size());
    for (char c : out)
        if (c != '\r')
            clean += c;
    return clean;
}

inline std::u16string U16(const char* text)
{
    return text ? CUnicodeTool::FromUtf8(text) : std::u16string();
}
