#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/app/core/settings/SettingsTestFiles.h"

namespace {

class BrowserTest : public ::testing::Test {
protected:
    void TearDown() override { CAppSettings::Release(); }

    // Opens the URL with browser `choice`; what was opened, or "" when nothing.
    std::string Open(int choice, const std::u16string& url = u"https://example.org/a b")
    {
        CAppSettings* settings = CAppSettings::Get();
        settings->GetPageProfile().SetBrowserChoice(choice);
        ui.opened.clear();
        ui.messages.clear();
        bool ok = settings->OpenExternalUrl(url);
        EXPECT_EQ(ok, !ui.opened.empty());
        return ui.opened.empty() ? std::string() : ui.opened[0];
    }

    ScopedHome home;
    ScriptedUI ui;
    std::filesystem::path bin = home.Root() / "bin";
    ScopedEnv path{"PATH", bin.string()};
};

TEST_F(BrowserTest, EachChoiceFindsItsBrowserOnPath)
{
    EXPECT_EQ(Open(0), "https://example.org/a b");
    for (int choice : {1, 2, 3, 7, -1}) {
        EXPECT_EQ(Open(choice), "") << choice;
        ASSERT_EQ(ui.messages.size(), 1u) << choice;
        EXPECT_EQ(ui.messages[0].text, "Can not find the browser executable file.");
    }

    WriteScript(bin / "chromium", "");
    WriteScript(bin / "firefox", "");
    EXPECT_EQ(Open(1), (bin / "chromium").string() + " https://example.org/a b");
    WriteScript(bin / "google-chrome", "");
    EXPECT_EQ(Open(1), (bin / "google-chrome").string() + " https://example.org/a b");
    EXPECT_EQ(Open(3), (bin / "firefox").string() + " https://example.org/a b");
    EXPECT_EQ(Open(2), "");  // no Internet Explorer on Linux
    // Never an option to the browser.
    EXPECT_EQ(Open(3, u"--new-instance"), "");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BrowserTest, OptionsPageShowsOnlyInstalledChoices)
{
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(7), 0);
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(3), 0);
    EXPECT_FALSE(CAppSettings::IsBrowserAvailable(3));
    EXPECT_TRUE(CAppSettings::IsBrowserAvailable(0));

    WriteScript(bin / "firefox", "");
    EXPECT_TRUE(CAppSettings::IsBrowserAvailable(3));
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(3), 3);
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(2), 0);  // never on Linux
}

}  // namespace
