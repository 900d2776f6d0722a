#include "app/core/CMainCore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/background/CShutdownWait.h"
#include "app/background/CThreadMgr.h"
#include "app/core/CProjectLock.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CRegistry.h"
#include "tests/app/core/ScriptedUI.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MainCoreTest : public ::testing::Test {
protected:
    ~MainCoreTest() override
    {
        core.reset();
        CMainCore::ReleaseProgramObjects();
    }

    // A project made and closed by an earlier run of the program.
    std::u16string MakeProject(const std::string& title)
    {
        std::u16string file = Utf16((home.Root() / (title + ".zand")).string());
        CMainCore earlier;
        EXPECT_NE(earlier.GetProjectMgr().CreateProject(file), nullptr);
        EXPECT_TRUE(earlier.GetProjectMgr().CloseProject());
        return file;
    }

    ScopedHome home;
    ScriptedUI ui;
    std::unique_ptr<CMainCore> core = std::make_unique<CMainCore>();
};

TEST_F(MainCoreTest, FirstRunRegistersOnceAndTellsTheUpdateRecord)
{
    std::vector<bool> calls;
    core->SetUpdateRecordHook([&](bool firstRun) { calls.push_back(firstRun); });
    EXPECT_FALSE(core->RunStartupProjectStep(u"", 1267625109));

    CRegistry registry = CRegistry::ForSettings();
    std::u16string value;
    ASSERT_TRUE(registry.GetValue(u"Version", &value));
    EXPECT_EQ(Utf8(value), "2.0.0");
    ASSERT_TRUE(registry.GetValue(u"FirstTime", &value));
    EXPECT_EQ(Utf8(value), "1267625109");
    EXPECT_TRUE(fs::exists(home.Root() / ".local/share/applications/zandrel.desktop"));

    // The next start is not a first run: FirstTime stays as it was.
    EXPECT_FALSE(core->RunStartupProjectStep(u"", 1267625999));
    ASSERT_TRUE(registry.GetValue(u"FirstTime", &value));
    EXPECT_EQ(Utf8(value), "1267625109");
    EXPECT_EQ(calls, (std::vector<bool>{true, false}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainCoreTest, CommandLineProjectWinsOverTheLastProject)
{
    std::u16string named = MakeProject("Named");
    std::u16string last = MakeProject("Last");
    CPageProfile& page = CAppSettings::Get()->GetPageProfile();
    page.SetReloadLastProject(true);
    page.SetLastProjectFile(last);

    EXPECT_TRUE(core->RunStartupProjectStep(named, 0));
    EXPECT_EQ(core->GetProjectMgr().GetCurrentProjectFile(), named);
    EXPECT_TRUE(core->GetProjectMgr().CloseProject());

    EXPECT_TRUE(core->RunStartupProjectStep(u"", 0));
    EXPECT_EQ(core->GetProjectMgr().GetCurrentProjectFile(), last);
    EXPECT_TRUE(core->GetProjectMgr().CloseProject());

    // Without the reload switch nothing opens.
    page.SetReloadLastProject(false);
    EXPECT_FALSE(core->RunStartupProjectStep(u"", 0));
    EXPECT_EQ(core->GetProjectMgr().GetCurrentProject(), nullptr);
}

TEST_F(MainCoreTest, AMissingCommandLineProjectIsReported)
{
    std::u16string missing = Utf16((home.Root() / "Gone.zand").string());
    EXPECT_FALSE(core->RunStartupProjectStep(missing, 0));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "The project file does not exist.\r\n\r\n" + Utf8(missing));
}

TEST_F(MainCoreTest, TheThirdRefusedCloseLetsTheWindowGo)
{
    std::u16string file = MakeProject("Busy");
    ASSERT_TRUE(core->GetProjectMgr().OpenProject(file));
    SetLeavePageHook([] { return false; });
    EXPECT_FALSE(core->CloseProjectForExit());
    EXPECT_FALSE(core->CloseProjectForExit());
    EXPECT_TRUE(core->CloseProjectForExit());
    // The project was never closed, so its lock stays to say so.
    EXPECT_TRUE(fs::exists(Utf8(file) + ".lck"));
    SetLeavePageHook(nullptr);
    EXPECT_TRUE(core->CloseProjectForExit());
    EXPECT_FALSE(fs::exists(Utf8(file) + ".lck"));
}

TEST_F(MainCoreTest, ShutDownSavesThePlacementAndEndsTheThreads)
{
    core->GetThreadMgr().GetScheduleThread();
    core->SaveSettingsForExit({12, 34, 800, 600});
    std::string ini = ReadText(home.DataFolder() / "zandrel.ini");
    EXPECT_NE(ini.find("ALL=12#34#800#600"), std::string::npos) << ini;

    std::unique_ptr<CShutdownWait> wait = core->StopThreads();
    while (!wait->Pass()) {
    }
    EXPECT_EQ(wait->GetRunningCount(), 0);
    EXPECT_LT(wait->GetPassCount(), CShutdownWait::s_iKillPass);
}

}  // namespace
