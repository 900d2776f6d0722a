// Profile files as the program reads and writes them, the registry kept in
// one, and the first-run registration of the project file type.

#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "app/core/CFileAssoc.h"
#include "app/core/CIniFile.h"
#include "app/core/CRegistry.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    ScopedHome home;
    fs::path path = home.Root() / "profile.ini";
    std::u16string file = U16(path);
};

TEST_F(IniFileTest, ReadsTrimmedUnquotedCutValuesAndWritesInPlace)
{
    WriteBytes(path, "\xEF\xBB\xBF[One]\r\n  Key = spaced value \r\nquoted=\"a b\"\r\nempty=\r\n"
                     "[one]\r\nkey=second section ignored\r\n[Two]\nlong=" + std::string(300, 'x') + "\nnoequals\n");
    CIniFile ini;
    ASSERT_TRUE(ini.Load(file));
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
    EXPECT_EQ(CIniFile::GetProfileString(U16(home.Root() / "none.ini"), u"a", u"b", u"d"), u"d");

    // Written in place, or at the end of its section.
    WriteBytes(path, "top=1\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(CIniFile::WriteProfileString(file, u"a", u"X", u"changed"));
    EXPECT_TRUE(CIniFile::WriteProfileString(file, u"A", u"z", u"new"));
    EXPECT_TRUE(CIniFile::WriteProfileString(file, u"C", u"w", u"\u00e9"));
    const std::string written = "top=1\n[A]\nX=changed\nz=new\n\n[B]\ny=2\n\n[C]\nw=\xC3\xA9\n";
    EXPECT_EQ(ReadBytes(path), written);

    // Anything that would change the lines read back is refused, and the
    // file stays as it was.
    for (auto [section, key, value] : {std::tuple{u"A", u"k", u"two\nlines"}, {u"A]", u"k", u"v"},
                                       {u"A", u"k=j", u"v"}, {u"A", u"[k", u"v"}, {u"", u"k", u"v"}})
        EXPECT_FALSE(CIniFile::WriteProfileString(file, section, key, value)) << Utf8(key);
    EXPECT_EQ(ReadBytes(path), written);
    EXPECT_FALSE(CIniFile::WriteProfileString(U16(home.Root() / "no/such/folder.ini"), u"A", u"k", u"v"));
}

TEST_F(IniFileTest, RegistryRefusesValuesOver254Characters)
{
    CRegistry registry(U16(home.Root() / ""));
    std::u16string value;
    EXPECT_FALSE(registry.GetValue(u"Version", &value));
    // 254 characters and the terminator fill the 510-byte buffer.
    ASSERT_TRUE(registry.SetValue(u"Fits", std::u16string(254, u'a')));
    ASSERT_TRUE(registry.SetValue(u"TooLong", std::u16string(255, u'a')));
    EXPECT_TRUE(registry.GetValue(u"fits", &value));
    EXPECT_EQ(value.size(), 254u);
    EXPECT_FALSE(registry.GetValue(u"TooLong", &value));
}

TEST(FirstRunTest, RegistersTheProjectFileType)
{
    ScopedHome home;
    ScriptedUI ui;
    fs::path bin = home.Root() / "bin", share = home.Root() / ".local/share";
    ScopedEnv path("PATH", bin.string());
    std::string calls = (home.Root() / "calls").string();
    WriteScript(bin / "update-desktop-database", "echo \"desktop $*\" >> '" + calls + "'\n");
    WriteScript(bin / "update-mime-database", "echo \"mime $*\" >> '" + calls + "'\nexit 3\n");

    CRegistry registry = CRegistry::ForSettings();
    EXPECT_EQ(Utf8(registry.GetFile()), (share / "Zandrel/registry.ini").string());
    EXPECT_FALSE(registry.KeyExists());
    EXPECT_TRUE(CFileAssoc::Register(u"/opt/Korvel Zandrel/Zandrel"));
    EXPECT_TRUE(CFileAssoc::WriteFirstRunValues(registry, 1267625109));
    EXPECT_TRUE(registry.KeyExists());
    EXPECT_EQ(ReadBytes(share / "Zandrel/registry.ini"), "[Software\\Zandrel]\nVersion=2.0.0\nFirstTime=1267625109\n");
    EXPECT_EQ(ReadBytes(share / "applications/org.zandrel.Zandrel.desktop"),
              "[Desktop Entry]\nType=Application\nName=Korvel Zandrel\nIcon=org.zandrel.Zandrel\n"
              "Exec=\"/opt/Korvel Zandrel/Zandrel\" %f\nMimeType=application/x-zandrel-project;\nTerminal=false\n");
    std::string package = ReadBytes(share / "mime/packages/org.zandrel.Zandrel.xml");
    EXPECT_NE(package.find("<mime-type type=\"application/x-zandrel-project\">"), std::string::npos);
    EXPECT_NE(package.find("<glob pattern=\"*.zand\"/>"), std::string::npos);
    EXPECT_EQ(ReadBytes(calls), "desktop " + (share / "applications").string() + "\nmime " + (share / "mime").string() + "\n");

    // Without the database tools it still registers; a path that would
    // break the entry is refused.
    fs::remove_all(bin);
    EXPECT_TRUE(CFileAssoc::Register(u"/usr/bin/Zandrel"));
    EXPECT_FALSE(CFileAssoc::Register(u"/opt/bad\nname/Zandrel"));
    EXPECT_EQ(Utf8(CFileAssoc::QuoteExecPath(u"/x\"$`\\%/Z")), "\"/x\\\\\"\\\\$\\\\`\\\\\\\\%%/Z\"");
    EXPECT_EQ(CFileAssoc::GetVersionText(185), u"1.8.5");
    CAppSettings::Release();
}

}  // namespace
