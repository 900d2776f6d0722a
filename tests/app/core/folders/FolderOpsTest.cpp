// Creating, renaming, moving and removing folders: the directories on disk,
// the tree file, the tag store, and every message with its exact text.

#include "tests/app/core/folders/FolderTestUtil.h"

#include "base/model/CTagStore.h"
#include "base/tools/CSysString.h"
#include "base/xml/CReadFolderTreeOPML.h"
#include "base/xml/CWriteFolderTreeOPML.h"

namespace {

const std::string kChars = "A folder name cannot contain any of the following characters:\n\t\\ / : * ? \" < > |";

class FolderOpsTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        root = tree.GetRoot();
    }

    std::vector<std::string> TagPaths(const char16_t* tag)
    {
        std::vector<std::string> paths;
        CTagItem* item = tree.GetProjectTags().FindTag(tag);
        for (RBstrItem* u = item ? item->GetUrlList() : nullptr; u; u = u->GetNext())
            paths.push_back(Utf8(u->GetData()));
        return paths;
    }

    RNode* root = nullptr;
};

TEST_F(FolderOpsTest, TypingAForbiddenCharacterTakesItOutAndSaysSoOnce)
{
    ui.names.push_back({u"a/"});
    RNode* folder = tree.CreateFolder();
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(ui.typedTexts, (std::vector<std::string>{"a", "a"}));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{kChars});
    EXPECT_EQ(Utf8(folder->GetData()->GetName()), "a");
    EXPECT_TRUE(fs::is_directory(content / "a"));
    EXPECT_EQ(ui.shownFolder, folder);
    EXPECT_EQ(tree.GetCurrentFolder(), folder);
    EXPECT_EQ(ui.pageClears, 1);

    // Written at once: a fresh manager reads the new folder back.
    CFolderTreeMgr again;
    again.LoadFolderTree(u"Notes");
    RNode* child = again.GetRoot()->GetChild();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(Utf8(child->GetData()->GetName()), "a");
    again.CloseTree();
}

TEST_F(FolderOpsTest, NewFolderNamesAreCheckedOnOk)
{
    AddFolder(root, u"docs");
    // Each list is typed and confirmed in turn until one is taken.
    ui.names.push_back({u"   ", u"Docs", u"..", std::u16string(200, u'x'), u"  Wo:rk  "});
    RNode* folder = tree.CreateFolder(root);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(Utf8(folder->GetData()->GetName()), "Work");
    std::vector<std::string> texts = ui.MessageTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], "Name can not be empty.");
    EXPECT_EQ(texts[1], "The same name already exits. Please choose another one.");
    EXPECT_EQ(texts[2], "A folder name cannot be \".\" or \"..\".");
    EXPECT_EQ(texts[3], "A folder name must be shorter than 200 characters.");
    // Typed, the colon is taken out at once.
    EXPECT_EQ(texts[4], kChars);
    EXPECT_FALSE(fs::exists(content / "Docs"));
}

TEST_F(FolderOpsTest, ExistingDirectoryIsAdoptedAndABlockedOneIsReported)
{
    WriteBytes(content / "Docs" / "old.htm", "<p>kept</p>");
    ui.names.push_back({u"Docs"});
    RNode* docs = tree.CreateFolder(root);
    ASSERT_NE(docs, nullptr);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ReadBytes(content / "Docs" / "old.htm"), "<p>kept</p>");

    WriteBytes(content / "Blocked", "a file, not a folder");
    ui.names.push_back({u"Blocked"});
    EXPECT_EQ(tree.CreateFolder(root), nullptr);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Can not create the following folder:\n" +
                                                          (content / "Blocked").string()});
    EXPECT_EQ(root->GetChild()->GetNext(), nullptr);
}

TEST_F(FolderOpsTest, CreateStopsWhenThePageIsNotLeftOrTheDialogCancelled)
{
    SetLeavePageHook([] { return false; });
    EXPECT_EQ(tree.CreateFolder(), nullptr);
    SetLeavePageHook(nullptr);
    ui.names.push_back({});
    EXPECT_EQ(tree.CreateFolder(), nullptr);
    EXPECT_EQ(root->GetChild(), nullptr);
}

