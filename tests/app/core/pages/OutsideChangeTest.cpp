// Files changed by other programs: the page on show, a save over a page
// file that changed, collection files merged, sync tools' conflict copies.

#include <gmock/gmock.h>

#include "app/core/CPageHistory.h"
#include "app/core/CProjectStats.h"
#include "app/core/CSafeSave.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"
#include "tests/app/core/pages/PageTestUtil.h"

namespace {

class OutsideChangeTest : public PageTest {
protected:
    // The bytes of every version kept of the page.
    Texts History(CUrlNode* page)
    {
        Texts kept;
        for (const auto& version : CPageHistory::List(U16(Dir(root) / Utf8(page->GetUrl())), page->GetUUID()))
            kept.push_back(ReadBytes(Utf8(version.file)));
        return kept;
    }
};

TEST_F(OutsideChangeTest, PageOnShowIsShownAgainOrTheUserKeepsOneVersion)
{
    CUrlNode* page = AddPage(root, u"P", "<p>mine</p>");
    fs::path file = Dir(root) / "P.htm";
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    ui.shownPages.clear();
    pages->CheckOutsideChanges();
    EXPECT_TRUE(ui.shownPages.empty());

    WriteBytes(file, "<p>theirs 1</p>");  // no edits here: shown again
    pages->CheckOutsideChanges();
    EXPECT_EQ(ui.shownPages, Texts{file.string()});

    // Keep mine: theirs goes to the history, the next save asks nothing.
    ui.pageModified = true;
    ui.pageHtml = "<p>my edit</p>";
    WriteBytes(file, "<p>theirs number 2</p>");
    ui.confirmations = {true};
    pages->CheckOutsideChanges();
    EXPECT_EQ(Utf8(ui.confirms.back().okCaption), "Keep Mine");
    EXPECT_EQ(Utf8(ui.confirms.back().cancelCaption), "Take Theirs");
    EXPECT_TRUE(ui.pageModified);
    EXPECT_THAT(History(page), testing::Contains("<p>theirs number 2</p>"));
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    EXPECT_EQ(ReadBytes(file), "<p>my edit</p>");
    pages->CheckOutsideChanges();  // our own write
    EXPECT_EQ(ui.shownPages.size(), 1u);

    // Take theirs: mine goes to the history, theirs is shown.
    ui.pageModified = true;
    ui.pageHtml = "<p>my second edit</p>";
    WriteBytes(file, "<p>theirs number three</p>");
    ui.confirmations = {false};
    pages->CheckOutsideChanges();
    EXPECT_EQ(ui.shownPages.size(), 2u);
    EXPECT_FALSE(ui.pageModified);
    EXPECT_THAT(History(page), testing::Contains("<p>my second edit</p>"));

    // Deleted there: told once, and the view's content is saved on leaving.
    fs::remove(file);
    pages->CheckOutsideChanges();
    pages->CheckOutsideChanges();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.pageModified);
    ui.pageHtml = "<p>kept</p>";
    EXPECT_TRUE(pages->LeavePage());
    EXPECT_EQ(ReadBytes(file), "<p>kept</p>");
}

