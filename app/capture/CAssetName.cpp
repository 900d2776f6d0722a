#include "app/capture/CAssetName.h"

#include <glib.h>

#include <cstring>

namespace {

constexpr GUriFlags kFlags = GUriFlags(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_ENCODED);

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path of an address, or the address itself when it does not parse,
// either without query and fragment.
std::string PathOf(std::string_view url)
{
    std::string text(url.substr(0, url.find_first_of("?#")));
    if (text.find('\0') != std::string::npos)
        text.resize(text.find('\0'));
    if (GUri* uri = g_uri_parse(text.c_str(), kFlags, nullptr)) {
        text = g_uri_get_path(uri);
        g_uri_unref(uri);
    }
    return text;
}

std::string PercentDecoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ValidUtf8(std::string_view text)
{
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}

// Characters no asset name holds: separators, controls, what Windows file
// systems refuse (pages get copied there), and the direction overrides
// that make a name read as another.
bool IsRefused(gunichar c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c < 0x80 && std::strchr("/\\:*?\"<>|", int(c))) ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// `text` cut to at most `maxBytes` without splitting a UTF-8 sequence.
std::string CutBytes(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

// Where the extension of `name` begins (its last dot), or npos when it
// has none worth keeping.
size_t ExtensionAt(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() ||
        name.size() - dot > CAssetName::kMaxExtensionBytes)
        return std::string_view::npos;
    return dot;
}

struct TypeExtension {
    const char* type;
    const char* extension;
};

// The types pages are made of.
constexpr TypeExtension kExtensions[] = {
    {"image/png", ".png"}, {"image/jpeg", ".jpg"}, {"image/gif", ".gif"}, {"image/webp", ".webp"},
    {"image/avif", ".avif"}, {"image/svg+xml", ".svg"}, {"image/bmp", ".bmp"}, {"image/x-icon", ".ico"},
    {"image/vnd.microsoft.icon", ".ico"}, {"text/css", ".css"}, {"text/javascript", ".js"},
    {"application/javascript", ".js"}, {"application/x-javascript", ".js"}, {"text/html", ".htm"},
    {"font/woff", ".woff"}, {"font/woff2", ".woff2"}, {"font/ttf", ".ttf"}, {"font/otf", ".otf"},
    {"application/font-woff", ".woff"}, {"video/mp4", ".mp4"}, {"video/webm", ".webm"},
    {"audio/mpeg", ".mp3"}, {"audio/ogg", ".ogg"}, {"text/plain", ".txt"},
};

}  // namespace

std::string CAssetName::FromUrl(std::string_view url)
{
    const std::string path = PathOf(url);
    std::string decoded = PercentDecoded(path.substr(path.rfind('/') + 1));
    for (char& c : decoded)
        c = c == '\0' ? '_' : c;  // "%00" must not end the name early
    const std::string segment = ValidUtf8(decoded);
    std::string safe;
    for (const char* c = segment.c_str(); *c; c = g_utf8_next_char(c)) {
        if (IsRefused(g_utf8_get_char(c)))
            safe += '_';
        else
            safe.append(c, g_utf8_next_char(c) - c);
    }
    // No hidden file, no "." or "..", nothing Windows would cut.
    const size_t first = safe.find_first_not_of(". ");
    safe = first == std::string::npos ? std::string() : safe.substr(first);
    const size_t last = safe.find_last_not_of(". ");
    safe.resize(last == std::string::npos ? 0 : last + 1);
    safe = Cut(safe, kMaxBytes);
    return safe.empty() ? std::string(kFallback) : safe;
}

std::string CAssetName::WithExtension(std::string_view name, std::string_view contentType)
{
    if (ExtensionAt(name) != std::string_view::npos)
        return std::string(name);
    std::string type(contentType.substr(0, contentType.find(';')));
    const size_t first = type.find_first_not_of(" \t");
    type = first == std::string::npos ? std::string() : type.substr(first, type.find_last_not_of(" \t") + 1 - first);
    for (char& c : type)
        c = c >= 'A' && c <= 'Z' ? char(c | 0x20) : c;
    for (const TypeExtension& known : kExtensions) {
        if (type == known.type)
            return Cut(std::string(name) + known.extension, kMaxBytes);
    }
    return std::string(name);
}

std::string CAssetName::Cut(std::string_view name, size_t maxBytes)
{
    if (name.size() <= maxBytes)
        return std::string(name);
    const size_t dot = ExtensionAt(name);
    if (dot != std::string_view::npos && name.size() - dot < maxBytes) {
        std::string stem = CutBytes(name.substr(0, dot), maxBytes - (name.size() - dot));
        if (!stem.empty())
            return stem + std::string(name.substr(dot));
    }
    return CutBytes(name, maxBytes);
}

void CAssetNameSet::Add(std::string_view name)
{
    m_used.insert(Key(name));
}

bool CAssetNameSet::Contains(std::string_view name) const
{
    return m_used.count(Key(name)) != 0;
}

std::string CAssetNameSet::Claim(std::string_view name)
{
    std::string candidate(name);
    const size_t dot = ExtensionAt(name);
    const std::string_view stem = name.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    for (unsigned number = 2; Contains(candidate); ++number) {
        // Appended piece by piece: "-" + to_string() trips GCC 12's -Wrestrict.
        std::string suffix(1, '-');
        suffix += std::to_string(number);
        suffix += extension;
        const size_t room = CAssetName::kMaxBytes > suffix.size() ? CAssetName::kMaxBytes - suffix.size() : 0;
        candidate = CutBytes(stem, room) + suffix;
    }
    m_used.insert(Key(candidate));
    return candidate;
}

std::string CAssetNameSet::Key(std::string_view name)
{
    const std::string valid = ValidUtf8(name);
    gchar* folded = g_utf8_casefold(valid.c_str(), -1);
    std::string key(folded);
    g_free(folded);
    return key;
}
