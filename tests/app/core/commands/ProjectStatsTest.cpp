// The statistics dialog's numbers over a real project, with collections
// still on disk and one collection file that no longer reads.

#include <gtest/gtest.h>

#include <fstream>

#include "app/core/CFolderTreeMgr.h"
#include "app/core/CMainCore.h"
#include "app/core/CProjectMgr.h"
#include "app/core/CProjectStats.h"
#include "base/model/CColctNode.h"
#include "base/model/CNodeStat.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/tools/CBaseTool.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

class ProjectStatsTest : public ::testing::Test {
protected:
    ProjectStatsTest()
    {
        fs::create_directories(home.Root() / "Notes");
        EXPECT_NE(projects.CreateProject(file), nullptr);
        ui.names = {{u"A"}, {u"B"}};
        a = tree.CreateFolder(tree.GetRoot());
        b = tree.CreateFolder(tree.GetRoot());
    }
    ~ProjectStatsTest() override
    {
        core.reset();
        CMainCore::ReleaseProgramObjects();
    }
    CUrlNode* Add(RNode* folder, const char16_t* name, tagKRVITEMTYPE type = ITEM_NOTE)
    {
        CColctNode* colct = tree.EnsureColct(folder);
        CUrlNode* item = CUrlNode::New();
        item->SetName(name);
        item->SetUrl((std::u16string(name) + u".htm").c_str());
        item->SetItemType(type);
        CBaseTool::AssignUUID(item);
        RNTool::InsertAsChild(colct->GetLocRNodeRoot(), RNode::New2(item, NT_URL));
        EXPECT_TRUE(tree.SaveColct(colct));
        return item;
    }

    ScopedHome home;
    ScriptedUI ui;
    std::unique_ptr<CMainCore> core = std::make_unique<CMainCore>();
    CProjectMgr& projects = core->GetProjectMgr();
    CFolderTreeMgr& tree = core->GetTreeMgr();
    std::u16string file = U16(home.Root() / "Notes" / "Work.zand");
    RNode* a = nullptr;
    RNode* b = nullptr;
};

TEST_F(ProjectStatsTest, CountsEveryCollectionOnceLoadedAndQuietlySkipsBrokenOnes)
{
    Add(a, u"One")->GetNodeStat()->SetFlag(3);
    CUrlNode* two = Add(a, u"Two");
    two->SetDescription(u"notes");
    two->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(u"x y"));
    tree.GetProjectTags().AddTag(u"x", u"A/Two.htm");
    tree.GetProjectTags().AddTag(u"y", u"A/Two.htm");
    Add(a, u"a link", ITEM_LINK);
    Add(b, u"Three");
    // Reopened: nothing loaded; then B's collection file is spoiled.
    tree.SaveColct(tree.EnsureColct(a));
    ASSERT_TRUE(projects.CloseProject());
    std::ofstream(home.Root() / "Notes" / "Work" / "B" / ".zandrel" / "krv_files.xml") << "<not xml";
    ASSERT_TRUE(projects.OpenProject(file));
    ui.messages.clear();

    CProjectStats stats = CProjectStats::Collect(tree);
    EXPECT_EQ(stats.folders, 3);
    EXPECT_EQ(stats.pages, 2);  // not the link, not B's unreadable pages
    EXPECT_EQ(stats.flaggedPages, 1);
    EXPECT_EQ(stats.taggedPages, 1);
    EXPECT_EQ(stats.describedPages, 1);
    EXPECT_EQ(stats.tags, 2);
    EXPECT_EQ(stats.unreadColcts, 1);
    // The broken file is reported as any load reports it.
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_EQ(ui.MessageTexts()[0].rfind("Can not parse XML file:", 0), 0u) << ui.MessageTexts()[0];

    auto rows = stats.GetRows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(Utf8(rows[6].first), "Collections that could not be read");
    EXPECT_EQ(rows[6].second, 1);
}

TEST_F(ProjectStatsTest, AnEmptyProjectHasOnlyItsFolders)
{
    CProjectStats stats = CProjectStats::Collect(tree);
    EXPECT_EQ(stats.folders, 3);
    EXPECT_EQ(stats.pages + stats.tags + stats.unreadColcts, 0);
    EXPECT_EQ(stats.GetRows().size(), 6u);  // nothing unread, no such row
}

}  // namespace