TEST_F(FolderOpsTest, RenameChangesDirectoryNameTreeAndTaggedPaths)
{
    RNode* recipes = AddFolder(root, u"Recipes");
    RNode* sub = AddFolder(recipes, u"Sub");
    AddFolder(root, u"Recipes2");
    CProjectTags& tags = tree.GetProjectTags();
    tags.AddTag(u"food", u"Recipes/a.htm");
    tags.AddTag(u"food", u"Recipes\\Sub\\b.htm");
    tags.AddTag(u"food", u"Recipes2/c.htm");
    tree.SetCurrentFolder(recipes);

    // Only the case changes: the name test is exact, the sibling test not.
    ASSERT_TRUE(tree.RenameFolder(recipes, u"recipes"));
    EXPECT_TRUE(fs::is_directory(content / "recipes" / "Sub"));
    EXPECT_FALSE(fs::exists(content / "Recipes"));
    EXPECT_EQ(TagPaths(u"food"), (std::vector<std::string>{"recipes/a.htm", "recipes/Sub/b.htm", "Recipes2/c.htm"}));
    EXPECT_EQ(ui.titles, std::vector<std::string>{"recipes"});
    EXPECT_EQ(Utf8(tree.GetRelativePath(sub)), "recipes/Sub/");
    // Both files were written.
    EXPECT_NE(ReadBytes(TreeFile()).find("text=\"recipes\""), std::string::npos);
    EXPECT_NE(ReadBytes(TagsFile()).find("<url>recipes/Sub/b.htm</url>"), std::string::npos);

    // A renamed folder that is not current leaves the title alone.
    ASSERT_TRUE(tree.RenameFolder(sub, u"Desserts"));
    EXPECT_EQ(ui.titles.size(), 1u);
    EXPECT_EQ(TagPaths(u"food")[1], "recipes/Desserts/b.htm");
}

TEST_F(FolderOpsTest, RenameRefusals)
{
    RNode* a = AddFolder(root, u"A");
    AddFolder(root, u"B");
    // Silent refusals.
    EXPECT_FALSE(tree.RenameFolder(a, u""));
    EXPECT_FALSE(tree.RenameFolder(a, u"A"));
    EXPECT_FALSE(tree.RenameFolder(a, std::u16string(200, u'n')));
    EXPECT_FALSE(tree.RenameFolder(root, u"Other"));
    EXPECT_FALSE(tree.RenameFolder(a, u"b"));
    EXPECT_TRUE(ui.messages.empty());

    EXPECT_FALSE(tree.RenameFolder(a, u"x|y"));
    EXPECT_FALSE(tree.RenameFolder(a, u".."));
    fs::create_directories(content / "Taken");
    EXPECT_FALSE(tree.RenameFolder(a, u"Taken"));
    RNode* missing = AddFolder(root, u"Missing", false);
    EXPECT_FALSE(tree.RenameFolder(missing, u"Found"));
    // 199 characters of three UTF-8 bytes each: too long for the file system.
    EXPECT_FALSE(tree.RenameFolder(a, std::u16string(199, u'\u65e5')));
    std::vector<std::string> texts = ui.MessageTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], kChars);
    EXPECT_EQ(texts[1], "A folder name cannot be \".\" or \"..\".");
    EXPECT_EQ(texts[2], "The folder already exists. Please create a new one.");
    EXPECT_EQ(texts[3], "The folder path is incorrect. Please check the file system.");
    EXPECT_EQ(texts[4], "Could not change folder name. Code=0X00000024");
    EXPECT_EQ(Utf8(a->GetData()->GetName()), "A");
    EXPECT_TRUE(fs::is_directory(content / "A"));
}

TEST_F(FolderOpsTest, MoveCarriesDirectoryAndTaggedPaths)
{
    RNode* a = AddFolder(root, u"A");
    RNode* b = AddFolder(root, u"B");
    RNode* c = AddFolder(root, u"C");
    WriteBytes(content / "A" / "page.htm", "page");
    tree.GetProjectTags().AddTag(u"t", u"A/page.htm");

    ASSERT_TRUE(tree.MoveFolder(a, b, true));
    EXPECT_EQ(a->GetParent(), b);
    EXPECT_EQ(ReadBytes(content / "B" / "A" / "page.htm"), "page");
    EXPECT_EQ(TagPaths(u"t"), std::vector<std::string>{"B/A/page.htm"});

    // After a target under another parent: the directory moves as well.
    ASSERT_TRUE(tree.MoveFolder(a, c, false));
    EXPECT_EQ(c->GetNext(), a);
    EXPECT_TRUE(fs::is_directory(content / "A"));
    EXPECT_EQ(TagPaths(u"t"), std::vector<std::string>{"A/page.htm"});

    // Reordering under the same parent touches no directory.
    ASSERT_TRUE(tree.MoveFolder(a, root->GetChild(), false));
    EXPECT_EQ(root->GetChild()->GetNext(), a);
    EXPECT_TRUE(fs::is_directory(content / "A"));
    EXPECT_TRUE(ui.messages.empty());

    CFolderTreeMgr again;
    again.LoadFolderTree(u"Notes");
    RNode* first = again.GetRoot()->GetChild();
    EXPECT_EQ(Utf8(first->GetNext()->GetData()->GetName()), "A");
    again.CloseTree();
}

