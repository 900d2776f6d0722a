// Creating, renaming, moving and removing folders: the directories on disk,
// the tree file, the tag store, and every message with its exact text.

#include "tests/app/core/folders/FolderTestUtil.h"

#include "app/core/CCommandTable.h"
#include "base/model/TList.h"

namespace {

const std::string kChars = "A folder name cannot contain any of the following characters:\n\t\\ / : * ? \" < > |";
const std::string kDots = "A folder name cannot be \".\" or \"..\".";
// The tags and their page counts, in store order.
Texts Tags(const CProjectTags& tags)
{
    Texts names;
    for (RTagItem* r = tags.GetStore()->GetTagItemHead(); r; r = r->GetNext())
        names.push_back(Utf8(r->GetData()->GetName()) + "=" + std::to_string(r->GetData()->GetCount()));
    return names;
}

class FolderOpsTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        root = tree.GetRoot();
    }

    RNode* root = nullptr;
};

TEST_F(FolderOpsTest, CreateChecksTheNameAndTheDirectory)
{
    // Typed, a forbidden character is taken out at once and said once.
    ui.names = {{u"a/"}};
    RNode* a = tree.CreateFolder();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(ui.typedTexts, (Texts{"a", "a"}));
    EXPECT_EQ(Utf8(a->GetData()->GetName()), "a");
    EXPECT_TRUE(fs::is_directory(content / "a"));
    EXPECT_EQ(ui.shownFolder, a);
    EXPECT_EQ(tree.GetCurrentFolder(), a);
    EXPECT_EQ(ui.pageClears, 1);
    EXPECT_NE(ReadBytes(TreeFile()).find("text=\"a\""), std::string::npos);  // written at once

    // Each list is typed and confirmed in turn until one is taken; an
    // existing directory is taken over as it is.
    WriteBytes(content / "Old" / "old.htm", "<p>kept</p>");
    WriteBytes(content / "Blocked", "a file, not a folder");
    ui.names = {{u"   ", u"A", u"..", std::u16string(200, u'x'), u"  Wo:rk  "}, {u"Old"}, {u"Blocked"}, {}};
    RNode* work = tree.CreateFolder(root);
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(Utf8(work->GetData()->GetName()), "Work");
    EXPECT_NE(tree.CreateFolder(root), nullptr);
    EXPECT_EQ(ReadBytes(content / "Old" / "old.htm"), "<p>kept</p>");
    EXPECT_EQ(tree.CreateFolder(root), nullptr);
    SetLeavePageHook([] { return false; });  // the page is not left: no dialog
    EXPECT_EQ(tree.CreateFolder(), nullptr);
    SetLeavePageHook(nullptr);
    EXPECT_EQ(tree.CreateFolder(), nullptr);  // cancelled
    EXPECT_EQ(ui.MessageTexts(), (Texts{kChars, "Name can not be empty.",
                                        "The same name already exits. Please choose another one.", kDots,
                                        "A folder name must be shorter than 200 characters.", kChars,
                                        "Can not create the following folder:\n" + (content / "Blocked").string()}));
    EXPECT_EQ(CListTool::Count(root->GetChild()), 3);
    EXPECT_EQ(a->GetChild(), nullptr);
}

