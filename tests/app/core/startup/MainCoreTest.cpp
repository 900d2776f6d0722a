#include "app/main/CMainCore.h"

#include <gtest/gtest.h>

#include <cctype>

#include "app/background/CShutdownWait.h"
#include "app/background/CThreadMgr.h"
#include "app/core/CRegistry.h"
#include "base/model/CUrlNode.h"
#include "tests/app/core/CoreTest.h"

namespace {

class MainCoreTest : public CoreTest {
protected:
    // A project made and closed by an earlier run of the program.
    std::u16string MakeProject(const std::string& title)
    {
        std::u16string file = U16(home.Root() / (title + ".zand"));
        CMainCore earlier;
        EXPECT_NE(earlier.GetProjectMgr().CreateProject(file), nullptr);
        EXPECT_TRUE(earlier.GetProjectMgr().CloseProject());
        return file;
    }
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

// A project path as the start page's script puts it in a link.
std::u16string OpenLink(const std::u16string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::u16string out = u"krv://zandrel/open?file=";
    for (unsigned char c : Utf8(path)) {
        if (std::isalnum(c) || c == '.')
            out += char16_t(c);
        else
            out += std::u16string{u'%', char16_t(hex[c >> 4]), char16_t(hex[c & 15])};
    }
    return out;
}

TEST_F(MainCoreTest, StartPageLinksOpenAndCreateProjects)
{
    auto go = [&](const std::u16string& url) {
        return core->GetKrvCommands().OnBeforeNavigate(CKrvCommands::VIEW_START, url);
    };
    std::u16string work = MakeProject("W\u00f6rk Log");
    EXPECT_TRUE(go(OpenLink(work)));
    EXPECT_EQ(projects.GetCurrentProjectFile(), work);
    EXPECT_TRUE(ui.messages.empty());

    // Only a project file is opened; the project manager says why not.
    std::u16string missing = U16(home.Root() / "Gone.zand"), folder = U16(home.Root());
    go(OpenLink(missing));
    go(OpenLink(folder));
    EXPECT_EQ(ui.MessageTexts(), (Texts{"The project file does not exist.\r\n\r\n" + Utf8(missing),
                                        "This is not a project file:\r\n\r\n" + Utf8(folder)}));
    EXPECT_EQ(projects.GetCurrentProjectFile(), work);

    ui.names = {{U16(home.Root() / "Fresh")}};
    go(u"krv://zandrel/createobject");
    EXPECT_EQ(projects.GetCurrentProjectFile(), U16(home.Root() / "Fresh.zand"));
    ui.openPaths = {work};
    go(u"krv://zandrel/openproject");
    EXPECT_EQ(projects.GetCurrentProjectFile(), work);
}

// The folder page's links and a search result reach the page manager.
TEST_F(MainCoreTest, FolderLinksAndSearchResultsReachThePages)
{
    ASSERT_TRUE(projects.OpenProject(MakeProject("Wired")));
    ui.names = {{u"Inbox"}};
    EXPECT_TRUE(core->GetKrvCommands().OnBeforeNavigate(CKrvCommands::VIEW_FOLDER, u"krv:createfolder"));
    EXPECT_TRUE(fs::is_directory(home.Root() / "Wired" / "Inbox"));
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
