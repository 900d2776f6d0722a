#include "app/capture/CCaptureUrl.h"

#include <glib.h>

namespace {

// Relaxed: pages hold addresses with blanks and stray characters, which
// browsers take. Encoded: percent escapes stay as they were written.
constexpr GUriFlags kFlags = GUriFlags(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_ENCODED);

}  // namespace

std::string CCaptureUrl::Resolve(std::string_view base, std::string_view ref)
{
    const std::string baseText(base), refText(ref);
    if (baseText.find('\0') != std::string::npos || refText.find('\0') != std::string::npos)
        return {};
    char* resolved = g_uri_resolve_relative(baseText.c_str(), refText.c_str(), kFlags, nullptr);
    if (!resolved)
        return {};
    std::string out(resolved);
    g_free(resolved);
    return out;
}

std::string CCaptureUrl::DocumentBase(std::string_view pageUrl, const std::vector<CPageRef>& refs)
{
    for (const CPageRef& ref : refs) {
        if (ref.kind != CPageRef::Kind::Base)
            continue;
        // Only the first <base href> counts; one that would make every
        // address a script or data is ignored, as browsers do.
        const std::string base = Resolve(pageUrl, ref.url);
        const std::string scheme = Scheme(base);
        if (!base.empty() && scheme != "data" && scheme != "javascript")
            return base;
        break;
    }
    return std::string(pageUrl);
}

bool CCaptureUrl::MayFetch(std::string_view url)
{
    const std::string scheme = Scheme(url);
    if (scheme != "http" && scheme != "https")
        return false;
    // And only with a host to ask.
    const std::string text(url);
    GUri* uri = g_uri_parse(text.c_str(), kFlags, nullptr);
    if (!uri)
        return false;
    const char* host = g_uri_get_host(uri);
    const bool hasHost = host && *host;
    g_uri_unref(uri);
    return hasHost;
}

std::string CCaptureUrl::Scheme(std::string_view url)
{
    const std::string text(url);
    const char* scheme = g_uri_peek_scheme(text.c_str());
    return scheme ? scheme : std::string();
}