TEST_F(OutsideChangeTest, SaveOverAPageChangedUnderneathAsksFirst)
{
    CUrlNode* page = AddPage(root, u"P", "<p>old</p>");
    fs::path file = Dir(root) / "P.htm";
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    ui.pageHtml = "<p>mine</p>";
    WriteBytes(file, "<p>theirs, longer</p>");
    ui.answers = {IDNO};
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_FAILED);
    EXPECT_EQ(ReadBytes(file), "<p>theirs, longer</p>");
    ui.answers = {IDYES};
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    EXPECT_EQ(ReadBytes(file), "<p>mine</p>");
    EXPECT_THAT(History(page), testing::Contains("<p>theirs, longer</p>"));
    // The same bytes written again are no change.
    WriteBytes(file, "<p>mine</p>");
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(OutsideChangeTest, CollectionChangedByAnotherProgramIsMergedWithOurs)
{
    CColctNode* colct = tree.EnsureColct(root);
    CUrlNode* a = AddPage(root, u"A");
    AddPage(root, u"B");
    CUrlNode* c = AddPage(root, u"C");
    ASSERT_TRUE(tree.SaveColct(colct));
    fs::path file = ColctFile(Dir(root));
    auto rewrite = [&](const std::function<void(RNode* root)>& change) {
        CReadBkmarkXML reader;
        ASSERT_TRUE(reader.LoadFile(U16(file).c_str()));
        CColctNode* theirs = reader.DetachColctNode();
        change(theirs->GetLocRNodeRoot());
        CWriteColctRSS writer;
        writer.SetColctNode(theirs);
        EXPECT_EQ(CSafeSave::Save(writer, U16(file)), CSafeSave::SAVE_OK);
        CColctNode::DeleteAll(theirs);
    };
    // There: B deleted, C retitled later than our edit of it, D added.
    rewrite([](RNode* items) {
        RNode* b = items->GetChild()->GetNext();
        RNTool::RemoveOneChild(items, b);
        RNTool::DeleteTree(b);
        CBaseNode* theirC = items->GetChild()->GetNext()->GetData();
        theirC->SetName(u"C2");
        theirC->GetNodeStat()->SetStatTime(0, 2000000000, 0, CNodeStat::STAT_MODIFIED);
        AddPageItem(items, u"D");
    });
    // Here: A and C flagged, E added.
    a->GetNodeStat()->SetFlag(3);
    c->GetNodeStat()->SetFlag(5);
    AddPage(root, u"E");
    ASSERT_TRUE(tree.SaveColct(colct));
    EXPECT_EQ(ItemNames(colct), (Texts{"A", "C2", "E", "D"}));
    EXPECT_EQ(a->GetNodeStat()->GetFlag(), 3);
    EXPECT_EQ(c->GetNodeStat()->GetFlag(), 0);
    CReadBkmarkXML reader;
    ASSERT_TRUE(reader.LoadFile(U16(file).c_str()));
    CColctNode* written = reader.DetachColctNode();
    EXPECT_EQ(ItemNames(written), ItemNames(colct));
    CColctNode::DeleteAll(written);

    // Seen without a save of ours when the folder is watched.
    rewrite([](RNode* items) { AddPageItem(items, u"F"); });
    pages->CheckOutsideChanges();
    EXPECT_EQ(ItemNames(colct), (Texts{"A", "C2", "E", "D", "F"}));
    EXPECT_EQ(ui.shownColct, colct);
}

TEST_F(OutsideChangeTest, FolderTreeChangedByAnotherProgramKeepsBothSidesFolders)
{
    ASSERT_NE(tree.AddFolder(root, u"A"), nullptr);
    ASSERT_NE(tree.AddFolder(root, u"B"), nullptr);
    {
        CFolderTreeMgr other;  // another computer: C added, B removed
        ASSERT_TRUE(other.LoadFolderTree(u"Notes"));
        ASSERT_NE(other.AddFolder(other.GetRoot(), u"C"), nullptr);
        ui.confirmations = {true};
        ASSERT_TRUE(other.RemoveFolder(other.GetRoot()->GetChild()->GetNext()));
        other.CloseTree();
    }
    ASSERT_NE(tree.AddFolder(root, u"D"), nullptr);
    Texts names;
    for (RNode* folder : tree.GetAllFolders())
        names.push_back(Utf8(folder->GetData()->GetName()));
    EXPECT_EQ(names, (Texts{"Notes", "A", "D", "C"}));
    EXPECT_TRUE(Contains(ReadBytes(TreeFile()), "\"C\""));
}

TEST_F(OutsideChangeTest, ConflictCopiesAreNoPagesAndAreCounted)
{
    for (const char* name : {"P.htm", "P.sync-conflict-20240101-101010-ABCDEFG.htm",
                             "P (conflicted copy 2024-01-01 101010).htm",
                             ".zandrel/krv_files.sync-conflict-20240101-101010-ABCDEFG.xml"})
        WriteBytes(Dir(root) / name, "x");
    tree.RefreshColct(root);
    EXPECT_EQ(ItemNames(Colct(root)), Texts{"P"});
    EXPECT_EQ(CProjectStats::Collect(tree).conflictCopies.size(), 3u);
}

}  // namespace
