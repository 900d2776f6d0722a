// Character sets of page documents and files.

#include <gtest/gtest.h>

#include "app/core/CPageHtml.h"

namespace {

TEST(PageHtmlTest, CharacterSets)
{
    std::string out;
    // A UTF-16 file, marked, with its declaration.
    std::string utf16 = "\xFF\xFE";
    for (unsigned char c : std::string("<meta charset=\"unicode\">"))
        utf16 += {char(c), '\0'};
    utf16 += std::string("\xE9\0", 2);
    ASSERT_TRUE(CPageHtml::FileToUtf8(utf16, &out));
    EXPECT_EQ(out, "<meta charset=\"utf-8\">\xC3\xA9");

    EXPECT_TRUE(CPageHtml::FileToUtf8("plain \xC3\xA9", &out));
    EXPECT_FALSE(CPageHtml::FileToUtf8("caf\xE9", &out));             // some 8-bit set: unknown
    EXPECT_FALSE(CPageHtml::FileToUtf8("\xED\xA0\x80", &out));        // a surrogate
    EXPECT_FALSE(CPageHtml::ToUtf8("x", 0, &out));
    EXPECT_FALSE(CPageHtml::ToUtf8("\x81", 932, &out));                // cut double-byte character
    ASSERT_TRUE(CPageHtml::ToUtf8("\x82\xA0", 932, &out));
    EXPECT_EQ(out, "\xE3\x81\x82");

    // Only a declaration in the head counts.
    std::string body = "<head></head><body>charset=latin1 <meta charset=x></body>";
    EXPECT_FALSE(CPageHtml::SetMetaCharsetUtf8(body));
    std::string meta = "<META CONTENT='text/html; Charset = iso-8859-1'>";
    EXPECT_TRUE(CPageHtml::SetMetaCharsetUtf8(meta));
    EXPECT_EQ(meta, "<META CONTENT='text/html; Charset = utf-8'>");
}

TEST(PageHtmlTest, ImageSourcesOfOtherFoldersAndBrokenTagsStay)
{
    // Any case of the folder's name, any quoting, either slash.
    std::string html = "<img src=\"a_files/a.png\"><IMG SRC = 'A_files\\b.png'><img src=A_files/u.png alt=x>"
                       "<img src=\"A_filesX/a.png\"><img src=\"./A_files\"><img data-src=\"A_files/x\">"
                       "<img src=\"A_files/b.png";
    EXPECT_EQ(CPageHtml::RewriteImageSources(html, "A_files", "B_files"), 4);
    EXPECT_EQ(html, "<img src=\"B_files/a.png\"><IMG SRC = 'B_files\\b.png'><img src=B_files/u.png alt=x>"
                    "<img src=\"A_filesX/a.png\"><img src=\"./A_files\"><img data-src=\"A_files/x\">"
                    "<img src=\"B_files/b.png\"");
    std::string quoted = "<img src='A_files/a.png'>";
    EXPECT_EQ(CPageHtml::RewriteImageSources(quoted, "A_files", "It's_files"), 1);
    EXPECT_EQ(quoted, "<img src='It&#39;s_files/a.png'>");
}

}  // namespace
