#pragma once

// What the editor operations turn the desktop's data into before the page
// view gets it, without the toolkit: clipboard bytes as text, the "HTML
// Format" payload the core reads a paste's source from, and the markup of
// a new table and of a dropped link.

#include <string>
#include <string_view>

class CEditorMarkup {
public:
    CEditorMarkup() = delete;

    // Clipboard targets of copied HTML and of the page it came from.
    static constexpr char kHtmlTarget[] = "text/html";
    static constexpr char kMozSourceTarget[] = "text/x-moz-url-priv";
    static constexpr char kChromiumSourceTarget[] = "chromium/x-source-url";

    // Clipboard bytes as text: UTF-16 when they start with a byte-order
    // mark or look like little-endian UTF-16 (a zero high byte in the first
    // character), else UTF-8 with an optional byte-order mark. Trailing
    // NULs are dropped.
    static std::u16string DecodeClipboardText(std::string_view bytes);
    // The address in a source target: its first line, trimmed. Empty when
    // there is none.
    static std::u16string GetSourceAddress(std::string_view bytes);
    // The "HTML Format" payload for copied `html` from `sourceUrl` ("" when
    // unknown): the header with its offsets, then the HTML between
    // fragment markers, all UTF-8. Line breaks in the address cannot start
    // a header line of their own.
    static std::string BuildHtmlFormat(std::u16string_view html, std::u16string_view sourceUrl);

    // A table of `rows` by `columns` empty cells.
    static std::u16string BuildTableHtml(int rows, int columns);
    // A link to `url` showing `title` (the address when the title is
    // blank); both escaped.
    static std::u16string BuildLinkHtml(std::u16string_view url, std::u16string_view title);

    // The view's style while table borders are shown: an outline that
    // takes no room, so the page's layout does not move.
    static constexpr char kTableBorderStyle[] =
        "table, td, th { outline: 1px dashed #a0a0a0 !important; outline-offset: -1px; }";
};
