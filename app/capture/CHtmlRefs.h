#pragma once

// The references of an HTML page, found by an HTML parser (gumbo, which
// keeps where each attribute value lies in the text) rather than by
// patterns, so that comments, scripts and odd markup are read as a browser
// reads them. Rewrite the listed references with CRefRewrite: the page is
// never re-serialised.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/capture/CPageRef.h"

// One <a href> of a page with what a link between pages needs around it.
struct CPageAnchor {
    CPageRef href;           // kind Link
    std::string pageId;      // its data-zandrel-page value, "" when none
    std::string text;        // its text, blanks collapsed
    size_t attributesAt = 0; // right after "<a": where attributes may be added
    std::optional<CPageRef> classValue;  // the raw class and title values, when present
    std::optional<CPageRef> titleValue;
};

class CHtmlRefs {
public:
    CHtmlRefs() = delete;

    // Every reference of a page in UTF-8, ordered by position: the
    // attributes that name resources or links (each srcset candidate on
    // its own), <base href>, and the url() and @import of <style> elements
    // and style attributes. Empty references are left out. Any text is a
    // page to the parser, so this never fails.
    static std::vector<CPageRef> Find(std::string_view html);
    // Every <a> with a non-empty href, ordered by position.
    static std::vector<CPageAnchor> FindAnchors(std::string_view html);
};
