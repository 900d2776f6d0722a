#include "base/tools/CUnicodeTool.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/tools/CStringTool.h"
#include "base/tools/CSysString.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-16 to UTF-8. Writes to `out` when it is not null and returns the
// number of bytes either way, so callers size the buffer with a first pass.
size_t EncodeUtf8(const char16_t* text, size_t count, char* out)
{
    size_t n = 0;
    auto put = [&](unsigned char byte) {
        if (out)
            out[n] = static_cast<char>(byte);
        n++;
    };
    for (size_t i = 0; i < count; i++) {
        char32_t c = text[i];
        if (c < 0x80) {
            put(static_cast<unsigned char>(c));
            continue;
        }
        if (IsHighSurrogate(text[i]) && i + 1 < count && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        if (c < 0x800) {
            put(static_cast<unsigned char>(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            put(static_cast<unsigned char>(0xE0 | (c >> 12)));
            put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
        } else {
            put(static_cast<unsigned char>(0xF0 | (c >> 18)));
            put(static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
            put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
        }
        put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
    }
    return n;
}

// UTF-8 to UTF-16, counting like EncodeUtf8. A byte that cannot start a
// sequence, or a sequence cut short by a byte outside the range allowed at
// that position, yields one U+FFFD for the part read so far; the offending
// byte is then read afresh. The ranges of the second byte exclude overlong
// forms, surrogates and values above U+10FFFF.
size_t DecodeUtf8(const unsigned char* bytes, size_t count, char16_t* out)
{
    size_t n = 0;
    auto put = [&](char32_t c) {
        if (c >= 0x10000) {
            if (out) {
                out[n] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                out[n + 1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            n += 2;
        } else {
            if (out)
                out[n] = static_cast<char16_t>(c);
            n++;
        }
    };
    size_t i = 0;
    while (i < count) {
        unsigned char lead = bytes[i];
        if (lead < 0x80) {
            put(lead);
            i++;
            continue;
        }
        int trail;
        unsigned char low = 0x80, high = 0xBF;
        char32_t c;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            c = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            c = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            put(kReplacement);
            i++;
            continue;
        }
        size_t j = i + 1;
        bool complete = true;
        for (int k = 0; k < trail; k++, j++) {
            if (j >= count || bytes[j] < low || bytes[j] > high) {
                complete = false;
                break;
            }
            c = (c << 6) | (bytes[j] & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        put(complete ? c : kReplacement);
        i = j;
    }
    return n;
}

// A malloc'ed UTF-8 copy with a NUL after it.
bool NewUtf8Buffer(const char16_t* text, size_t count, char** bytes, int* length)
{
    if (!bytes)
        return false;
    *bytes = nullptr;
    size_t size = EncodeUtf8(text, count, nullptr);
    if (size > static_cast<size_t>(INT_MAX))
        return false;
    char* buffer = static_cast<char*>(std::malloc(size + 1));
    if (!buffer)
        return false;
    EncodeUtf8(text, count, buffer);
    buffer[size] = '\0';
    *bytes = buffer;
    if (length)
        *length = static_cast<int>(size);
    return true;
}

bool IsUtf8Codeset(const char* codeset)
{
    return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0;
}

// Bytes of the UTF-8 sequence led by `lead`; the input here is our own
// well-formed output.
size_t SequenceLength(unsigned char lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return 4;
}

// UTF-8 to `codeset`; what the code page lacks becomes '?'. False when the
// converter cannot be opened.
bool ConvertToCodeset(std::string utf8, const char* codeset, std::string& out)
{
    iconv_t cd = iconv_open(codeset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.assign(utf8.size() + 16, '\0');
    size_t used = 0;
    // Converts all of src (or flushes the shift state for null src),
    // growing `out` as needed; returns 0 or the errno that stopped it.
    auto run = [&](char** src, size_t* srcLeft) -> int {
        for (;;) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t result = iconv(cd, src, srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (result != static_cast<size_t>(-1))
                return 0;
            if (errno != E2BIG)
                return errno;
            out.resize(out.size() * 2);
        }
    };
    char* in = utf8.data();
    size_t inLeft = utf8.size();
    while (inLeft > 0) {
        if (run(&in, &inLeft) == 0)
            break;
        size_t skip = SequenceLength(static_cast<unsigned char>(*in));
        if (skip > inLeft)
            skip = inLeft;
        in += skip;
        inLeft -= skip;
        // Through the converter, so stateful code pages stay consistent.
        char question[] = "?";
        char* q = question;
        size_t qLeft = 1;
        if (run(&q, &qLeft) != 0) {
            out.resize(used);
            out += '?';
            used = out.size();
        }
    }
    run(nullptr, nullptr);
    iconv_close(cd);
    out.resize(used);
    return true;
}

}  // namespace

bool CUnicodeTool::TCHARGetUTF8(const char16_t* text, char** bytes, int* length)
{
    return NewUtf8Buffer(text ? text : u"", CStringTool::Length(text), bytes, length);
}

bool CUnicodeTool::BSTRGetUTF8(const char16_t* sysString, char** bytes, int* length)
{
    return NewUtf8Buffer(sysString ? sysString : u"", CSysString::Len(sysString), bytes, length);
}

bool CUnicodeTool::TCHARGetASCII(const char16_t* text, char** bytes, int* length)
{
    if (!bytes)
        return false;
    *bytes = nullptr;
    try {
        std::string utf8 = ToUtf8(text);
        std::string converted;
        const char* codeset = nl_langinfo(CODESET);
        if (IsUtf8Codeset(codeset)) {
            converted = std::move(utf8);
        } else if (!ConvertToCodeset(utf8, codeset, converted)) {
            // No converter for the locale: plain ASCII.
            converted.clear();
            for (size_t i = 0; i < utf8.size(); i += SequenceLength(static_cast<unsigned char>(utf8[i])))
                converted += static_cast<unsigned char>(utf8[i]) < 0x80 ? utf8[i] : '?';
        }
        if (converted.size() > static_cast<size_t>(INT_MAX))
            return false;
        char* buffer = static_cast<char*>(std::malloc(converted.size() + 1));
        if (!buffer)
            return false;
        std::memcpy(buffer, converted.data(), converted.size());
        buffer[converted.size()] = '\0';
        *bytes = buffer;
        if (length)
            *length = static_cast<int>(converted.size());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CUnicodeTool::UTF8GetBSTR(char16_t** text, const char* bytes, int length)
{
    if (!text)
        return false;
    *text = nullptr;
    if (!bytes)
        return false;
    size_t count = length > 0 ? static_cast<size_t>(length) : std::strlen(bytes);
    if (count == 0)
        return false;
    auto* input = reinterpret_cast<const unsigned char*>(bytes);
    size_t units = DecodeUtf8(input, count, nullptr);
    if (units > UINT32_MAX)
        return false;
    char16_t* result = CSysString::AllocLen(nullptr, static_cast<uint32_t>(units));
    if (!result)
        return false;
    DecodeUtf8(input, count, result);
    *text = result;
    return true;
}

void CUnicodeTool::DeleteBuffer(char* bytes)
{
    std::free(bytes);
}

std::string CUnicodeTool::ToUtf8(const char16_t* text)
{
    return ToUtf8(std::u16string_view(text ? text : u""));
}

std::string CUnicodeTool::ToUtf8(std::u16string_view text)
{
    try {
        std::string out(EncodeUtf8(text.data(), text.size(), nullptr), '\0');
        EncodeUtf8(text.data(), text.size(), out.data());
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void CUnicodeTool::AppendUtf8(std::u16string_view text, std::string& out)
{
    size_t ascii = 0;
    while (ascii < text.size() && text[ascii] < 0x80)
        ++ascii;
    if (ascii == text.size()) {  // the common case: one byte per unit
        out.append(text.begin(), text.end());
        return;
    }
    size_t start = out.size();
    out.resize(start + EncodeUtf8(text.data(), text.size(), nullptr));
    EncodeUtf8(text.data(), text.size(), out.data() + start);
}

void CUnicodeTool::AppendUtf16(std::string_view bytes, std::u16string& out)
{
    // One pass: no byte gives more than one UTF-16 unit, so room for as
    // many units as bytes is enough. The ASCII part, most of what files
    // hold, is widened in place (appending the bytes as a range would
    // build a temporary string first).
    auto* input = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t ascii = 0;
    while (ascii < bytes.size() && input[ascii] < 0x80)
        ++ascii;
    size_t start = out.size();
    out.resize(start + bytes.size());
    char16_t* to = out.data() + start;
    for (size_t i = 0; i < ascii; ++i)
        to[i] = input[i];
    if (ascii < bytes.size())
        out.resize(start + ascii + DecodeUtf8(input + ascii, bytes.size() - ascii, to + ascii));
}

std::u16string CUnicodeTool::FromUtf8(std::string_view bytes)
{
    try {
        auto* input = reinterpret_cast<const unsigned char*>(bytes.data());
        std::u16string out(DecodeUtf8(input, bytes.size(), nullptr), u'\0');
        DecodeUtf8(input, bytes.size(), out.data());
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool CUnicodeTool::IsValidUtf8(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (length == 0 || length > n - i)
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
        }
        // The lead byte narrows the second byte's range.
        if ((c == 0xE0 && s[i + 1] < 0xA0) || (c == 0xED && s[i + 1] > 0x9F) || (c == 0xF0 && s[i + 1] < 0x90) ||
            (c == 0xF4 && s[i + 1] > 0x8F))
            return false;
        i += length;
    }
    return true;
}
