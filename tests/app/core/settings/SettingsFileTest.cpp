#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/app/core/settings/SettingsTestFiles.h"

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void TearDown() override { CAppSettings::Release(); }

    std::filesystem::path IniPath() const { return home.DataFolder() / "zandrel.ini"; }

    // Starts the settings afresh over a settings file holding `text`.
    CAppSettings* Load(const std::string& text)
    {
        CAppSettings::Release();
        WriteText(IniPath(), text);
        return CAppSettings::Get();
    }

    ScopedHome home;
    ScriptedUI ui;
};

const char kFreshFile[] =
    "[ZANDREL]\nPAGEFONT=0#0#Arial#12pt\nBROWSER=0#korvel\nCHECKDAYS=90\n\n"
    "[LASTTIME]\nRELOAD=0\nPROJECTFILE=\n\n"
    "[NOTEWIN]\nALL=0#0#1#1\nEXTRA=200#200#200#200#1#1#1\nTASKPANE=0#230\n\n"
    "[TAGS]\nSHOW=0#1#0#0\nWIN=0#0#0#0#0#0#0#0\n";

TEST_F(SettingsFileTest, FirstRunWritesEveryKeyWithItsDefault)
{
    CAppSettings* settings = CAppSettings::Get();
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    ASSERT_TRUE(settings->SaveSettings());
    EXPECT_EQ(ReadText(IniPath()), kFreshFile);

    // Read back and written again, nothing moves.
    CAppSettings::Release();
    ASSERT_TRUE(CAppSettings::Get()->SaveSettings());
    EXPECT_EQ(ReadText(IniPath()), kFreshFile);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SettingsFileTest, ReadRulesPerKey)
{
    CAppSettings* s = Load("[ZANDREL]\r\n"
                           "PAGEFONT=##1##2#Verdana#14pt#\r\n"
                           "BROWSER=7#korvel\r\n"
                           "CHECKDAYS=0\r\n"
                           "[lasttime]\r\n"
                           "reload=5\r\n"
                           "PROJECTFILE=/p/a#b.zand\r\n"
                           "[NOTEWIN]\r\n"
                           "ALL=10#20#800#600\r\n"
                           "EXTRA=10#30#5#5#9#0#0\r\n"
                           "TASKPANE=1#300#7\r\n"
                           "[TAGS]\r\n"
                           "SHOW=9#0#9#9\r\n"
                           "WIN=1#2#3#4#5#6#7#8\r\n");
    const CPageProfile& page = s->GetPageProfile();
    EXPECT_TRUE(page.GetFontFlag1());
    EXPECT_FALSE(page.GetFontFlag2());  // only 1 turns a flag on
    EXPECT_EQ(page.GetFontFace(), u"Verdana");
    EXPECT_EQ(page.GetFontSize(), u"14pt");
    EXPECT_EQ(page.GetBrowserChoice(), 7);
    EXPECT_EQ(s->GetCheckDays(), 15);
    EXPECT_TRUE(page.GetReloadLastProject());
    EXPECT_EQ(page.GetLastProjectFile(), u"/p/a#b.zand");
    EXPECT_EQ(s->GetLayout().GetTagsWindowB().x, 1);  // B comes first

    // Setter rules applied on the way in; the show value survives the save.
    ASSERT_TRUE(s->SaveSettings());
    std::string saved = ReadText(IniPath());
    EXPECT_NE(saved.find("[NOTEWIN]\nALL=10#20#800#600\nEXTRA=10#40#20#20#1#0#0\nTASKPANE=1#300\n"
                         "[TAGS]\nSHOW=0#0#0#0\nWIN=1#2#3#4#5#6#7#8\n"),
              std::string::npos)
        << saved;
}

TEST_F(SettingsFileTest, LongProjectPathsReadBackWhole)
{
    std::string path = "/p/" + std::string(300, 'x') + ".zand";
    CAppSettings* s = Load("[LASTTIME]\nPROJECTFILE=" + path + "\n");
    EXPECT_EQ(Utf8(s->GetPageProfile().GetLastProjectFile()), path);
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
        std::string section = std::string(c.line).rfind("TASK", 0) == 0 ? "[NOTEWIN]\n" : "[ZANDREL]\n";
        CAppSettings* s = Load(section + c.line + "\nBROWSER=2\nALL=1#2#3\n");
        EXPECT_EQ(s->GetCheckDays(), c.checkDays) << c.line;
        EXPECT_EQ(s->GetLayout().GetTaskPaneWidth(), c.taskWidth) << c.line;
        EXPECT_EQ(s->GetPageProfile().GetBrowserChoice(), 0) << c.line;
        EXPECT_EQ(s->GetLayout().GetMainWindow().width, 1) << c.line;
    }
}

