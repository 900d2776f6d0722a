#include "base/tools/CHtmlEscape.h"

#include <cstdio>

#include "base/tools/CUnicodeTool.h"

namespace {

// What `c` becomes in a text of that kind, or null when it stays.
const char* EscapeOf(char32_t c, CHtmlEscape::Kind kind)
{
    using K = CHtmlEscape;
    const bool src = kind == K::Src || kind == K::SrcSingle;
    switch (c) {
    case U'&': return kind == K::Pre ? nullptr : "&amp;";
    case U'<': return src ? nullptr : "&lt;";
    case U'>': return src ? nullptr : "&gt;";
    case U'"':
        return kind == K::Pre ? nullptr : kind == K::Value || kind == K::Script ? "&#34;" : "&quot;";
    case U'\'':
        return kind == K::Script ? "\\'" : kind == K::Value || kind == K::SrcSingle ? "&#39;" : nullptr;
    case U'\\': return kind == K::Script ? "\\\\" : nullptr;
    case U'%': return kind == K::Script || kind == K::Link ? "%25" : nullptr;
    case U'#': return kind == K::Link ? "%23" : nullptr;
    default: return nullptr;
    }
}

template <typename Char>
void AppendEscaped(std::basic_string<Char>& out, std::basic_string_view<Char> text, CHtmlEscape::Kind kind)
{
    for (Char c : text) {
        // Bytes of UTF-8 sequences are never ASCII, so none is taken for one.
        const char* escaped = static_cast<char32_t>(c) < 0x80 ? EscapeOf(static_cast<char32_t>(c), kind) : nullptr;
        if (!escaped) {
            out += c;
            continue;
        }
        for (; *escaped; ++escaped)
            out += static_cast<Char>(*escaped);
    }
}

}  // namespace

std::u16string CHtmlEscape::Escape(std::u16string_view text, Kind kind)
{
    std::u16string out;
    out.reserve(text.size());
    AppendEscaped(out, text, kind);
    return out;
}

void CHtmlEscape::Append(std::u16string& out, std::u16string_view text, Kind kind)
{
    AppendEscaped(out, text, kind);
}

std::string CHtmlEscape::Escape(std::string_view text, Kind kind)
{
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text, kind);
    return out;
}

std::string CHtmlEscape::ScriptString(std::u16string_view text)
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
