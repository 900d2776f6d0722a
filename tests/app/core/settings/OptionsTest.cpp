// The preferences dialog's values: what it shows for odd stored settings
// and what its answers store.

#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "app/core/COptions.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

class OptionsTest : public ::testing::Test {
protected:
    OptionsTest() { WriteScript(bin / "firefox", ""); }  // the only browser on PATH
    ~OptionsTest() override { CAppSettings::Release(); }
    CAppSettings* Load(const std::string& text)
    {
        WriteBytes(home.DataFolder() / "zandrel.ini", text);
        return CAppSettings::Get();
    }

    ScopedHome home;
    ScriptedUI ui;
    fs::path bin = home.Root() / "bin";
    ScopedEnv path{"PATH", bin.string()};
};

TEST_F(OptionsTest, ShowsStoredValuesAndOnlyUsableBrowsers)
{
    CAppSettings* s = Load("[ZANDREL]\nPAGEFONT=1#0#Verdana#14pt\nBROWSER=7#korvel\n");
    COptions shown = COptions::Read(*s);
    EXPECT_TRUE(shown.fontFlag1);
    EXPECT_FALSE(shown.fontFlag2);
    EXPECT_EQ(shown.face, u"Verdana");
    EXPECT_EQ(shown.size, u"14pt");
    EXPECT_EQ(shown.browser, 0);  // 7 is no choice
    EXPECT_EQ(shown.browserAvailable, (std::array<bool, 4>{true, false, false, true}));

    // OK without a change stores what was shown.
    shown.Apply(*s, u"");
    EXPECT_EQ(s->GetPageProfile().GetBrowserChoice(), 0);

    shown.browser = 3;
    shown.Apply(*s, u"");
    EXPECT_EQ(s->GetPageProfile().GetBrowserChoice(), 3);
    // A choice that cannot be used is never stored.
    shown.browser = 1;
    shown.Apply(*s, u"");
    EXPECT_EQ(s->GetPageProfile().GetBrowserChoice(), 3);
}

TEST_F(OptionsTest, ReloadNeedsAProjectFile)
{
    CAppSettings* s = Load("");
    COptions options = COptions::Read(*s);
    options.reload = true;
    options.Apply(*s, u"");  // no project open: nothing to reopen
    EXPECT_FALSE(s->GetPageProfile().GetReloadLastProject());

    options.Apply(*s, u"/home/u/Work.zand");
    EXPECT_TRUE(s->GetPageProfile().GetReloadLastProject());
    EXPECT_EQ(s->GetPageProfile().GetLastProjectFile(), u"/home/u/Work.zand");

    // A stored project is kept when another is open; off keeps the path.
    options = COptions::Read(*s);
    options.Apply(*s, u"/home/u/Other.zand");
    EXPECT_EQ(s->GetPageProfile().GetLastProjectFile(), u"/home/u/Work.zand");
    options.reload = false;
    options.Apply(*s, u"");
    EXPECT_FALSE(s->GetPageProfile().GetReloadLastProject());
    EXPECT_EQ(s->GetPageProfile().GetLastProjectFile(), u"/home/u/Work.zand");

    // Saved and read back as the settings file holds it.
    ASSERT_TRUE(s->SaveSettings());
    EXPECT_NE(ReadBytes(home.DataFolder() / "zandrel.ini").find("RELOAD=0\nPROJECTFILE=/home/u/Work.zand\n"),
              std::string::npos);
}

}  // namespace

namespace {

TEST(NewPageStyle, OnlyWhenAskedAndOnlyForPlainValues)
{
    CPageProfile profile;
    EXPECT_EQ(COptions::GetNewPageStyle(profile), u"");  // flag 2 off
    profile.SetFontFlag2(true);
    EXPECT_EQ(COptions::GetNewPageStyle(profile), u"font-family: 'Arial'; font-size: 12pt;");
    profile.SetFontFace(u"Times New Roman");
    profile.SetFontSize(u"18pt");
    EXPECT_EQ(COptions::GetNewPageStyle(profile), u"font-family: 'Times New Roman'; font-size: 18pt;");
    // From a hand-edited settings file: nothing that could leave the style.
    for (const char16_t* face : {u"Arial'; color: red", u"A\"><script>", u""}) {
        profile.SetFontFace(face);
        EXPECT_EQ(COptions::GetNewPageStyle(profile), u"") << Utf8(face);
    }
    profile.SetFontFace(u"Verdana");
    for (const char16_t* size : {u"12px", u"pt", u"1;2pt", u"12"}) {
        profile.SetFontSize(size);
        EXPECT_EQ(COptions::GetNewPageStyle(profile), u"") << Utf8(size);
    }
}

}  // namespace
