// What the editor operations make of the desktop's data: clipboard bytes,
// the "HTML Format" payload the core reads a paste's source from, and the
// markup of tables and dropped links.

#include <gtest/gtest.h>

#include <string>

#include "app/core/CEditorText.h"
#include "app/core/CEditorMarkup.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

// The number after `key` in the payload's header.
size_t HeaderValue(const std::string& payload, const std::string& key)
{
    size_t at = payload.find(key + ":");
    EXPECT_NE(at, std::string::npos) << key;
    return at == std::string::npos ? 0 : std::stoul(payload.substr(at + key.size() + 1, 10));
}

TEST(EditorMarkup, ClipboardBytesInEveryEncodingBrowsersUse)
{
    // Firefox's source address: UTF-16 without a byte-order mark.
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText(Bytes({'h', 0, 't', 0, 't', 0, 'p', 0}))), "http");
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText(Bytes({0xFF, 0xFE, 0xFC, 0, '!', 0}))), "\xC3\xBC!");
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText(Bytes({0xFE, 0xFF, 0, 0xFC, 0, '!'}))), "\xC3\xBC!");
    // A character beyond the basic plane keeps its two halves.
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText(Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}))),
              "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText("\xEF\xBB\xBF<b>\xC3\xBC</b>")), "<b>\xC3\xBC</b>");
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText(std::string("ab\0\0", 4))), "ab");
    // UTF-8 text of even length is not mistaken for UTF-16.
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText("<p>x</p>")), "<p>x</p>");
    EXPECT_EQ(Utf8(CEditorMarkup::DecodeClipboardText("")), "");

    // An address with its title on the next line, as link targets carry it.
    std::u16string withTitle = u"https://example.com/a b\nThe title";
    std::string utf16(reinterpret_cast<const char*>(withTitle.data()), withTitle.size() * 2);
    EXPECT_EQ(Utf8(CEditorMarkup::GetSourceAddress(utf16)), "https://example.com/a b");
    EXPECT_EQ(Utf8(CEditorMarkup::GetSourceAddress("  https://example.com/x \r\n")), "https://example.com/x");
    EXPECT_EQ(Utf8(CEditorMarkup::GetSourceAddress("\nhttps://example.com/x")), "");
}

TEST(EditorMarkup, HtmlFormatOffsetsCountBytesAndTheCoreFindsTheSource)
{
    // Non-ASCII content: offsets are bytes, not characters.
    std::u16string html = u"<p>gr\u00fc\u00df <b>\U0001F600</b></p>";
    std::string payload = CEditorMarkup::BuildHtmlFormat(html, u"https://example.com/w?q=1");
    EXPECT_EQ(payload.compare(HeaderValue(payload, "StartHTML"), 6, "<html>"), 0);
    EXPECT_EQ(HeaderValue(payload, "EndHTML"), payload.size());
    size_t start = HeaderValue(payload, "StartFragment");
    size_t end = HeaderValue(payload, "EndFragment");
    ASSERT_LE(start, end);
    EXPECT_EQ(payload.substr(start, end - start), Utf8(html));
    EXPECT_EQ(payload.compare(end, 18, "<!--EndFragment-->"), 0);

    std::optional<std::u16string> url = CEditorText::GetSourceUrl(payload);
    ASSERT_TRUE(url);
    EXPECT_EQ(Utf8(*url), "https://example.com/w?q=1");
    EXPECT_TRUE(CEditorText::GetSourceNote(payload));
}

TEST(EditorMarkup, HtmlFormatWithoutAUsableSourceGivesNoNote)
{
    EXPECT_FALSE(CEditorText::GetSourceUrl(CEditorMarkup::BuildHtmlFormat(u"<b>x</b>", u"")));
    EXPECT_FALSE(CEditorText::GetSourceUrl(CEditorMarkup::BuildHtmlFormat(u"<b>x</b>", u"file:///home/u/a.htm")));
    EXPECT_FALSE(CEditorText::GetSourceUrl(CEditorMarkup::BuildHtmlFormat(u"", u"about:blank")));
    // An empty fragment still makes a payload the core accepts.
    EXPECT_TRUE(CEditorText::GetSourceUrl(CEditorMarkup::BuildHtmlFormat(u"", u"https://example.com/")));
    // A line break in the address cannot add a header line of its own.
    std::string payload =
        CEditorMarkup::BuildHtmlFormat(u"<b>x</b>", u"javascript:alert(1)\r\nSourceURL:https://example.com/");
    EXPECT_EQ(payload.find("SourceURL:https"), std::string::npos);
    EXPECT_FALSE(CEditorText::GetSourceUrl(payload));
}

TEST(EditorMarkup, TablesAndDroppedLinks)
{
    EXPECT_EQ(Utf8(CEditorMarkup::BuildTableHtml(2, 1)),
              "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\"><tbody><tr><td>&nbsp;</td></tr>"
              "<tr><td>&nbsp;</td></tr></tbody></table>");
    EXPECT_EQ(Utf8(CEditorMarkup::BuildLinkHtml(u"https://e.com/?a=1&b=\"2\"", u"<Home> & away")),
              "<a href=\"https://e.com/?a=1&amp;b=&quot;2&quot;\">&lt;Home&gt; &amp; away</a>");
    EXPECT_EQ(Utf8(CEditorMarkup::BuildLinkHtml(u"file:///home/u/notes.txt", u"  ")),
              "<a href=\"file:///home/u/notes.txt\">file:///home/u/notes.txt</a>");
}

}  // namespace
