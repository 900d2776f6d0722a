#pragma once

// Addresses of references: made absolute the way a browser makes them,
// and the one rule of what may be fetched. GLib's URI parser (RFC 3986)
// does the resolving.

#include <string>
#include <string_view>
#include <vector>

#include "app/capture/CPageRef.h"

class CCaptureUrl {
public:
    CCaptureUrl() = delete;

    // `ref` made absolute against the absolute address `base`
    // ("//host/x" takes the base's scheme). Empty when either cannot be
    // parsed. An absolute `ref` comes back as it is, whatever its scheme.
    static std::string Resolve(std::string_view base, std::string_view ref);

    // What a page's references resolve against: its first <base href>
    // (itself resolved against the page's address) unless that is no
    // usable base, else the page's address.
    static std::string DocumentBase(std::string_view pageUrl, const std::vector<CPageRef>& refs);

    // Only http and https addresses are fetched: file:, data:, javascript:,
    // krv: and the rest would read local files, run code or do nothing.
    static bool MayFetch(std::string_view url);

    // The lower-case scheme of an absolute address, or empty.
    static std::string Scheme(std::string_view url);
};
