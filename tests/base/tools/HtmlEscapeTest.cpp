#include <gtest/gtest.h>

#include <string>

#include "base/tools/CHtmlEscape.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::string Utf8(const std::u16string& text) { return CUnicodeTool::ToUtf8(std::u16string_view(text)); }

TEST(HtmlEscapeTest, EachKindEscapesItsOwnSet)
{
    const std::u16string all = u"&<>\"'\\%#x\u00e9";
    const struct {
        CHtmlEscape::Kind kind;
        const char* expected;
    } cases[] = {
        {CHtmlEscape::Text, "&amp;&lt;&gt;&quot;'\\%#x\xC3\xA9"},
        {CHtmlEscape::Pre, "&&lt;&gt;\"'\\%#x\xC3\xA9"},
        {CHtmlEscape::Value, "&amp;&lt;&gt;&#34;&#39;\\%#x\xC3\xA9"},
        {CHtmlEscape::Link, "&amp;&lt;&gt;&quot;'\\%25%23x\xC3\xA9"},
        {CHtmlEscape::Script, "&amp;&lt;&gt;&#34;\\'\\\\%25#x\xC3\xA9"},
        {CHtmlEscape::Src, "&amp;<>&quot;'\\%#x\xC3\xA9"},
        {CHtmlEscape::SrcSingle, "&amp;<>&quot;&#39;\\%#x\xC3\xA9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(Utf8(CHtmlEscape::Escape(all, c.kind)), c.expected);
        // The UTF-8 form escapes the same and keeps sequences whole.
        EXPECT_EQ(CHtmlEscape::Escape(Utf8(all), c.kind), c.expected);
        std::u16string out = u"kept:";
        CHtmlEscape::Append(out, all, c.kind);
        EXPECT_EQ(Utf8(out), std::string("kept:") + c.expected);
    }
    EXPECT_EQ(CHtmlEscape::Escape(std::u16string_view(), CHtmlEscape::Text), u"");
}

TEST(HtmlEscapeTest, ScriptStringCannotBeLeft)
{
    const struct {
        std::u16string text;
        const char* expected;
    } cases[] = {
        {u"/home/u/My Korvel/Work.zand", "\"/home/u/My Korvel/Work.zand\""},
        {u"a\"b'c\\d", "\"a\\u0022b\\u0027c\\u005cd\""},
        {u"</script><b>", "\"\\u003c/script\\u003e\\u003cb\\u003e\""},
        {u"x\ny\r\u2028z\u2029", "\"x\\u000ay\\u000d\\u2028z\\u2029\""},
        // Characters outside the basic plane keep both halves together.
        {u"\U0001F600\"\u00e9", "\"\xF0\x9F\x98\x80\\u0022\xC3\xA9\""},
        {u"", "\"\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CHtmlEscape::ScriptString(c.text), c.expected);
}

}  // namespace