TEST_F(FolderOpsTest, RenameAndMoveCarryDirectoriesAndTaggedPaths)
{
    RNode* recipes = AddFolder(root, u"Recipes");
    RNode* sub = AddFolder(recipes, u"Sub");
    RNode* other = AddFolder(root, u"Recipes2");
    WriteBytes(content / "Recipes" / "Sub" / "b.htm", "page");
    CProjectTags& tags = tree.GetProjectTags();
    tags.AddTag(u"food", u"Recipes/a.htm");
    tags.AddTag(u"food", u"Recipes\\Sub\\b.htm");
    tags.AddTag(u"food", u"Recipes2/c.htm");
    tree.SetCurrentFolder(recipes);

    // Only the case changes: the name test is exact, the sibling test not.
    ASSERT_TRUE(tree.RenameFolder(recipes, u"recipes"));
    EXPECT_TRUE(fs::is_directory(content / "recipes" / "Sub"));
    EXPECT_FALSE(fs::exists(content / "Recipes"));
    EXPECT_EQ(TagPaths(u"food"), (Texts{"recipes/a.htm", "recipes/Sub/b.htm", "Recipes2/c.htm"}));
    EXPECT_EQ(ui.titles, Texts{"recipes"});
    EXPECT_EQ(Utf8(tree.GetRelativePath(sub)), "recipes/Sub/");
    EXPECT_NE(ReadBytes(TreeFile()).find("text=\"recipes\""), std::string::npos);
    EXPECT_NE(ReadBytes(TagsFile()).find("<url>recipes/Sub/b.htm</url>"), std::string::npos);
    // A renamed folder that is not current leaves the title alone.
    ASSERT_TRUE(tree.RenameFolder(sub, u"Desserts"));
    EXPECT_EQ(ui.titles.size(), 1u);
    EXPECT_EQ(TagPaths(u"food")[1], "recipes/Desserts/b.htm");

    // Moved as a child, or after a target, under another parent: the
    // directory goes along.
    ASSERT_TRUE(tree.MoveFolder(sub, other, true));
    EXPECT_EQ(sub->GetParent(), other);
    EXPECT_EQ(ReadBytes(content / "Recipes2" / "Desserts" / "b.htm"), "page");
    EXPECT_EQ(TagPaths(u"food")[1], "Recipes2/Desserts/b.htm");
    ASSERT_TRUE(tree.MoveFolder(sub, recipes, false));
    EXPECT_EQ(recipes->GetNext(), sub);
    EXPECT_TRUE(fs::is_directory(content / "Desserts"));
    EXPECT_EQ(TagPaths(u"food")[1], "Desserts/b.htm");
    // Reordering under the same parent touches no directory.
    ASSERT_TRUE(tree.MoveFolder(sub, other, false));
    EXPECT_EQ(other->GetNext(), sub);
    EXPECT_TRUE(fs::is_directory(content / "Desserts"));
    std::string file = ReadBytes(TreeFile());
    EXPECT_LT(file.find("text=\"Recipes2\""), file.find("text=\"Desserts\""));
    EXPECT_NE(ReadBytes(TagsFile()).find("<url>Desserts/b.htm</url>"), std::string::npos);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FolderOpsTest, RenameAndMoveRefusals)
{
    RNode* a = AddFolder(root, u"A");
    RNode* b = AddFolder(root, u"B");
    RNode* inner = AddFolder(a, u"Inner");
    fs::create_directories(content / "Taken");
    RNode* missing = AddFolder(root, u"Missing", false);
    const struct {
        RNode* folder;
        std::u16string name;
        std::string message;  // empty: refused without a word
    } cases[] = {
        {a, u"", ""},
        {a, u"A", ""},
        {a, std::u16string(200, u'n'), ""},
        {root, u"Other", ""},
        {a, u"b", ""},
        {a, u"x|y", kChars},
        {a, u"..", kDots},
        {a, u"Taken", "The folder already exists. Please create a new one."},
        {missing, u"Found", "The folder path is incorrect. Please check the file system."},
        // 199 characters of three UTF-8 bytes each: too long for the file system.
        {a, std::u16string(199, u'\u65e5'), "Could not change folder name. Code=0X00000024"},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        EXPECT_FALSE(tree.RenameFolder(c.folder, c.name)) << Utf8(c.name);
        EXPECT_EQ(ui.MessageTexts(), c.message.empty() ? Texts{} : Texts{c.message}) << Utf8(c.name);
    }
    EXPECT_EQ(Utf8(a->GetData()->GetName()), "A");
    EXPECT_TRUE(fs::is_directory(content / "A"));

    // Moves: a directory in the way, into or below itself, the root, a
    // directory that has gone.
    ui.messages.clear();
    fs::create_directories(content / "B" / "A");
    EXPECT_FALSE(tree.MoveFolder(a, b, true));
    EXPECT_FALSE(tree.MoveFolder(a, inner, true));
    EXPECT_FALSE(tree.MoveFolder(a, a, true));
    EXPECT_FALSE(tree.MoveFolder(root, b, true));
    fs::remove(content / "B" / "A");
    fs::remove_all(content / "A");
    EXPECT_FALSE(tree.MoveFolder(a, b, true));
    EXPECT_EQ(ui.MessageTexts(), (Texts{"The following folder already exists:\n" + (content / "B" / "A").string(),
                                        "Could not change folder name. Code=0X00000002"}));
    EXPECT_EQ(a->GetParent(), root);
}

