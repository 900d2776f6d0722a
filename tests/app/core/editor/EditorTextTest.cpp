// The page editor's fragments, decisions and names, without a window.

#include <gtest/gtest.h>

#include <set>

#include "app/core/CEditorText.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

using Opt = std::optional<std::u16string>;

// An "HTML Format" payload: header lines padded to `start` bytes, then the HTML.
std::string Payload(const std::string& startValue, const std::string& source, size_t start = 105)
{
    std::string header = "Version:0.9\r\nStartHTML:" + startValue + "\r\nSourceURL:" + source + "\r\n";
    header.resize(std::max(header.size(), start), ' ');
    return header + "<html><body>pasted</body></html>";
}

std::string Note(const std::string& url)
{
    return "<p style='margin:0in;font-family:Tahoma;font-size:8.0pt;color:#666666'>Pasted from &lt;<a href=\"" +
           url + "\">" + url + "</a>&gt;</p>&nbsp;";
}

std::string Text(const Opt& text) { return text ? Utf8(*text) : "(none)"; }

TEST(EditorTextTest, SourceNoteOnlyForWebAddressesInAWellFormedHeader)
{
    EXPECT_EQ(Text(CEditorText::GetSourceNote(Payload("105", "https://example.com/a"))), Note("https://example.com/a"));
    EXPECT_EQ(Text(CEditorText::GetSourceNote(Payload("105", "HTTP://x.org"))), Note("HTTP://x.org"));
    for (std::string refused : {"file:///etc/passwd", "about:blank", "http:/", "ftp://example.com/"})
        EXPECT_EQ(Text(CEditorText::GetSourceNote(Payload("105", refused))), "(none)") << refused;

    std::string good = Payload("105", "https://example.com/a");
    EXPECT_FALSE(CEditorText::GetSourceUrl(good.substr(0, 59)));
    EXPECT_FALSE(CEditorText::GetSourceUrl(std::string(80, 'x')));
    EXPECT_FALSE(CEditorText::GetSourceUrl(Payload("", "https://example.com/a")));    // value ends at once
    EXPECT_FALSE(CEditorText::GetSourceUrl(Payload("59", "https://example.com/a")));
    EXPECT_FALSE(CEditorText::GetSourceUrl(Payload(std::to_string(good.size()), "https://example.com/a")));
    EXPECT_TRUE(CEditorText::GetSourceUrl(Payload(std::to_string(good.size() - 1), "https://example.com/a")));
    // The source must lie inside the header that StartHTML marks off.
    std::string late = "Version:0.9\r\nStartHTML:70\r\n";
    late.resize(70, ' ');
    EXPECT_FALSE(CEditorText::GetSourceUrl(late + "SourceURL:https://example.com/a\r\n<html></html>"));

    // A quote or bracket in the address stays text.
    EXPECT_EQ(Text(CEditorText::GetSourceNote(Payload("105", "http://e.com/\"><script>&"))),
              Note("http://e.com/&quot;&gt;&lt;script&gt;&amp;"));
    EXPECT_EQ(Text(CEditorText::GetSourceNoteForUrl(u"https://example.com/a")), Note("https://example.com/a"));
    EXPECT_FALSE(CEditorText::GetSourceNoteForUrl(u"about:blank"));
}

TEST(EditorTextTest, PreformattedFragmentDependsOnTheEnclosingBlock)
{
    EXPECT_EQ(Utf8(CEditorText::BuildPreformattedFragment(u"a<b>&c", u"PRE", u"krv_pre")), "<PRE>a&lt;b&gt;&c</PRE>");
    std::string block = "<DIV class=\"krv_pre_wrap\"><PRE class=\"krv_pre\" style='padding:7pt; margin:5pt;\n"
                        "font:10pt,\"Courier New\",Courier,mono;overflow:auto;white-space:pre;\n"
                        "BACKGROUND-COLOR:#EEEEEE; color=#000000;'>\r\na&lt;b&gt;&c\r\n</PRE></DIV>\r\n";
    EXPECT_EQ(Utf8(CEditorText::BuildPreformattedFragment(u"a<b>&c", u"PRE", u"code")), block);
    EXPECT_EQ(Utf8(CEditorText::BuildPreformattedFragment(u"a<b>&c", u"PRE", u"KRV_PRE")), block);
    EXPECT_EQ(Utf8(CEditorText::BuildPreformattedFragment(u"a<b>&c", u"P", u"")), block);
}