TEST_F(FolderOpsTest, MoveRefusals)
{
    RNode* a = AddFolder(root, u"A");
    RNode* inner = AddFolder(a, u"Inner");
    RNode* b = AddFolder(root, u"B");
    fs::create_directories(content / "B" / "A");
    EXPECT_FALSE(tree.MoveFolder(a, b, true));
    // Into itself or below itself: nothing to say, nothing done.
    EXPECT_FALSE(tree.MoveFolder(a, inner, true));
    EXPECT_FALSE(tree.MoveFolder(a, a, true));
    EXPECT_FALSE(tree.MoveFolder(root, b, true));
    fs::remove(content / "B" / "A");
    fs::remove_all(content / "A");
    EXPECT_FALSE(tree.MoveFolder(a, b, true));
    std::vector<std::string> texts = ui.MessageTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "The following folder already exists:\n" + (content / "B" / "A").string());
    EXPECT_EQ(texts[1], "Could not change folder name. Code=0X00000002");
    EXPECT_EQ(a->GetParent(), root);
}

TEST_F(FolderOpsTest, RemoveKeepsFilesDropsTagsAndRecreatingAdoptsThem)
{
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

    ui.confirmations.push_back(false);
    EXPECT_FALSE(tree.RemoveFolder(a));
    EXPECT_EQ(root->GetChild(), a);

    ui.confirmations.push_back(true);
    ASSERT_TRUE(tree.RemoveFolder(a));
    ASSERT_EQ(ui.confirms.size(), 2u);
    EXPECT_EQ(Utf8(ui.confirms[1].title), "Confirm Folder Removal");
    EXPECT_EQ(Utf8(ui.confirms[1].text), "Are you sure you want to remove this folder?");
    EXPECT_EQ(Utf8(ui.confirms[1].name), "A");
    EXPECT_EQ(tree.GetCurrentFolder(), root);
    EXPECT_EQ(tags.FindTag(u"gone"), nullptr);
    EXPECT_EQ(TagPaths(u"kept"), std::vector<std::string>{"AB/q.htm"});
    EXPECT_EQ(ReadBytes(TagsFile()).find("A/Inner"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(ColctFile(content / "A" / "Inner")));

    ui.names.push_back({u"A"});
    RNode* again = tree.CreateFolder(root);
    ASSERT_NE(again, nullptr);
    ui.names.push_back({u"Inner"});
    RNode* innerAgain = tree.CreateFolder(again);
    CColctNode* adopted = tree.EnsureColct(innerAgain);
    EXPECT_EQ(ItemNames(adopted), std::vector<std::string>{"p1"});
}

TEST_F(FolderOpsTest, RootCannotBeRemoved)
{
    EXPECT_FALSE(tree.RemoveFolder(root));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Can not remove Root Folder."});
    EXPECT_TRUE(ui.confirms.empty());
}

TEST_F(FolderOpsTest, ConfirmationTexts)
{
    RNode* a = AddFolder(root, u"A");
    CConfirmation folder = CFolderTreeMgr::GetRemoveConfirmation(a);
    EXPECT_EQ(Utf8(folder.title), "Confirm Folder Removal");
    EXPECT_TRUE(folder.okEnabled);

    CConfirmation top = CFolderTreeMgr::GetRemoveConfirmation(root);
    EXPECT_EQ(Utf8(top.title), "Confirm Folder Removal");
    EXPECT_EQ(Utf8(top.text), "  You can not remove the root Folder!");
    EXPECT_FALSE(top.okEnabled);
    EXPECT_EQ(Utf8(top.cancelCaption), "Close");
    EXPECT_EQ(Utf8(top.name), "Notes");

    CUrlNode* page = CUrlNode::New();
    page->SetName(u"Page");
    RNode* item = RNode::New2(page, NT_URL);
    CConfirmation itemQuestion = CFolderTreeMgr::GetRemoveConfirmation(item);
    EXPECT_EQ(Utf8(itemQuestion.title), "Confirm Item Deletion");
    EXPECT_EQ(Utf8(itemQuestion.text), "Are you sure you want to delete this item?");
    EXPECT_EQ(Utf8(itemQuestion.name), "Page");
    RNTool::DeleteTree(item);

    CColctNode* colct = CColctNode::New();
    RNode* colctRecord = RNode::New2(colct, NT_COLCT);
    CConfirmation colctQuestion = CFolderTreeMgr::GetRemoveConfirmation(colctRecord);
    EXPECT_EQ(Utf8(colctQuestion.title), "Confirm Collection Removal");
    EXPECT_EQ(Utf8(colctQuestion.text), "Are you sure you want to remove this Collection?");
    RNTool::DeleteTree(colctRecord);
}

TEST_F(FolderOpsTest, TreeCommands)
{
    RNode* a = AddFolder(root, u"A");
    EXPECT_TRUE(tree.OnTreeCommand(CFolderTreeMgr::ID_FOLDER_SHOW, a));
    EXPECT_EQ(ui.opened, std::vector<std::string>{"show " + (content / "A").string() + "/"});

    ui.names.push_back({u"New"});
    EXPECT_TRUE(tree.OnTreeCommand(32803, a));
    EXPECT_EQ(Utf8(a->GetChild()->GetData()->GetName()), "New");

    ui.confirmations.push_back(true);
    EXPECT_TRUE(tree.OnTreeCommand(32807, a->GetChild()));
    EXPECT_EQ(a->GetChild(), nullptr);

    WriteBytes(content / "A" / "x.htm", "x");
    tree.SetCurrentFolder(a);
    EXPECT_TRUE(tree.OnTreeCommand(32865));
    EXPECT_EQ(ItemNames(static_cast<CFolderNode*>(a->GetData())->GetColctNode()), std::vector<std::string>{"x"});

    EXPECT_FALSE(tree.OnTreeCommand(32804, a));
}

// Folders nest one element per level in the tree file, and its reader
// gives up a little above 250 levels: every tree the manager allows must
// read back whole.
TEST_F(FolderOpsTest, DepthStaysWithinWhatTheTreeFileReadsBack)
{
    auto readsBack = [](int depth) {
        RNode* top = RNode::New2(CFolderNode::New(), NT_FOLDER);
        top->GetData()->SetName(u"root");
        RNode* last = top;
        for (int i = 0; i < depth; ++i) {
            RNode* next = RNode::New2(CFolderNode::New(), NT_FOLDER);
            next->GetData()->SetName(u"f");
            RNTool::InsertAsChild(last, next);
            last = next;
        }
        CWriteFolderTreeOPML writer;
        writer.SetTreeRoot(top);
        char16_t* text = writer.GetXMLBSTR();
        CReadFolderTreeOPML reader;
        bool ok = text && reader.LoadBSTRXML(text);
        CSysString::Free(text);
        RNode* read = ok ? reader.DetachTreeRoot() : nullptr;
        int levels = -2;  // the file's head record and the root folder
        for (RNode* r = read; r; r = r->GetChild())
            ++levels;
        RNTool::DeleteTree(read);
        RNTool::DeleteTree(top);
        return levels == depth;
    };
    int limit = 0;
    while (limit < 1000 && readsBack(limit + 1))
        ++limit;
    EXPECT_LT(limit, 1000);
    EXPECT_LE(CFolderTreeMgr::kMaxDepth + 10, limit) << "deepest tree that reads back: " << limit;
    RecordProperty("deepest_readable_tree", limit);

    RNode* last = root;
    for (int i = 0; i < CFolderTreeMgr::kMaxDepth; ++i)
        last = AddFolder(last, u"d", false);
    EXPECT_EQ(tree.CreateFolder(last), nullptr);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Folders can not be nested more than 200 levels deep."});
    // A sub-tree moved under the deepest allowed folder would end up too deep.
    RNode* other = AddFolder(root, u"Other");
    AddFolder(other, u"Child");
    EXPECT_FALSE(tree.MoveFolder(other, last->GetParent(), true));
    EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
