#include "app/core/CPageHtml.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool StartsNoCase(const std::string& text, size_t at, std::string_view prefix)
{
    return at <= text.size() && CStringTool::StartsWithNoCase(std::string_view(text).substr(at), prefix);
}

size_t FindNoCase(const std::string& text, std::string_view lower, size_t from = 0)
{
    for (size_t at = from; at + lower.size() <= text.size(); ++at) {
        if (StartsNoCase(text, at, lower))
            return at;
    }
    return std::string::npos;
}

// A tag name ends here ("<img" but not "<imgx").
bool IsNameEnd(const std::string& html, size_t at)
{
    return at >= html.size() || IsSpace(html[at]) || html[at] == '>' || html[at] == '/';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The iconv name of a Windows code page.
std::string CharsetOf(int codePage)
{
    switch (codePage) {
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 12000: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    case 65000: return "UTF-7";
    case 65001: return "UTF-8";
    case 20127: return "US-ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    case 50220: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    default: break;
    }
    if (codePage >= 28591 && codePage <= 28599)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    // The other Windows and DOS code pages go by their number.
    return codePage > 0 ? "CP" + std::to_string(codePage) : std::string();
}

bool Convert(const std::string& bytes, const std::string& from, std::string* utf8)
{
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    utf8->clear();
    std::string input = bytes;
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[16384];
    bool ok = true;
    for (;;) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = inLeft ? iconv(cd, &in, &inLeft, &out, &outLeft) : iconv(cd, nullptr, nullptr, &out, &outLeft);
        utf8->append(buffer, size_t(out - buffer));
        if (result != size_t(-1)) {
            if (inLeft == 0 && out == buffer)
                break;
            continue;
        }
        if (errno != E2BIG) {
            ok = false;  // a byte that is not of this character set, or a cut sequence
            break;
        }
    }
    iconv_close(cd);
    // Files carry no byte-order mark in UTF-8.
    if (ok && utf8->compare(0, 3, "\xEF\xBB\xBF") == 0)
        utf8->erase(0, 3);
    return ok;
}

// One unit of an attribute value as the byte it stands for: "%41", "&amp;",
// "&#39;" or a plain byte. Returns the bytes it takes up.
size_t DecodeUnit(const std::string& raw, size_t at, unsigned char* byte)
{
    if (raw[at] == '%' && at + 2 < raw.size() && HexValue(raw[at + 1]) >= 0 && HexValue(raw[at + 2]) >= 0) {
        *byte = static_cast<unsigned char>(HexValue(raw[at + 1]) * 16 + HexValue(raw[at + 2]));
        return 3;
    }
    if (raw[at] == '&') {
        static const struct {
            std::string_view entity;
            char byte;
        } kEntities[] = {{"&amp;", '&'}, {"&#38;", '&'}, {"&#39;", '\''}, {"&apos;", '\''}, {"&#32;", ' '}};
        for (const auto& e : kEntities) {
            if (raw.compare(at, e.entity.size(), e.entity) == 0) {
                *byte = static_cast<unsigned char>(e.byte);
                return e.entity.size();
            }
        }
    }
    *byte = static_cast<unsigned char>(raw[at]);
    return 1;
}

std::string PercentEncode(const std::string& name)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::strchr("-._~!$()*+,;=@", c)) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    return encoded;
}

// The attribute text (with its quotes) for a src whose value `raw` points
// into `oldFolder`; false when it points elsewhere.
bool RewriteSource(const std::string& raw, char quote, const std::string& oldFolder, const std::string& newFolder,
                   std::string* attribute)
{
    size_t prefix = raw.compare(0, 2, "./") == 0 || raw.compare(0, 2, ".\\") == 0 ? 2 : 0;
    size_t at = prefix;
    for (char expected : oldFolder) {
        if (at >= raw.size())
            return false;
        unsigned char byte = 0;
        at += DecodeUnit(raw, at, &byte);
        // Letter case aside, as pages written on case-blind file systems name it.
        if (Lower(static_cast<char>(byte)) != Lower(expected))
            return false;
    }
    if (at >= raw.size() || (raw[at] != '/' && raw[at] != '\\'))
        return false;

    // Written the way the rest of the address is written.
    bool encoded = raw.find('%') != std::string::npos;
    std::string name = CHtmlEscape::Escape(encoded ? PercentEncode(newFolder) : newFolder,
                                           quote == '\'' ? CHtmlEscape::SrcSingle : CHtmlEscape::Src);
    std::string value = raw.substr(0, prefix) + name + raw.substr(at);
    if (!quote) {
        // An unquoted value ends at the first blank.
        for (char c : value) {
            if (IsSpace(c) || c == '\'' || c == '=' || c == '<' || c == '`') {
                quote = '"';
                break;
            }
        }
    }
    *attribute = quote ? quote + value + quote : value;
    return true;
}

// Past the end tag of a raw-text element (script, style) opened at `at`.
size_t SkipRawText(const std::string& html, size_t at, std::string_view endTag)
{
    size_t end = FindNoCase(html, endTag, at + 1);
    return end == std::string::npos ? html.size() : end + endTag.size();
}

}  // namespace

bool CPageHtml::ToUtf8(const std::string& bytes, int codePage, std::string* utf8)
{
    if (codePage == kUtf8) {
        *utf8 = bytes;
        return true;
    }
    std::string charset = CharsetOf(codePage);
    if (charset.empty() || !Convert(bytes, charset, utf8))
        return false;
    SetMetaCharsetUtf8(*utf8);
    return true;
}

