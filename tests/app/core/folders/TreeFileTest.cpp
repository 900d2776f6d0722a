// The folder tree file at open and close, recovery of files left by an
// interrupted save, names from files that must not reach the disk, and the
// item remembered per folder.

#include "tests/app/core/folders/FolderTestUtil.h"

#include "base/model/CColctExData.h"
#include "base/model/TList.h"

namespace {

class TreeFileTest : public FolderTest {
protected:
    // Writes a tree file of format `version` whose root holds folders of these names.
    void WriteTree(std::initializer_list<const char*> names, int version = 1)
    {
        std::string folders;
        for (const char* name : names)
            folders += "<outline text=\"" + std::string(name) + "\"></outline>";
        WriteBytes(TreeFile(), "<?xml version=\"1.0\"?><opml version=\"2.0\" xmlns:krv=\"http://www.korvel.com/schema/krv\">"
                               "<head><krv:opml version=\"" + std::to_string(version) + "\" /></head>"
                               "<body><outline text=\"Notes\">" + folders + "</outline></body></opml>");
    }
};

TEST_F(TreeFileTest, MissingFileGivesANewTreeAndClosingWritesWhatIsPending)
{
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(Utf8(tree.GetRoot()->GetData()->GetName()), "Notes");
    EXPECT_EQ(tree.GetCurrentFolder(), tree.GetRoot());
    EXPECT_NE(ReadBytes(TreeFile()).find("<outline text=\"Notes\">"), std::string::npos);
    EXPECT_NE(tree.GetTagStore(), nullptr);

    RNode* a = AddFolder(tree.GetRoot(), u"A");
    AddFolder(a, u"B");
    CColctNode* colct = tree.EnsureColct(a);
    AddPage(colct, u"unsaved");
    colct->SetHasNewData(true);
    static_cast<CFolderNode*>(a->GetData())->SetFolderOpen(true);
    tree.SetDirty();
    tree.GetProjectTags().AddTag(u"t", u"A/unsaved.htm");
    CColctNode* rootColct = tree.EnsureColct(tree.GetRoot());
    AddPage(rootColct, u"home");
    ASSERT_TRUE(tree.SaveColct(rootColct));
    tree.CloseTree();
    EXPECT_EQ(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetTagStore(), nullptr);
    EXPECT_NE(ReadBytes(ColctFile(content / "A")).find("unsaved"), std::string::npos);
    EXPECT_NE(ReadBytes(TreeFile()).find("expand=\"true\""), std::string::npos);
    EXPECT_NE(ReadBytes(TagsFile()).find("<url>A/unsaved.htm</url>"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(content / ".zandrel" / "krv_recent.xml"));

    // Read back, the root collection is shown.
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    RNode* root = tree.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(Utf8(tree.GetRelativePath(root->GetChild()->GetChild())), "A/B/");
    EXPECT_EQ(ItemNames(ui.shownColct), Texts{"home"});
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TreeFileTest, NewerFormatIsRefusedAndAnUnreadableFileIsNeverOverwritten)
{
    WriteTree({"A"}, 2);
    EXPECT_FALSE(tree.LoadFolderTree(u"Notes"));
    EXPECT_EQ(tree.GetRoot(), nullptr);
    WriteBytes(TreeFile(), "<opml><body><outline text=\"A\">");
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    EXPECT_EQ(tree.GetRoot(), nullptr);
    tree.CloseTree();
    EXPECT_EQ(ReadBytes(TreeFile()), "<opml><body><outline text=\"A\">");
    EXPECT_EQ(ui.MessageTexts(), (Texts{"File format version=2\r\nThe software is an older version, it cannot read "
                                        "\r\nnew file format.\r\nPlease update to new version from:\r\n"
                                        "https://zandrel.org",
                                        "The folder tree file could not be read:\r\n" + TreeFile().string()}));
}

TEST_F(TreeFileTest, BackupCopiesArePutBackAndStaleTemporariesGo)
{
    ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
    CColctNode* written = tree.EnsureColct(AddFolder(tree.GetRoot(), u"A"));
    AddPage(written, u"p");
    ASSERT_TRUE(tree.SaveColct(written));
    tree.CloseTree();
    std::string good = ReadBytes(TreeFile());
    fs::path backup = TreeFile().string() + "~", colct = ColctFile(content / "A");
    WriteBytes(backup, good);
    WriteBytes(TreeFile(), good.substr(0, good.size() / 2));
    fs::rename(colct, colct.string() + "~");
    WriteBytes(colct, "");
    fs::path stale = content / ".zandrel" / ".krv_folders.xml.4242.17.tmp";
    fs::path foreign = content / ".zandrel" / ".krv_folders.xml.notes.tmp";
    WriteBytes(stale, "half");
    WriteBytes(foreign, "someone else's");

    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(ItemNames(tree.LoadColct(tree.GetRoot()->GetChild(), true)), Texts{"p"});
    const std::string restored = "The file could not be read and was restored from its backup copy:\r\n";
    EXPECT_EQ(ui.MessageTexts(), (Texts{restored + TreeFile().string(), restored + colct.string()}));
    EXPECT_EQ(ReadBytes(TreeFile()), good);
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_FALSE(fs::exists(colct.string() + "~"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(foreign));

    // A copy beside a file that reads is what a save left behind: it goes.
    tree.CloseTree();
    WriteBytes(backup, "older");
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(ui.messages.size(), 2u);
}

// The tags file is read when the tags are first needed: left unused it is
// never rewritten, and a broken one still comes back from its copy then.
TEST_F(TreeFileTest, TagsAreReadOnFirstUseWithTheirRecovery)
{
    ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
    ASSERT_TRUE(tree.GetProjectTags().AddTag(u"food", u"a.htm"));
    ASSERT_TRUE(tree.SaveTags());
    tree.CloseTree();
    const std::string good = ReadBytes(TagsFile());
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    tree.CloseTree();
    EXPECT_EQ(ReadBytes(TagsFile()), good);

    WriteBytes(TagsFile().string() + "~", good);
    WriteBytes(TagsFile(), good.substr(0, good.size() / 2));
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_NE(tree.GetProjectTags().FindTag(u"FOOD"), nullptr);
    EXPECT_EQ(ui.MessageTexts(), Texts{"The file could not be read and was restored from its backup copy:\r\n" +
                                       TagsFile().string()});
    EXPECT_EQ(ReadBytes(TagsFile()), good);
}

TEST_F(TreeFileTest, FolderNamesFromTheFileNeverLeaveTheContentFolder)
{
    WriteTree({"..", "a/b", ".", "ok"});
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(ui.MessageTexts(), Texts{"These folder names can not be used on this system; the folders are left "
                                       "untouched:\r\n..\r\na/b\r\n."});
    RNode* up = tree.GetRoot()->GetChild();
    RNode* ok = up->GetNext()->GetNext()->GetNext();
    std::u16string relative;
    EXPECT_FALSE(tree.GetRelativePath(up, &relative));
    EXPECT_EQ(tree.GetFolderDirectory(up), u"");
    EXPECT_EQ(tree.GetColctFilePath(up), u"");
    EXPECT_EQ(tree.GetFolderDirectory(up->GetNext()), u"");
    EXPECT_EQ(Utf8(tree.GetFolderDirectory(ok)), (content / "ok").string() + "/");

    static_cast<CFolderNode*>(up->GetData())->SetHasPage(true);
    ui.messages.clear();
    EXPECT_EQ(tree.LoadColct(up, true), nullptr);
    EXPECT_EQ(tree.EnsureColct(up), nullptr);
    EXPECT_FALSE(tree.RefreshColct(up));
    EXPECT_EQ(tree.CreateFolder(up), nullptr);
    EXPECT_FALSE(tree.RenameFolder(up, u"fine"));
    EXPECT_FALSE(tree.MoveFolder(up, ok, true));
    EXPECT_FALSE(fs::exists(content.parent_path() / ".zandrel"));
    EXPECT_FALSE(fs::exists(content.parent_path() / "fine"));
    // The folders stay in the tree file as they were.
    tree.CloseTree();
    EXPECT_NE(ReadBytes(TreeFile()).find("text=\"a/b\""), std::string::npos);
}

TEST_F(TreeFileTest, RememberedItemPerFolder)
{
    ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
    RNode* a = AddFolder(tree.GetRoot(), u"A");
    CColctNode* colct = tree.EnsureColct(a);
    AddPage(colct, u"link")->SetItemType(ITEM_LINK);
    CUrlNode* first = AddPage(colct, u"first");
    CUrlNode* second = AddPage(colct, u"second");
    ASSERT_TRUE(tree.SaveColct(colct));

    // No record yet: the first page, remembered from now on.
    EXPECT_EQ(tree.ChooseItemToShow(a), first);
    tree.RememberShownItem(colct, second);
    EXPECT_EQ(tree.ChooseItemToShow(a), second);
    // A folder without pages shows nothing and is not remembered.
    EXPECT_EQ(tree.ChooseItemToShow(AddFolder(tree.GetRoot(), u"Empty")), nullptr);
    CColctNode* rootColct = tree.EnsureColct(tree.GetRoot());
    CUrlNode* homePage = AddPage(rootColct, u"home");
    ASSERT_TRUE(tree.SaveColct(rootColct));
    tree.RememberShownItem(rootColct, homePage);

    // Renamed, the folder is still found by its new path at the next open.
    ASSERT_TRUE(tree.RenameFolder(a, u"Renamed"));
    tree.CloseTree();
    std::string recent = ReadBytes(content / ".zandrel" / "krv_recent.xml");
    EXPECT_NE(recent.find("<url>Renamed/</url>\r\n<item>second</item>"), std::string::npos) << recent;
    ASSERT_TRUE(tree.LoadFolderTree(u"Notes"));
    RNode* renamed = tree.GetRoot()->GetChild();
    CUrlNode* shown = tree.ChooseItemToShow(renamed);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(Utf8(shown->GetName()), "second");
    EXPECT_EQ(Utf8(tree.ChooseItemToShow(tree.GetRoot())->GetName()), "home");  // the root's address is empty

    // A remembered item that is gone gives the collection's first item,
    // whatever its kind.
    CColctNode* loaded = tree.LoadColct(renamed, false);
    RNode* secondRecord = loaded->GetFirstRNode()->GetNext()->GetNext();
    RNTool::RemoveOneChild(loaded->GetLocRNodeRoot(), secondRecord);
    RNTool::DeleteTree(secondRecord);
    EXPECT_EQ(Utf8(tree.ChooseItemToShow(renamed)->GetName()), "link");

    // A record keeps its folder: another folder now at the same path gets
    // its own record, and a forgotten folder leaves its record unmatched.
    CRecentColcts& records = tree.GetRecentColcts();
    CFolderNode* other = CFolderNode::New();
    EXPECT_EQ(Utf8(records.ChooseItem(other, u"Renamed/", loaded)->GetName()), "first");
    EXPECT_EQ(Utf8(tree.ChooseItemToShow(renamed)->GetName()), "link");
    int count = CListTool::Count(records.GetHead());
    records.ForgetFolder(other);
    EXPECT_EQ(CListTool::Count(records.GetHead()), count);
    EXPECT_EQ(CListTool::GetTail(records.GetHead())->GetData()->GetStoredFolderNode(), nullptr);
    CBaseNode::Delete(other);
}

}  // namespace
