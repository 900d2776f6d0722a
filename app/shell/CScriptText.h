#pragma once

// Texts handed to the page view's scripts.

#include <cstdio>
#include <string>

#include "base/tools/CUnicodeTool.h"

// `text` as a double-quoted script string that nothing can leave or end
// early: quotes, backslashes, angle brackets and line breaks of any kind
// become \u escapes; the rest stays as UTF-8.
inline std::string ScriptString(std::u16string_view text)
{
    std::string out = "\"";
    size_t run = 0;  // start of the characters not yet copied
    char escape[8];
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0x20 && c != u'"' && c != u'\\' && c != u'<' && c != u'>' && c != u'\'' && c != 0x2028 &&
            c != 0x2029)
            continue;
        out += CUnicodeTool::ToUtf8(text.substr(run, i - run));
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        out += escape;
        run = i + 1;
    }
    out += CUnicodeTool::ToUtf8(text.substr(run));
    return out + "\"";
}