bool CPageHtml::ToUtf8(const std::string& bytes, const std::string& charset, std::string* utf8)
{
    std::string name;
    for (char c : charset) {
        if (!IsSpace(c) && c != '"' && c != '\'')
            name += Lower(c);
    }
    // Browsers read these labels as windows-1252, and so do pages.
    for (const char* latin : {"iso-8859-1", "iso8859-1", "latin1", "l1", "us-ascii", "ascii", "windows-1252"}) {
        if (name == latin)
            name = "cp1252";
    }
    if (name == "utf-8" || name == "utf8") {
        *utf8 = bytes;
        return true;
    }
    if (name.empty() || !Convert(bytes, name, utf8))
        return false;
    SetMetaCharsetUtf8(*utf8);
    return true;
}

bool CPageHtml::FileToUtf8(const std::string& bytes, std::string* utf8)
{
    if (bytes.compare(0, 2, "\xFF\xFE") == 0)
        return ToUtf8(bytes, kUtf16, utf8);
    if (bytes.compare(0, 2, "\xFE\xFF") == 0)
        return ToUtf8(bytes, 1201, utf8);
    if (!CUnicodeTool::IsValidUtf8(bytes))
        return false;
    *utf8 = bytes;
    return true;
}

bool CPageHtml::SetMetaCharsetUtf8(std::string& html)
{
    size_t headEnd = FindNoCase(html, "</head");
    if (headEnd == std::string::npos)
        headEnd = html.size();
    for (size_t meta = FindNoCase(html, "<meta"); meta < headEnd; meta = FindNoCase(html, "<meta", meta + 5)) {
        size_t close = html.find('>', meta);
        if (close == std::string::npos)
            close = html.size();
        size_t at = FindNoCase(html, "charset", meta);
        if (at >= close)
            continue;
        at += 7;
        while (at < close && IsSpace(html[at]))
            ++at;
        if (at >= close || html[at] != '=')
            continue;
        ++at;
        while (at < close && IsSpace(html[at]))
            ++at;
        if (at < close && (html[at] == '"' || html[at] == '\''))
            ++at;
        size_t end = at;
        while (end < close && (std::isalnum(static_cast<unsigned char>(html[end])) || std::strchr("-_.:", html[end])))
            ++end;
        if (end == at)
            continue;
        html.replace(at, end - at, "utf-8");
        return true;
    }
    return false;
}

int CPageHtml::RewriteImageSources(std::string& html, const std::string& oldFolder, const std::string& newFolder)
{
    if (oldFolder.empty() || newFolder.empty() || oldFolder == newFolder)
        return 0;
    std::string out;
    size_t copied = 0;
    int changed = 0;
    const size_t size = html.size();
    for (size_t at = html.find('<'); at != std::string::npos && at < size; at = html.find('<', at)) {
        if (StartsNoCase(html, at, "<!--")) {
            size_t end = html.find("-->", at + 4);
            at = end == std::string::npos ? size : end + 3;
            continue;
        }
        if (StartsNoCase(html, at, "<script") && IsNameEnd(html, at + 7)) {
            at = SkipRawText(html, at, "</script");
            continue;
        }
        if (StartsNoCase(html, at, "<style") && IsNameEnd(html, at + 6)) {
            at = SkipRawText(html, at, "</style");
            continue;
        }
        if (!StartsNoCase(html, at, "<img") || !IsNameEnd(html, at + 4)) {
            ++at;
            continue;
        }
        size_t p = at + 4;
        while (p < size && html[p] != '>') {
            if (IsSpace(html[p]) || html[p] == '/') {
                ++p;
                continue;
            }
            size_t nameStart = p;
            while (p < size && !IsSpace(html[p]) && html[p] != '=' && html[p] != '>' && html[p] != '/')
                ++p;
            if (p == nameStart) {
                ++p;  // a stray "="
                continue;
            }
            std::string_view name(html.data() + nameStart, p - nameStart);
            while (p < size && IsSpace(html[p]))
                ++p;
            if (p >= size || html[p] != '=')
                continue;
            ++p;
            while (p < size && IsSpace(html[p]))
                ++p;
            char quote = 0;
            size_t valueStart = p, valueEnd = p;
            if (p < size && (html[p] == '"' || html[p] == '\'')) {
                quote = html[p];
                valueStart = p + 1;
                valueEnd = html.find(quote, valueStart);
                if (valueEnd == std::string::npos)
                    valueEnd = size;
                p = valueEnd < size ? valueEnd + 1 : size;
            } else {
                while (p < size && !IsSpace(html[p]) && html[p] != '>')
                    ++p;
                valueEnd = p;
            }
            if (name.size() != 3 || Lower(name[0]) != 's' || Lower(name[1]) != 'r' || Lower(name[2]) != 'c')
                continue;
            std::string attribute;
            if (!RewriteSource(html.substr(valueStart, valueEnd - valueStart), quote, oldFolder, newFolder, &attribute))
                continue;
            size_t from = quote ? valueStart - 1 : valueStart;
            size_t to = quote && valueEnd < size ? valueEnd + 1 : valueEnd;
            out.append(html, copied, from - copied);
            out += attribute;
            copied = to;
            ++changed;
        }
        at = p;
    }
    if (changed) {
        out.append(html, copied, std::string::npos);
        html.swap(out);
    }
    return changed;
}
