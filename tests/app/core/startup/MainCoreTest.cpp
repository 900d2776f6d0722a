#include "app/main/CMainCore.h"

#include <gtest/gtest.h>

#include "app/background/CShutdownWait.h"
#include "app/background/CThreadMgr.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CRegistry.h"
#include "base/model/CUrlNode.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

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
        std::u16string file = U16(home.Root() / (title + ".zand"));
        CMainCore earlier;
        EXPECT_NE(earlier.GetProjectMgr().CreateProject(file), nullptr);
        EXPECT_TRUE(earlier.GetProjectMgr().CloseProject());
        return file;
    }

    ScopedHome home;
    ScriptedUI ui;
    std::unique_ptr<CMainCore> core = std::make_unique<CMainCore>();
    CProjectMgr& projects = core->GetProjectMgr();
};

TEST_F(MainCoreTest, StartupRegistersOnceThenOpensTheNamedOrTheLastProject)
{
    EXPECT_FALSE(core->RunStartupProjectStep(u"", 1267625109));
    EXPECT_FALSE(core->RunStartupProjectStep(u"", 1267625999));  // not a first run: FirstTime stays
    std::u16string firstTime, versions;
    ASSERT_TRUE(CRegistry::ForSettings().GetValue(u"FirstTime", &firstTime));
    EXPECT_EQ(Utf8(firstTime), "1267625109");
    // The update check's record of the versions run here, from the first run on.
    ASSERT_TRUE(CRegistry::ForSettings().GetValue(u"zandrversion", &versions));
    EXPECT_EQ(Utf8(versions).substr(0, 10), "V200B1283T");

    std::u16string named = MakeProject("Named"), last = MakeProject("Last");
    CPageProfile& page = CAppSettings::Get()->GetPageProfile();
    page.SetReloadLastProject(true);
    page.SetLastProjectFile(last);
    EXPECT_TRUE(core->RunStartupProjectStep(named, 0));
    EXPECT_EQ(projects.GetCurrentProjectFile(), named);
    EXPECT_TRUE(projects.CloseProject());
    EXPECT_TRUE(core->RunStartupProjectStep(u"", 0));
    EXPECT_EQ(projects.GetCurrentProjectFile(), last);
    EXPECT_TRUE(projects.CloseProject());

    // Without the reload switch nothing opens; a missing project is said.
    page.SetReloadLastProject(false);
    EXPECT_FALSE(core->RunStartupProjectStep(u"", 0));
    EXPECT_EQ(projects.GetCurrentProject(), nullptr);
    std::u16string missing = U16(home.Root() / "Gone.zand");
    EXPECT_FALSE(core->RunStartupProjectStep(missing, 0));
    EXPECT_EQ(ui.MessageTexts(), Texts{"The project file does not exist.\r\n\r\n" + Utf8(missing)});
}

// The shell's close: the project first (the third refusal lets the window
// go anyway), then the window's rectangle, then the threads.
TEST_F(MainCoreTest, ShutDownInItsOrder)
{
    std::u16string file = MakeProject("Busy");
    ASSERT_TRUE(projects.OpenProject(file));
    SetLeavePageHook([] { return false; });
    EXPECT_FALSE(core->CloseProjectForExit());
    EXPECT_FALSE(core->CloseProjectForExit());
    EXPECT_TRUE(core->CloseProjectForExit());
    EXPECT_TRUE(fs::exists(Utf8(file) + ".lck"));  // never closed, so its lock stays to say so
    SetLeavePageHook(nullptr);
    EXPECT_TRUE(core->CloseProjectForExit());
    EXPECT_FALSE(fs::exists(Utf8(file) + ".lck"));

    core->GetThreadMgr().GetScheduleThread();
    core->SaveSettingsForExit({12, 34, 800, 600});
    EXPECT_NE(ReadBytes(home.DataFolder() / "zandrel.ini").find("ALL=12#34#800#600"), std::string::npos);
    std::unique_ptr<CShutdownWait> wait = core->StopThreads();
    while (!wait->Pass()) {
    }
    EXPECT_EQ(wait->GetRunningCount(), 0);
    EXPECT_LT(wait->GetPassCount(), CShutdownWait::s_iStopPass);
}

}  // namespace

namespace {

// The folder page's links and a search result reach the page manager.
TEST_F(MainCoreTest, FolderLinksAndSearchResultsReachThePages)
{
    ASSERT_TRUE(projects.OpenProject(MakeProject("Wired")));
    EXPECT_TRUE(core->GetKrvCommands().OnBeforeNavigate(CKrvCommands::VIEW_FOLDER, u"krv:CreatePage"));
    EXPECT_EQ(ui.shownPages, Texts{""});  // the new page, empty
    ASSERT_NE(ui.selectedItem, nullptr);
    EXPECT_EQ(Utf8(ui.selectedItem->GetName()), "Untitled-1");

    ui.selectedItem = nullptr;
    ASSERT_EQ(core->GetTitleSearch().Search(u"untitled", true), 1u);
    EXPECT_TRUE(core->GetTitleSearch().OpenResult(0));
    ASSERT_NE(ui.selectedItem, nullptr);
    EXPECT_EQ(Utf8(ui.selectedItem->GetName()), "Untitled-1");
    EXPECT_TRUE(projects.CloseProject());
}

}  // namespace
