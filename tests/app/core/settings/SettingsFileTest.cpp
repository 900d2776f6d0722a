// "zandrel.ini": what a first run writes, how each key is read back, what a
// save keeps; the folders, browser and window rectangle the settings give.

#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "app/core/CWindowPlacement.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void TearDown() override { CAppSettings::Release(); }

    fs::path IniPath() const { return home.DataFolder() / "zandrel.ini"; }

    // Starts the settings afresh over a settings file holding `text`.
    CAppSettings* Load(const std::string& text)
    {
        CAppSettings::Release();
        WriteBytes(IniPath(), text);
        return CAppSettings::Get();
    }

    ScopedHome home;
    ScriptedUI ui;
};

const char kOwnSections[] =
    "[LASTTIME]\nRELOAD=0\nPROJECTFILE=\n\n"
    "[NOTEWIN]\nALL=0#0#1#1\nEXTRA=200#200#200#200#1#1#1\nTASKPANE=0#230\n\n"
    "[TAGS]\nSHOW=0#1#0#0\nWIN=0#0#0#0#0#0#0#0\n";

TEST_F(SettingsFileTest, FirstRunWritesEveryKeyWithItsDefault)
{
    const std::string fresh = std::string("[ZANDREL]\nPAGEFONT=0#0#Arial#12pt\nBROWSER=0#korvel\nCHECKDAYS=90\n\n") +
                              kOwnSections;
    EXPECT_FALSE(fs::exists(IniPath()));
    ASSERT_TRUE(CAppSettings::Get()->SaveSettings());
    EXPECT_EQ(ReadBytes(IniPath()), fresh);

    // Read back and written again, nothing moves.
    CAppSettings::Release();
    ASSERT_TRUE(CAppSettings::Get()->SaveSettings());
    EXPECT_EQ(ReadBytes(IniPath()), fresh);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SettingsFileTest, ReadRulesPerKey)
{
    const std::string project = "/p/a#b" + std::string(300, 'x') + ".zand";
    CAppSettings* s = Load("[ZANDREL]\r\nPAGEFONT=##1##2#Verdana#14pt#\r\nBROWSER=7#korvel\r\nCHECKDAYS=0\r\n"
                           "[lasttime]\r\nreload=5\r\nPROJECTFILE=" + project + "\r\n"
                           "[NOTEWIN]\r\nALL=10#20#800#600\r\nEXTRA=10#30#5#5#9#0#0\r\nTASKPANE=1#300#7\r\n"
                           "[TAGS]\r\nSHOW=9#0#9#9\r\nWIN=1#2#3#4#5#6#7#8\r\n");
    const CPageProfile& page = s->GetPageProfile();
    EXPECT_TRUE(page.GetFontFlag1());
    EXPECT_FALSE(page.GetFontFlag2());  // only 1 turns a flag on
    EXPECT_EQ(page.GetFontFace(), u"Verdana");
    EXPECT_EQ(page.GetFontSize(), u"14pt");
    EXPECT_EQ(page.GetBrowserChoice(), 7);
    EXPECT_EQ(s->GetCheckDays(), 15);
    EXPECT_TRUE(page.GetReloadLastProject());
    EXPECT_EQ(Utf8(page.GetLastProjectFile()), project);  // whole, however long
    EXPECT_EQ(s->GetLayout().GetTagsWindowB().x, 1);       // B comes first

    // Setter rules applied on the way in; the show value survives the save.
    ASSERT_TRUE(s->SaveSettings());
    std::string saved = ReadBytes(IniPath());
    EXPECT_NE(saved.find("[NOTEWIN]\nALL=10#20#800#600\nEXTRA=10#40#20#20#1#0#0\nTASKPANE=1#300\n"
                         "[TAGS]\nSHOW=0#0#0#0\nWIN=1#2#3#4#5#6#7#8\n"),
              std::string::npos)
        << saved;
}

