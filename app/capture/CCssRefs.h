#pragma once

// The references of CSS text: every url() and @import. A small tokenizer
// of its own, because a stylesheet must be read as CSS reads it: a url()
// inside a comment or a string is no reference, and escapes mean their
// characters. Rewrite the listed references with CRefRewrite.

#include <string_view>
#include <vector>

#include "app/capture/CPageRef.h"

class CCssRefs {
public:
    CCssRefs() = delete;

    // The references of a stylesheet, in the order they come.
    static std::vector<CPageRef> Find(std::string_view css);

    // Appends the references of `css`, which lies at `offset` of a larger
    // text in `place` (a <style> element's text, a style attribute); their
    // ranges are of that larger text.
    static void Find(std::string_view css, size_t offset, CPageRef::Place place, std::vector<CPageRef>* refs);
};
