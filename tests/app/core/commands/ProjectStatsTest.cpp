// The statistics dialog's numbers over a real project, with collections
// still on disk and one collection file that no longer reads.

#include <fstream>

#include "app/core/CProjectStats.h"
#include "base/model/CNodeStat.h"
#include "base/model/CUrlProp.h"
#include "tests/app/core/pagejobs/PageJobsTest.h"

namespace {

using ProjectStatsTest = PageJobsTest;

TEST_F(ProjectStatsTest, CountsEveryCollectionOnceLoadedAndReportsBrokenOnes)
{
    CProjectStats empty = CProjectStats::Collect(tree);
    EXPECT_EQ(empty.folders, 1);  // the root alone
    EXPECT_EQ(empty.pages + empty.tags + empty.unreadColcts, 0);
    EXPECT_EQ(empty.GetRows().size(), 6u);  // nothing unread, no such row

    RNode* a = AddFolder(tree.GetRoot(), u"A");
    RNode* b = AddFolder(tree.GetRoot(), u"B");
    AddPage(a, u"One")->GetNodeStat()->SetFlag(3);
    CUrlNode* two = AddPage(a, u"Two");
    two->SetDescription(u"notes");
    two->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(u"x y"));
    tree.GetProjectTags().AddTag(u"x", u"A/Two.htm");
    tree.GetProjectTags().AddTag(u"y", u"A/Two.htm");
    AddPage(a, u"a link", ITEM_LINK, u"https://example.com/");
    AddPage(b, u"Three");
    // Reopened: nothing loaded; then B's collection file is spoiled.
    ASSERT_TRUE(tree.SaveColct(tree.EnsureColct(a)));
    ASSERT_TRUE(projects.CloseProject());
    std::ofstream(content / "B" / ".zandrel" / "krv_files.xml") << "<not xml";
    ASSERT_TRUE(projects.OpenProject(projectFile));
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

}  // namespace