TEST_F(FolderOpsTest, RemoveKeepsFilesDropsTagsAndRecreatingAdoptsThem)
{
    // The root cannot go; its question has no OK. Items and collections
    // have questions of their own.
    EXPECT_FALSE(tree.RemoveFolder(root));
    EXPECT_EQ(ui.MessageTexts(), Texts{"Can not remove Root Folder."});
    CConfirmation top = CFolderTreeMgr::GetRemoveConfirmation(root);
    EXPECT_EQ((Texts{Utf8(top.text), Utf8(top.cancelCaption)}), (Texts{"  You can not remove the root Folder!", "Close"}));
    EXPECT_FALSE(top.okEnabled);
    RNode* item = RNode::New2(CUrlNode::New(), NT_URL);
    RNode* list = RNode::New2(CColctNode::New(), NT_COLCT);
    CConfirmation forItem = CFolderTreeMgr::GetRemoveConfirmation(item);
    CConfirmation forList = CFolderTreeMgr::GetRemoveConfirmation(list);
    EXPECT_EQ((Texts{Utf8(forItem.title), Utf8(forItem.text), Utf8(forList.title), Utf8(forList.text)}),
              (Texts{"Confirm Item Deletion", "Are you sure you want to delete this item?", "Confirm Collection Removal",
                     "Are you sure you want to remove this Collection?"}));
    RNTool::DeleteTree(item);
    RNTool::DeleteTree(list);

    RNode* a = AddFolder(root, u"A");
    RNode* inner = AddFolder(a, u"Inner");
    AddFolder(root, u"AB");
    CColctNode* colct = tree.EnsureColct(inner);
    ASSERT_NE(colct, nullptr);
    AddPage(colct, u"p1");
    ASSERT_TRUE(tree.SaveColct(colct));
    CProjectTags& tags = tree.GetProjectTags();
    tags.AddTag(u"gone", u"A/Inner/p1.htm");
    tags.AddTag(u"kept", u"A/Inner/p1.htm");
    tags.AddTag(u"kept", u"AB/q.htm");
    tree.SetCurrentFolder(inner);

    ui.confirmations = {false, true};
    EXPECT_FALSE(tree.RemoveFolder(a));
    EXPECT_EQ(root->GetChild(), a);
    ASSERT_TRUE(tree.RemoveFolder(a));
    ASSERT_EQ(ui.confirms.size(), 2u);
    EXPECT_EQ((Texts{Utf8(ui.confirms[1].title), Utf8(ui.confirms[1].text), Utf8(ui.confirms[1].name)}),
              (Texts{"Confirm Folder Removal", "Are you sure you want to remove this folder?", "A"}));
    EXPECT_EQ(tree.GetCurrentFolder(), root);
    EXPECT_EQ(tags.FindTag(u"gone"), nullptr);
    EXPECT_EQ(TagPaths(u"kept"), Texts{"AB/q.htm"});
    EXPECT_EQ(ReadBytes(TagsFile()).find("A/Inner"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(ColctFile(content / "A" / "Inner")));

    ui.names = {{u"A"}, {u"Inner"}};
    RNode* again = tree.CreateFolder(root);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(ItemNames(tree.EnsureColct(tree.CreateFolder(again))), Texts{"p1"});
}

TEST_F(FolderOpsTest, TreeCommands)
{
    RNode* a = AddFolder(root, u"A");
    EXPECT_TRUE(tree.OnTreeCommand(CCommandTable::ID_FOLDER_SHOW, a));
    EXPECT_EQ(ui.opened, Texts{"show " + (content / "A").string() + "/"});
    ui.names = {{u"New"}};
    ui.confirmations = {true};
    EXPECT_TRUE(tree.OnTreeCommand(32803, a));
    EXPECT_EQ(Utf8(a->GetChild()->GetData()->GetName()), "New");
    EXPECT_TRUE(tree.OnTreeCommand(32807, a->GetChild()));
    EXPECT_EQ(a->GetChild(), nullptr);
    WriteBytes(content / "A" / "x.htm", "x");
    tree.SetCurrentFolder(a);
    EXPECT_TRUE(tree.OnTreeCommand(32865));
    EXPECT_EQ(ItemNames(static_cast<CFolderNode*>(a->GetData())->GetColctNode()), Texts{"x"});
    EXPECT_FALSE(tree.OnTreeCommand(32804, a));
}

// Folders nest one element per level in the tree file, and its reader
// gives up a little above 250 levels: every tree the manager allows must
// read back whole, with room to spare.
TEST_F(FolderOpsTest, DepthStaysWithinWhatTheTreeFileReadsBack)
{
    RNode* last = root;
    for (int i = 0; i < CFolderTreeMgr::kMaxDepth; ++i)
        last = AddFolder(last, u"d", false);
    EXPECT_EQ(tree.CreateFolder(last), nullptr);
    // A sub-tree moved under the deepest allowed folder would end up too deep.
    RNode* other = AddFolder(root, u"Other");
    AddFolder(other, u"Child");
    EXPECT_FALSE(tree.MoveFolder(other, last->GetParent(), true));
    const std::string deep = "Folders can not be nested more than 200 levels deep.";
    EXPECT_EQ(ui.MessageTexts(), (Texts{deep, deep}));

    for (int i = 0; i < 10; ++i)
        last = AddFolder(last, u"d", false);
    ASSERT_TRUE(tree.SaveFolderTree());
    CFolderTreeMgr again;
    ASSERT_TRUE(again.LoadFolderTree(u"Notes"));
    int levels = -1;
    for (RNode* r = again.GetRoot(); r; r = r->GetChild())
        ++levels;
    EXPECT_EQ(levels, CFolderTreeMgr::kMaxDepth + 10);
    again.CloseTree();
}

// The project's tag store: one tag whatever its case, pages leaving tags,
// folder paths rewritten, and the store read back from its file.
using ProjectTagsTest = FolderTest;

TEST_F(ProjectTagsTest, OneTagWhateverItsCaseAndReadBack)
{
    CProjectTags tags;
    ASSERT_TRUE(tags.Reset());
    EXPECT_TRUE(tags.AddTag(u"Food", u"a.htm"));
    EXPECT_TRUE(tags.AddTag(u"FOOD", u"B\\b.htm"));
    EXPECT_FALSE(tags.AddTag(u"food", u"A.HTM"));  // the same page
    EXPECT_FALSE(tags.AddTag(u"food", u"about:blank"));
    EXPECT_EQ(Tags(tags), Texts{"Food=2"});
    EXPECT_EQ(Utf8(tags.FindTag(u"fOoD")->GetUrlList()->GetNext()->GetData()), "B/b.htm");

    EXPECT_TRUE(tags.AddTag(u"Drink", u"a.htm"));
    EXPECT_FALSE(tags.RenameTag(u"drink", u"food"));  // would be two tags of one name
    EXPECT_TRUE(tags.RenameTag(u"drink", u"Drinks"));
    EXPECT_EQ(tags.FindTag(u"drink"), nullptr);
    EXPECT_TRUE(tags.RemoveTag(u"DRINKS", u"a.htm"));
    EXPECT_EQ(tags.FindTag(u"drinks"), nullptr);
    EXPECT_TRUE(tags.RemoveTag(u"food", u"B/b.htm"));
    EXPECT_FALSE(tags.RemoveTag(u"food", u"missing.htm"));
    EXPECT_EQ(Tags(tags), Texts{"Food=1"});

    // A tag that was dropped and comes again is a new tag, found again.
    EXPECT_EQ(tags.RemovePath(u"A.htm"), 1);
    EXPECT_EQ(tags.GetStore()->GetTagItemHead(), nullptr);
    EXPECT_TRUE(tags.AddTag(u"food", u"c.htm"));
    EXPECT_EQ(Tags(tags), Texts{"food=1"});

    // Folder paths are rewritten and removed as a whole; the whole project
    // is never one folder's prefix.
    tags.AddTag(u"t", u"A/x.htm");
    tags.AddTag(u"t", u"AB/y.htm");
    tags.AddTag(u"u", u"A/Sub/z.htm");
    EXPECT_EQ(tags.RewritePaths(u"A/", u"C/D/"), 2);
    EXPECT_EQ(tags.RemovePathsUnder(u"C/"), 2);
    EXPECT_EQ(tags.RemovePathsUnder(u""), 0);
    EXPECT_EQ(tags.RewritePaths(u"", u"X/"), 0);
    EXPECT_EQ(Tags(tags), (Texts{"food=1", "t=1"}));

    // Read back from its file, with its index; missing or broken, an empty
    // store to start from.
    tags.AddTag(u"Q&A", u"a.htm");
    tags.AddTag(u"it's", u"b.htm");
    ASSERT_TRUE(tags.Save(U16(TagsFile())));
    EXPECT_FALSE(tags.IsDirty());
    CProjectTags read;
    ASSERT_TRUE(read.Load(U16(TagsFile())));
    EXPECT_EQ(Tags(read), Tags(tags));
    EXPECT_TRUE(read.AddTag(u"q&a", u"c.htm"));
    EXPECT_TRUE(read.IsDirty());
    EXPECT_EQ(read.FindTag(u"Q&a")->GetCount(), 2);
    WriteBytes(TagsFile(), "<krvtags><tag name=");
    ASSERT_TRUE(read.Load(U16(TagsFile())));
    EXPECT_EQ(read.GetStore()->GetTagItemHead(), nullptr);
}

}  // namespace
