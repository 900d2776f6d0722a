#include <gtest/gtest.h>

#include "app/core/CIniFile.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/app/core/settings/SettingsTestFiles.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::u16string Path() const { return Utf16(path.string()); }

    ScopedHome home;
    std::filesystem::path path = home.Root() / "profile.ini";
};

TEST_F(IniFileTest, ReadsLikeTheProfileApi)
{
    WriteText(path, "\xEF\xBB\xBF[One]\r\n  Key = spaced value \r\nquoted=\"a b\"\r\nempty=\r\n"
                    "[one]\r\nkey=second section ignored\r\n"
                    "[Two]\nlong=" + std::string(300, 'x') + "\nnoequals\n");
    CIniFile ini;
    ASSERT_TRUE(ini.Load(Path()));
    EXPECT_EQ(ini.GetString(u"ONE", u"KEY", u"-"), u"spaced value");
    EXPECT_EQ(ini.GetString(u"one", u"quoted", u"-"), u"a b");
    EXPECT_EQ(ini.GetString(u"one", u"empty", u"-"), u"");
    EXPECT_EQ(ini.GetString(u"one", u"missing", u"fallback"), u"fallback");
    EXPECT_EQ(ini.GetString(u"two", u"noequals", u"-"), u"-");
    EXPECT_EQ(ini.GetString(u"two", u"long", u"-"), std::u16string(254, u'x'));
    std::u16string whole;
    ASSERT_TRUE(ini.GetValue(u"two", u"long", &whole));
    EXPECT_EQ(whole.size(), 300u);
    EXPECT_FALSE(ini.HasSection(u"Three"));
    EXPECT_EQ(CIniFile::GetProfileString(Utf16((home.Root() / "none.ini").string()), u"a", u"b", u"d"), u"d");
}

TEST_F(IniFileTest, WritesInPlaceOrAtTheEndOfItsSection)
{
    WriteText(path, "top=1\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(CIniFile::WriteProfileString(Path(), u"a", u"X", u"changed"));
    EXPECT_TRUE(CIniFile::WriteProfileString(Path(), u"A", u"z", u"new"));
    EXPECT_TRUE(CIniFile::WriteProfileString(Path(), u"C", u"w", u"\u00e9"));
    EXPECT_EQ(ReadText(path), "top=1\n[A]\nX=changed\nz=new\n\n[B]\ny=2\n\n[C]\nw=\xC3\xA9\n");

    // Anything that would change the lines read back is refused, and the
    // file stays as it was.
    for (auto [section, key, value] : {std::tuple{u"A", u"k", u"two\nlines"}, {u"A]", u"k", u"v"},
                                       {u"A", u"k=j", u"v"}, {u"A", u"[k", u"v"}, {u"", u"k", u"v"}}) {
        EXPECT_FALSE(CIniFile::WriteProfileString(Path(), section, key, value)) << Utf8(key);
    }
    EXPECT_EQ(ReadText(path), "top=1\n[A]\nX=changed\nz=new\n\n[B]\ny=2\n\n[C]\nw=\xC3\xA9\n");
    EXPECT_FALSE(CIniFile::WriteProfileString(Utf16((home.Root() / "no/such/folder.ini").string()), u"A",
                                              u"k", u"v"));
}

}  // namespace