TEST_F(SettingsFileTest, NumbersAndTooFewFields)
{
    // Keys with too few fields (BROWSER, ALL, an empty CHECKDAYS) change nothing.
    const struct {
        const char* line;
        int checkDays;
        int taskWidth;
    } cases[] = {{"CHECKDAYS=-5", -1, 230},   {"CHECKDAYS=7", 7, 230},     {"CHECKDAYS=", 90, 230},
                 {"TASKPANE=0#2000", 90, 1024}, {"TASKPANE=0#50", 90, 100}, {"TASKPANE=5", 90, 230},
                 {"TASKPANE=#3#", 90, 230}};
    for (const auto& c : cases) {
        std::string section = std::string(c.line).starts_with("TASK") ? "[NOTEWIN]\n" : "[ZANDREL]\n";
        CAppSettings* s = Load(section + c.line + "\nBROWSER=2\nALL=1#2#3\n");
        EXPECT_EQ(s->GetCheckDays(), c.checkDays) << c.line;
        EXPECT_EQ(s->GetLayout().GetTaskPaneWidth(), c.taskWidth) << c.line;
        EXPECT_EQ(s->GetPageProfile().GetBrowserChoice(), 0) << c.line;
        EXPECT_EQ(s->GetLayout().GetMainWindow().width, 1) << c.line;
    }
}

TEST_F(SettingsFileTest, DebugSection)
{
    const std::string text = "[DEBUG]\nLOGFILE=  trace.log \t\nTRACELEVEL=3\nDOWNLOAD=1\nNOTUSEFP=2\nNOTUSEFOLDP=1\n"
                             "[USERDATA]\nLASTIMGFOLDER=/x\n";
    CAppSettings* s = Load(text);
    EXPECT_EQ(s->GetLogFileName(), u"trace.log");
    EXPECT_EQ(s->GetTraceLevel(), 3);
    EXPECT_EQ(s->GetDownloadSwitch(), 1);
    EXPECT_FALSE(s->NotUseFrontPage());
    EXPECT_TRUE(s->NotUseFolderPage());

    // The forced download is for this run only: the file says 0 at once,
    // and the rest of it is as it was.
    std::string once = text;
    once.replace(once.find("DOWNLOAD=1"), 10, "DOWNLOAD=0");
    EXPECT_EQ(ReadBytes(IniPath()), once);
    CAppSettings::Release();
    EXPECT_EQ(CAppSettings::Get()->GetDownloadSwitch(), 0);

    s = Load("[DEBUG]\nLOGFILE=   \nDOWNLOAD=-1\n");
    EXPECT_EQ(s->GetLogFileName(), u"");
    EXPECT_EQ(s->GetDownloadSwitch(), -1);
    EXPECT_EQ(ReadBytes(IniPath()), "[DEBUG]\nLOGFILE=   \nDOWNLOAD=-1\n");
}

TEST_F(SettingsFileTest, SaveKeepsWhatItDoesNotOwn)
{
    CAppSettings* s = Load("; kept\n[DEBUG]\nLOGFILE=t.log\n\n[ZANDREL]\nCHECKDAYS=30\nFOO=bar\n\n"
                           "[USERDATA]\nLASTIMGFOLDER=/pics\n");
    s->GetPageProfile().SetLastProjectFile(u"/home/u/line\nbreak.zand");  // would break the file: not written
    ASSERT_TRUE(s->SaveSettings());
    EXPECT_EQ(ReadBytes(IniPath()), std::string("; kept\n[DEBUG]\nLOGFILE=t.log\n\n"
                                                "[ZANDREL]\nCHECKDAYS=30\nFOO=bar\nPAGEFONT=0#0#Arial#12pt\n"
                                                "BROWSER=0#korvel\n\n[USERDATA]\nLASTIMGFOLDER=/pics\n\n") +
                                        kOwnSections);
}