TEST(EditorTextTest, ImageNamesTakeTheFirstFreeNumber)
{
    std::set<std::u16string> taken = {u"photo.png", u"photo[1].png", u"my.photo.png", u"README", u".png", u"x."};
    auto exists = [&taken](const std::u16string& name) { return taken.count(name) > 0; };
    Opt name = CEditorText::FindFreeImageName(u"photo.png", exists);
    EXPECT_EQ(Text(name), "photo[2].png");
    EXPECT_EQ(Utf8(CEditorText::GetImageSource(u"My page_files", *name)), "My page_files/photo[2].png");
    EXPECT_EQ(Text(CEditorText::FindFreeImageName(u"my.photo.png", exists)), "my.photo[1].png");
    EXPECT_EQ(Text(CEditorText::FindFreeImageName(u"free", exists)), "free");
    for (std::u16string unsplittable : {u"README", u".png", u"x.", u"..", u""})
        EXPECT_FALSE(CEditorText::FindFreeImageName(unsplittable, exists)) << Utf8(unsplittable);
    for (int n = 2; n <= 49; ++n)
        taken.insert(u"photo[" + Utf16(std::to_string(n)) + u"].png");
    EXPECT_FALSE(CEditorText::FindFreeImageName(u"photo.png", exists));

    // Characters that would change what a relative address names.
    EXPECT_EQ(Utf8(CEditorText::GetImageSource(u"C# 100%_files", u"a?.png")), "C%23 100%25_files/a%3F.png");
}

TEST(EditorTextTest, CopyStaysInTheAssetsFolder)
{
    ScopedHome home;
    fs::path picture = home.Root() / "in" / "photo.png";
    WriteBytes(picture, "PNG");
    fs::path assets = home.Root() / "My page_files";
    EXPECT_EQ(Text(CEditorText::CopyImageToAssets(U16(picture), U16(assets))), "photo.png");
    EXPECT_EQ(Text(CEditorText::CopyImageToAssets(U16(home.Root() / "in/../in/photo.png"), U16(assets))),
              "photo[1].png");
    EXPECT_EQ(ReadBytes(assets / "photo[1].png"), "PNG");
    EXPECT_FALSE(CEditorText::CopyImageToAssets(U16(home.Root() / "in" / "missing.png"), U16(assets)));
    EXPECT_FALSE(CEditorText::CopyImageToAssets(U16(home.Root() / "in"), U16(assets)));  // a folder
    WriteBytes(home.Root() / "blocked", "");
    EXPECT_FALSE(CEditorText::CopyImageToAssets(U16(picture), U16(home.Root() / "blocked")));
}

TEST(EditorTextTest, ImageTagAndDialogChecks)
{
    CEditorText::CImageInsert image;
    image.id = u"0f8fad5b-d9cb-469f-a165-70867728950e";
    image.alignment = 0;
    image.width = u"64";
    image.height = u"48";
    image.source = u"P_files/photo[2].png";
    const std::string plain = "<img id=\"0f8fad5b-d9cb-469f-a165-70867728950e\" width=\"64\" height=\"48\" "
                              "src=\"P_files/photo[2].png\">";
    EXPECT_EQ(Utf8(CEditorText::BuildImageTag(image)), plain);
    image.borderWidth = u"";
    EXPECT_EQ(Utf8(CEditorText::BuildImageTag(image)), plain);
    image.borderWidth = u"2";
    image.alignment = 3;
    EXPECT_EQ(Utf8(CEditorText::BuildImageTag(image)),
              "<img id=\"0f8fad5b-d9cb-469f-a165-70867728950e\" align=\"middle\" width=\"64\" height=\"48\" "
              "style=\"border: 2px solid #0000FF;\" src=\"P_files/photo[2].png\">");
    image.alignment = 1;
    image.width = u"1\" onload=\"x()";
    image.borderColor = u"red\"><b>";
    EXPECT_EQ(Utf8(CEditorText::BuildImageTag(image)),
              "<img id=\"0f8fad5b-d9cb-469f-a165-70867728950e\" align=\"left\" width=\"1&quot; onload=&quot;x()\" "
              "height=\"48\" style=\"border: 2px solid red&quot;&gt;&lt;b&gt;;\" src=\"P_files/photo[2].png\">");

    EXPECT_EQ(CEditorText::CheckImageDialog(image), CEditorText::IMAGE_OK);
    image.height = u" 0px";
    EXPECT_EQ(CEditorText::CheckImageDialog(image), CEditorText::IMAGE_ZERO_SIZE);
    image.alignment = -1;
    EXPECT_EQ(CEditorText::CheckImageDialog(image), CEditorText::IMAGE_NO_ALIGNMENT);
    EXPECT_EQ(CEditorText::ReadNumber(u"99999999999"), INT_MAX);
    EXPECT_EQ(CEditorText::ReadNumber(u"-12x"), -12);

    EXPECT_EQ(Utf8(CEditorText::FormatFileSize(1048064)), "1023.5KB");
    EXPECT_EQ(Utf8(CEditorText::FormatFileSize(1048576)), "1.00MB");
    EXPECT_EQ(Utf8(CEditorText::FormatFileSize(100)), " 0.1KB");
}