TEST_F(SettingsFileTest, DebugSection)
{
    CAppSettings* s = Load("[DEBUG]\nLOGFILE=  trace.log \t\nTRACELEVEL=3\nDOWNLOAD=1\n"
                           "NOTUSEFP=2\nNOTUSEFOLDP=1\n[USERDATA]\nLASTIMGFOLDER=/x\n");
    EXPECT_EQ(s->GetLogFileName(), u"trace.log");
    EXPECT_EQ(s->GetTraceLevel(), 3);
    EXPECT_EQ(s->GetDownloadSwitch(), 1);
    EXPECT_FALSE(s->NotUseFrontPage());
    EXPECT_TRUE(s->NotUseFolderPage());

    // The forced download is for this run only: the file says 0 at once,
    // and the rest of it is as it was.
    EXPECT_EQ(ReadText(IniPath()), "[DEBUG]\nLOGFILE=  trace.log \t\nTRACELEVEL=3\nDOWNLOAD=0\n"
                                   "NOTUSEFP=2\nNOTUSEFOLDP=1\n[USERDATA]\nLASTIMGFOLDER=/x\n");
    CAppSettings::Release();
    EXPECT_EQ(CAppSettings::Get()->GetDownloadSwitch(), 0);

    s = Load("[DEBUG]\nLOGFILE=   \nDOWNLOAD=-1\n");
    EXPECT_EQ(s->GetLogFileName(), u"");
    EXPECT_EQ(s->GetDownloadSwitch(), -1);
    EXPECT_EQ(ReadText(IniPath()), "[DEBUG]\nLOGFILE=   \nDOWNLOAD=-1\n");
}

TEST_F(SettingsFileTest, SaveKeepsWhatItDoesNotOwn)
{
    CAppSettings* s = Load("; kept\n[DEBUG]\nLOGFILE=t.log\n\n[ZANDREL]\nCHECKDAYS=30\nFOO=bar\n\n"
                           "[USERDATA]\nLASTIMGFOLDER=/pics\n");
    s->GetPageProfile().SetLastProjectFile(u"/home/u/line\nbreak.zand");
    ASSERT_TRUE(s->SaveSettings());
    EXPECT_EQ(ReadText(IniPath()),
              "; kept\n[DEBUG]\nLOGFILE=t.log\n\n"
              "[ZANDREL]\nCHECKDAYS=30\nFOO=bar\nPAGEFONT=0#0#Arial#12pt\nBROWSER=0#korvel\n\n"
              "[USERDATA]\nLASTIMGFOLDER=/pics\n\n"
              "[LASTTIME]\nRELOAD=0\nPROJECTFILE=\n\n"
              "[NOTEWIN]\nALL=0#0#1#1\nEXTRA=200#200#200#200#1#1#1\nTASKPANE=0#230\n\n"
              "[TAGS]\nSHOW=0#1#0#0\nWIN=0#0#0#0#0#0#0#0\n");
}

TEST_F(SettingsFileTest, LastImageFolderFallsBackToPicturesThenDocuments)
{
    CAppSettings* s = CAppSettings::Get();
    std::string documents = (home.Documents() / "").string();
    EXPECT_EQ(Utf8(s->GetLastImageFolder()), documents);

    std::filesystem::create_directories(home.Root() / "Pictures");
    EXPECT_EQ(Utf8(s->GetLastImageFolder()), (home.Root() / "Pictures/").string());

    WriteText(home.Root() / ".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(Utf8(s->GetLastImageFolder()), documents);  // named but missing
    std::filesystem::create_directories(home.Root() / "Bilder");
    EXPECT_EQ(Utf8(s->GetLastImageFolder()), (home.Root() / "Bilder/").string());

    std::filesystem::path chosen = home.Root() / "shots";
    std::filesystem::create_directories(chosen);
    s->SetLastImageFolder(Utf16(chosen.string()));
    std::string key = "[USERDATA]\nLASTIMGFOLDER=" + chosen.string() + "\n";
    EXPECT_NE(ReadText(IniPath()).find(key), std::string::npos);
    EXPECT_EQ(Utf8(s->GetLastImageFolder()), chosen.string() + "/");
    std::filesystem::remove(chosen);
    EXPECT_EQ(Utf8(s->GetLastImageFolder()), (home.Root() / "Bilder/").string());
}

TEST_F(SettingsFileTest, MissingDocumentsFolderEndsTheProgram)
{
    WriteText(home.Documents(), "not a folder");
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

}  // namespace
