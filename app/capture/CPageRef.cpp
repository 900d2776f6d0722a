#include "app/capture/CPageRef.h"

#include <algorithm>
#include <cstdio>

#include "base/tools/CHtmlEscape.h"

namespace {

using Place = CPageRef::Place;

// An address for an attribute. Control characters are percent-encoded,
// as a URL parser would; in a srcset candidate so are blanks, which would
// split it, and a comma at either end, which would be read as a separator.
std::string AttributeUrl(std::string_view url, bool srcset)
{
    std::string out;
    for (size_t i = 0; i < url.size(); ++i) {
        const char c = url[i];
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (control || (srcset && (c == ' ' || (c == ',' && (i == 0 || i + 1 == url.size()))))) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// `url` inside a CSS string quoted with `quote`. Escapes are six hex digits
// long, so none needs the blank that would end an unquoted attribute; a
// blank right after one would be taken as its end, so it is escaped too.
// "<" is escaped so that no "</style" can end a <style> element.
std::string CssString(std::string_view url, char quote, bool escapeBlanks)
{
    std::string out(1, quote);
    bool afterEscape = false;
    for (char c : url) {
        const auto u = static_cast<unsigned char>(c);
        const bool escaped = u < 0x20 || u == 0x7F || c == '<' || (c == ' ' && (escapeBlanks || afterEscape));
        if (escaped) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\%06X", u);
            out += hex;
        } else if (c == '\\' || c == quote) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
        afterEscape = escaped;
    }
    out += quote;
    return out;
}

}  // namespace

std::string CRefRewrite::Written(const CPageRef& ref, std::string_view url)
{
    std::string text;
    if (ref.IsCss()) {
        // The CSS quote is the one the attribute around it does not use,
        // so the attribute escaping below has little to do.
        const char quote = ref.place == Place::DoubleQuoted ? '\'' : '"';
        text = CssString(url, quote, ref.place == Place::Unquoted);
        // An import takes a plain string, which "@import'x'" needs: a
        // url() there would make one name of "@importurl".
        if (ref.kind == CPageRef::Kind::CssUrl)
            text = "url(" + text + ")";
    } else {
        text = AttributeUrl(url, ref.kind == CPageRef::Kind::SrcSet);
    }
    switch (ref.place) {
    case Place::Text: return text;
    case Place::DoubleQuoted: return CHtmlEscape::Escape(text, CHtmlEscape::Src);
    case Place::SingleQuoted: return CHtmlEscape::Escape(text, CHtmlEscape::SrcSingle);
    case Place::Unquoted: break;
    }
    // A whole unquoted value gains quotes; a part of one (a srcset address,
    // a url() in a style) cannot, so nothing in it may end the value.
    if (ref.IsCss() || ref.kind == CPageRef::Kind::SrcSet)
        return CHtmlEscape::Escape(text, CHtmlEscape::Value);
    return "\"" + CHtmlEscape::Escape(text, CHtmlEscape::Src) + "\"";
}

bool CRefRewrite::Apply(std::string_view text, std::vector<CRefReplacement> replacements, std::string* out)
{
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const CRefReplacement& a, const CRefReplacement& b) { return a.ref.begin < b.ref.begin; });
    size_t at = 0;
    for (const CRefReplacement& r : replacements) {
        if (r.ref.begin < at || r.ref.begin > r.ref.end || r.ref.end > text.size())
            return false;
        at = r.ref.end;
    }
    std::string result;
    result.reserve(text.size());
    at = 0;
    for (const CRefReplacement& r : replacements) {
        result.append(text, at, r.ref.begin - at);
        result += Written(r.ref, r.url);
        at = r.ref.end;
    }
    result.append(text, at);
    *out = std::move(result);
    return true;
}