TEST(EditorTextTest, NavigationGuard)
{
    using N = CEditorText::CNavigation;
    const std::u16string file = u"file:///home/u/My Page.htm";
    const struct {
        N navigation;
        int expected;
    } cases[] = {
        {{false, u"", u"", u"about:blank"}, CEditorText::NAVIGATE_ALLOW},
        {{true, u"about:blank", u"", u"about:blank"}, CEditorText::NAVIGATE_ALLOW},
        {{true, file, file, u"about:blank"}, CEditorText::NAVIGATE_REFUSE},
        {{false, u"", u"", file}, CEditorText::NAVIGATE_REFUSE},
        {{true, file, file, u"FILE:///home/u/my page.htm"}, CEditorText::NAVIGATE_ALLOW},
        {{true, file, file, u" \tfile:///home\\u\\MY PAGE.htm "}, CEditorText::NAVIGATE_ALLOW},
        {{true, file, file, u"https://example.com/"}, CEditorText::NAVIGATE_MISMATCH},
        // An encoded form of the file, or a jump inside it, is the same page.
        {{true, file, file, u"file:///home/u/my%20page.htm#top"}, CEditorText::NAVIGATE_ALLOW},
        {{true, file, file, u"file:///home/u/other.htm#my page.htm"}, CEditorText::NAVIGATE_MISMATCH},
        {{true, file, file, file, true}, CEditorText::NAVIGATE_REFUSE},
        {{true, file, file, u"about:blank", true}, CEditorText::NAVIGATE_ALLOW},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CEditorText::DecideNavigation(c.navigation), c.expected) << Utf8(c.navigation.url);

    std::set<std::u16string> taken;
    auto exists = [&taken](const std::u16string& name) { return taken.count(name) > 0; };
    EXPECT_EQ(Utf8(CEditorText::GetBackupName(u"/d/P.htm", 1700000000, exists)), "/d/P.htm.bak");
    taken.insert(u"/d/P.htm.bak");
    EXPECT_EQ(Utf8(CEditorText::GetBackupName(u"/d/P.htm", 1700000000, exists)), "/d/P.htm.1700000000.bak");

    EXPECT_EQ(Utf8(CEditorText::BuildMismatchText(u"/d/P.htm", true, u"https://x/")),
              "URL loading mismatched\r\n\r\nCurrent Page URL:\t/d/P.htm\r\n[backup file has been created]\r\n"
              "Income URL:\thttps://x/\r\n\r\nDo you want to view the content of the Income URL?");
    EXPECT_EQ(Utf8(CEditorText::BuildMismatchText(u"/d/P.htm", false, u"https://x/")),
              "URL loading mismatched\r\n\r\nCurrent Page URL:\t/d/P.htm\r\n\r\n"
              "Income URL:\thttps://x/\r\n\r\nDo you want to view the content of the Income URL?");
    std::u16string longUrl = u"http://a/%20" + std::u16string(300, u'x');
    EXPECT_EQ(Utf8(CEditorText::GetFrameTraceLine(longUrl)),
              "This version does not support Frame\r\nhttp://a/ 20" + std::string(188, 'x'));
}

}  // namespace
