#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "app/core/CFileAssoc.h"
#include "app/core/CRegistry.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/app/core/settings/SettingsTestFiles.h"

namespace {

class FirstRunTest : public ::testing::Test {
protected:
    void TearDown() override { CAppSettings::Release(); }

    ScopedHome home;
    ScriptedUI ui;
    std::filesystem::path bin = home.Root() / "bin";
    std::filesystem::path share = home.Root() / ".local/share";
};

TEST_F(FirstRunTest, RegistersTypeAndFirstRunValues)
{
    ScopedEnv path("PATH", bin.string());
    std::string calls = (home.Root() / "calls").string();
    WriteScript(bin / "update-desktop-database", "echo \"desktop $*\" >> '" + calls + "'\n");
    WriteScript(bin / "update-mime-database", "echo \"mime $*\" >> '" + calls + "'\nexit 3\n");

    CRegistry registry = CRegistry::ForSettings();
    EXPECT_EQ(Utf8(registry.GetFile()), (share / "Zandrel/registry.ini").string());
    EXPECT_FALSE(registry.KeyExists());

    EXPECT_TRUE(CFileAssoc::RegisterFirstRun(registry, u"/opt/Korvel Zandrel/Zandrel", 1267625109));
    EXPECT_TRUE(registry.KeyExists());
    EXPECT_EQ(ReadText(share / "Zandrel/registry.ini"),
              "[Software\\Zandrel]\nVersion=2.0.0\nFirstTime=1267625109\n");
    EXPECT_EQ(ReadText(share / "applications/zandrel.desktop"),
              "[Desktop Entry]\nType=Application\nName=Korvel Zandrel\n"
              "Exec=\"/opt/Korvel Zandrel/Zandrel\" %f\n"
              "MimeType=application/x-zandrel-project;\nTerminal=false\n");
    std::string package = ReadText(share / "mime/packages/zandrel.xml");
    EXPECT_NE(package.find("<mime-type type=\"application/x-zandrel-project\">"), std::string::npos);
    EXPECT_NE(package.find("<glob pattern=\"*.zand\"/>"), std::string::npos);
    EXPECT_EQ(ReadText(calls), "desktop " + (share / "applications").string() + "\n" +
                                   "mime " + (share / "mime").string() + "\n");
}

TEST_F(FirstRunTest, ExecPathIsQuotedForDesktopEntries)
{
    ScopedEnv path("PATH", bin.string());  // and no database tools
    EXPECT_TRUE(CFileAssoc::Register(u"/usr/bin/Zandrel"));
    EXPECT_FALSE(CFileAssoc::Register(u"/opt/bad\nname/Zandrel"));
    EXPECT_EQ(Utf8(CFileAssoc::QuoteExecPath(u"/a b/Zandrel")), "\"/a b/Zandrel\"");
    EXPECT_EQ(Utf8(CFileAssoc::QuoteExecPath(u"/x\"$`\\%/Z")), "\"/x\\\\\"\\\\$\\\\`\\\\\\\\%%/Z\"");
    EXPECT_EQ(CFileAssoc::GetVersionText(200), u"2.0.0");
    EXPECT_EQ(CFileAssoc::GetVersionText(185), u"1.8.5");
}

TEST_F(FirstRunTest, RegistryValues)
{
    CRegistry registry(Utf16((home.Root() / "").string()));
    std::u16string value;
    EXPECT_FALSE(registry.GetValue(u"Version", &value));

    // 254 characters and the terminator fill the 510-byte buffer.
    ASSERT_TRUE(registry.SetValue(u"Fits", std::u16string(254, u'a')));
    ASSERT_TRUE(registry.SetValue(u"TooLong", std::u16string(255, u'a')));
    EXPECT_TRUE(registry.GetValue(u"fits", &value));
    EXPECT_EQ(value.size(), 254u);
    EXPECT_FALSE(registry.GetValue(u"TooLong", &value));
}

}  // namespace