TEST_F(SettingsFileTest, LastImageFolderFallsBackToPicturesThenDocuments)
{
    CAppSettings* s = CAppSettings::Get();
    auto folder = [&] { return Utf8(s->GetLastImageFolder()); };
    std::string documents = (home.Documents() / "").string();
    EXPECT_EQ(folder(), documents);
    fs::create_directories(home.Root() / "Pictures");
    EXPECT_EQ(folder(), (home.Root() / "Pictures/").string());

    WriteBytes(home.Root() / ".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(folder(), documents);  // named but missing
    fs::create_directories(home.Root() / "Bilder");
    EXPECT_EQ(folder(), (home.Root() / "Bilder/").string());

    fs::path chosen = home.Root() / "shots";
    fs::create_directories(chosen);
    s->SetLastImageFolder(U16(chosen));
    EXPECT_NE(ReadBytes(IniPath()).find("[USERDATA]\nLASTIMGFOLDER=" + chosen.string() + "\n"), std::string::npos);
    EXPECT_EQ(folder(), chosen.string() + "/");
    fs::remove(chosen);
    EXPECT_EQ(folder(), (home.Root() / "Bilder/").string());
}

TEST_F(SettingsFileTest, MissingDocumentsFolderEndsTheProgram)
{
    WriteBytes(home.Documents(), "not a folder");
    try {
        CAppSettings::Get();
        ADD_FAILURE() << "expected the program to end";
    } catch (const ScriptedExit& exit) {
        EXPECT_EQ(exit.code, 1);
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Can not find My Korvel folder!");
    EXPECT_EQ(ui.messages[0].title, "Zandrel");
}

// Browser choices: 0 the desktop's handler, 1 Chrome or Chromium, 2 Internet
// Explorer (never here), 3 Firefox, each found on PATH.
TEST_F(SettingsFileTest, BrowserChoiceFindsItsBrowserOnPath)
{
    fs::path bin = home.Root() / "bin";
    ScopedEnv path("PATH", bin.string());
    CAppSettings* settings = CAppSettings::Get();
    auto open = [&](int choice, const std::u16string& url = u"https://example.org/a b") {
        settings->GetPageProfile().SetBrowserChoice(choice);
        ui.opened.clear();
        ui.messages.clear();
        bool ok = settings->OpenExternalUrl(url);
        EXPECT_EQ(ok, !ui.opened.empty());
        return ui.opened.empty() ? std::string() : ui.opened[0];
    };
    EXPECT_EQ(open(0), "https://example.org/a b");
    for (int choice : {1, 2, 3, 7, -1}) {
        EXPECT_EQ(open(choice), "") << choice;
        EXPECT_EQ(ui.MessageTexts(), Texts{"Can not find the browser executable file."});
    }
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(3), 0);
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(7), 0);

    WriteScript(bin / "chromium", "");
    WriteScript(bin / "firefox", "");
    EXPECT_EQ(open(1), (bin / "chromium").string() + " https://example.org/a b");
    WriteScript(bin / "google-chrome", "");
    EXPECT_EQ(open(1), (bin / "google-chrome").string() + " https://example.org/a b");
    EXPECT_EQ(open(3), (bin / "firefox").string() + " https://example.org/a b");
    EXPECT_EQ(open(2), "");
    EXPECT_EQ(open(3, u"--new-instance"), "");  // never an option to the browser
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(3), 3);
    EXPECT_EQ(CAppSettings::GetShownBrowserChoice(2), 0);
}

TEST(WindowPlacementTest, StoredFieldsTakenOnlyWhenSensible)
{
    using V = std::vector<int>;
    auto rect = [](int screenWidth, int screenHeight, const CQVRect& stored) {
        CQVRect r = CWindowPlacement::GetMainWindowRect(screenWidth, screenHeight, stored);
        return V{r.x, r.y, r.width, r.height};
    };
    EXPECT_EQ(rect(1024, 768, {0, 0, 1, 1}), (V{82, 37, 819, 614}));        // the defaults from the screen
    EXPECT_EQ(rect(100, 50, {}), (V{0, 0, 80, 40}));                        // too small for the offsets
    EXPECT_EQ(rect(1024, 768, {10, 10, 400, 200}), (V{10, 10, 819, 614}));  // below 500 x 300: default size
    EXPECT_EQ(rect(1024, 768, {0, 667, 1024, 768}), (V{0, 667, 1024, 768}));
    EXPECT_EQ(rect(1024, 768, {924, 668, 1025, 769}), (V{82, 37, 819, 614}));
    EXPECT_EQ(rect(1024, 768, {-1, -1, 500, 300}), (V{82, 37, 500, 300}));
    EXPECT_EQ(rect(1024, 768, {5, 5, 600, 2}), (V{82, 37, 819, 614}));  // under 3 pixels: no rectangle
}

}  // namespace
