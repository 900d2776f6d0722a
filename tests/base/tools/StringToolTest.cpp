#include <gtest/gtest.h>

#include <clocale>
#include <cstdarg>
#include <string>

#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

TEST(StringToolTest, StartsWithNoCaseFoldsAsciiLettersOnly)
{
    const struct {
        std::u16string text;
        std::u16string prefix;
        bool expected;
    } cases[] = {
        {u"KRV:createPage", u"krv:", true},
        {u"krv:", u"KRV:", true},
        {u"krv", u"krv:", false},        // shorter than the prefix
        {u"", u"", true},
        {u"http", u"", true},
        {u"\u212Arv:", u"krv:", false},  // Kelvin sign is no k
        {u"\u00C9t\u00E9", u"\u00E9t", false},  // nor is anything past ASCII folded
        {u"[x", u"{x", false},           // neighbours of the letters stay apart
        {u"@b", u"`b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CStringTool::StartsWithNoCase(c.text, c.prefix), c.expected) << CUnicodeTool::ToUtf8(c.text);
        std::string text = CUnicodeTool::ToUtf8(c.text), prefix = CUnicodeTool::ToUtf8(c.prefix);
        EXPECT_EQ(CStringTool::StartsWithNoCase(text, prefix), c.expected) << text;
    }
    EXPECT_TRUE(CStringTool::StartsWithNoCase(std::string_view("a\0b", 3), std::string_view("A\0", 2)));
    // The end, as file name extensions are tested.
    EXPECT_TRUE(CStringTool::EndsWithNoCase(u"Page.HTM", u".htm"));
    EXPECT_TRUE(CStringTool::EndsWithNoCase(std::string_view(".a.htm"), ".htm"));
    EXPECT_FALSE(CStringTool::EndsWithNoCase(u"htm", u".htm"));
    EXPECT_FALSE(CStringTool::EndsWithNoCase(u"a.\u212Arv", u".krv"));
}

TEST(StringToolTest, StartsWithFoldedFollowsTheLocale)
{
    EXPECT_TRUE(CStringTool::StartsWithFolded(u"TagIt", u"tagit"));
    EXPECT_FALSE(CStringTool::StartsWithFolded(u"tag", u"tagit"));
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_TRUE(CStringTool::StartsWithFolded(u"\u00C9t\u00E9", u"\u00E9t"));
    std::setlocale(LC_CTYPE, "C");
}

bool Append(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool ok = CStringTool::AppendFormatV(out, format, args);
    va_end(args);
    return ok;
}

TEST(StringToolTest, FormatGrowsPastItsBufferAndAppends)
{
    EXPECT_EQ(CStringTool::Format("%d%%  converted   %d in %d files.", 50, 1, 2), "50%  converted   1 in 2 files.");
    EXPECT_EQ(CStringTool::Format("%s", ""), "");
    // Around the size formatted on the stack, after text already there.
    for (size_t length : {254u, 255u, 256u, 257u, 5000u}) {
        std::string text(length, 'x'), out = "head ";
        EXPECT_EQ(CStringTool::Format("<%s>", text.c_str()), "<" + text + ">");
        ASSERT_TRUE(Append(out, "%s!", text.c_str()));
        EXPECT_EQ(out, "head " + text + "!");
    }
}

}  // namespace
