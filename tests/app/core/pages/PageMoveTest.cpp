// Moving, deleting and flagging pages, the loaded-address check, and
// addresses from a collection file that are not file names.

#include <glib.h>

#include <chrono>
#include <thread>

#include "tests/app/core/pages/PageTestUtil.h"

namespace {

fs::path s_trashRoot;

// GLib reads the data folder once per process: the trash of this program
// is set before any GLib call, beside the test homes on one file system.
class TrashHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/zandrel-pagetrash-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_trashRoot = pattern;
        setenv("XDG_DATA_HOME", (s_trashRoot / "data").c_str(), 1);
        g_get_user_data_dir();
    }
    void TearDown() override { fs::remove_all(s_trashRoot); }
};

[[maybe_unused]] ::testing::Environment* const s_env = ::testing::AddGlobalTestEnvironment(new TrashHome);

using PageMoveTest = PageTest;

TEST_F(PageMoveTest, MoveFindsAFreeNameAndTakesFilesPicturesAndTags)
{
    CUrlNode* page = AddPage(root, u"Notes", "<img src=\"Notes_files/a.png\">", u"t");
    WriteBytes(content / "Notes_files" / "a.png", "png");
    RNode* target = AddFolder(u"T");
    AddPage(target, u"Notes", "other");
    AddPage(target, u"Notes (2)");
    WriteBytes(Dir(target) / "Notes (3).htm", "");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));

    EXPECT_FALSE(pages->MovePage(page, root));
    ui.answers = {IDYES};
    ASSERT_TRUE(pages->MovePage(page, target));
    const std::string question = "An Item with the same name is already exists.\nIf you continue, we will create a "
                                 "new name for the Page\nDo you want to continue?";
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Please choose a different collection.", question}));
    EXPECT_EQ(Utf8(page->GetName()), "Notes (4)");
    EXPECT_EQ(Utf8(page->GetUrl()), "Notes (4).htm");
    EXPECT_EQ(ReadBytes(Dir(target) / "Notes (4).htm"), "<img src=\"Notes (4)_files/a.png\">");
    EXPECT_EQ(ReadBytes(Dir(target) / "Notes (4)_files" / "a.png"), "png");
    EXPECT_EQ(ReadBytes(Dir(target) / "Notes.htm"), "other");
    EXPECT_FALSE(fs::exists(content / "Notes.htm"));
    EXPECT_EQ(Colct(target)->GetFirstRNode()->GetData(), page);
    EXPECT_EQ(Colct(root)->GetFirstRNode(), nullptr);
    EXPECT_TRUE(Contains(ReadBytes(ColctFile(Dir(target))), "Notes (4).htm"));
    EXPECT_FALSE(Contains(ReadBytes(ColctFile(content)), "Notes"));
    EXPECT_FALSE(Data(root)->HasPage());
    EXPECT_TRUE(Data(target)->HasPage() && Data(target)->HasTag());
    EXPECT_EQ(TagPaths(u"t"), Texts{"T/Notes (4).htm"});
    EXPECT_EQ(pages->GetCurrentPage(), nullptr);
    EXPECT_EQ(ui.pageClears, 1);
    EXPECT_EQ(ui.shownRoot, root);
}

TEST_F(PageMoveTest, MoveRefusalsAndFailuresLeaveThePageWhereItWas)
{
    CUrlNode* page = AddPage(root, u"P", "p");
    RNode* flagged = AddFolder(u"Flagged");
    Data(flagged)->SetHasPage(true);  // but no collection file
    RNode* declined = AddFolder(u"Declined");
    WriteBytes(Dir(declined) / "P.htm", "");
    RNode* fresh = AddFolder(u"Fresh");

    EXPECT_FALSE(pages->MovePage(page, flagged));
    ui.answers = {IDNO};
    EXPECT_FALSE(pages->MovePage(page, declined));
    fs::rename(content / "P.htm", content / "gone.htm");
    EXPECT_FALSE(pages->MovePage(page, fresh));
    EXPECT_EQ(ui.MessageTexts()[0], "TargetFolder has page flag but no collection");
    EXPECT_EQ(ui.MessageTexts()[2], "We can not move the page file to new location.");
    EXPECT_EQ(Colct(root)->GetFirstRNode()->GetData(), page);
    EXPECT_EQ(Utf8(page->GetName()), "P");

    // The target's collection is made on the way.
    fs::rename(content / "gone.htm", content / "P.htm");
    ASSERT_TRUE(pages->MovePage(page, fresh));
    EXPECT_TRUE(Data(fresh)->HasPage());
    EXPECT_EQ(ReadBytes(Dir(fresh) / "P.htm"), "p");
    EXPECT_TRUE(Contains(ReadBytes(ColctFile(Dir(fresh))), "P.htm"));

    // A file of that name without an item of that title is not replaced.
    ui.answers = {IDYES};
    ASSERT_TRUE(pages->MovePage(page, declined));
    EXPECT_EQ(Utf8(page->GetName()), "P (2)");
    EXPECT_EQ(ReadBytes(Dir(declined) / "P (2).htm"), "p");
    EXPECT_EQ(ReadBytes(Dir(declined) / "P.htm"), "");
}

TEST_F(PageMoveTest, DeleteSendsTheFileToTheTrashAndKeepsTheItem)
{
    CUrlNode* page = AddPage(root, u"Gone", "bye", u"t");
    WriteBytes(content / "Gone_files" / "a.png", "png");
    CUrlNode* other = AddPage(root, u"Other", "o");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));

    ui.confirmations = {false, true};
    EXPECT_FALSE(pages->DeletePage(page));
    EXPECT_TRUE(fs::exists(content / "Gone.htm"));
    ASSERT_TRUE(pages->DeletePage(page));
    EXPECT_EQ(ui.confirms[0].title, u"Confirm Item Deletion");
    EXPECT_EQ(ui.confirms[0].text, u"Are you sure you want to delete this item?");
    EXPECT_EQ(ui.confirms[0].name, u"Gone");
    EXPECT_EQ(ui.pageClears, 1);
    EXPECT_EQ(pages->GetCurrentPage(), nullptr);
    EXPECT_TRUE(TagPaths(u"t").empty());
    EXPECT_EQ(pages->GetDeletedItems(), std::vector<CUrlNode*>{page});
    EXPECT_FALSE(Contains(ReadBytes(ColctFile(content)), "Gone"));
    EXPECT_TRUE(Data(root)->HasPage());

    for (int i = 0; i < 1000 && (fs::exists(content / "Gone.htm") || fs::exists(content / "Gone_files")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(fs::exists(content / "Gone.htm"));
    EXPECT_FALSE(fs::exists(content / "Gone_files"));
    EXPECT_EQ(ReadBytes(s_trashRoot / "data" / "Trash" / "files" / "Gone.htm"), "bye");

    // The last page: the folder no longer has pages.
    ui.confirmations = {true};
    ASSERT_TRUE(pages->DeletePage(other));
    EXPECT_FALSE(Data(root)->HasPage());
}

TEST_F(PageMoveTest, FlagsAreWrittenOnlyWhenTheyChange)
{
    CUrlNode* page = AddPage(root, u"P", "p");
    fs::remove(ColctFile(content));
    EXPECT_TRUE(pages->SetFlag(page, 0));
    EXPECT_FALSE(fs::exists(ColctFile(content)));
    EXPECT_FALSE(pages->SetFlag(page, 11));
    EXPECT_TRUE(pages->SetFlag(page, 3));
    EXPECT_EQ(page->GetNodeStat()->GetFlag(), 3);
    EXPECT_TRUE(fs::exists(ColctFile(content)));
}

TEST_F(PageMoveTest, AnotherAddressInTheViewMakesABackupAndAsks)
{
    CUrlNode* page = AddPage(root, u"My page", "mine");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    fs::path file = content / "My page.htm";
    std::string uri = "file://" + file.string();
    uri.replace(uri.find("My page"), 7, "my%20PAGE");
    EXPECT_TRUE(pages->CheckLoadedAddress(Utf16(" " + uri + "#top ")));
    EXPECT_TRUE(ui.messages.empty());

    ui.answers = {IDYES, IDNO};
    EXPECT_FALSE(pages->CheckLoadedAddress(u"https://example.com/x"));
    EXPECT_EQ(ui.MessageTexts(), Texts{"URL loading mismatched\r\n\r\nCurrent Page URL:\t" + file.string() +
                                       "\r\n[backup file has been created]\r\nIncome URL:\thttps://example.com/x"
                                       "\r\n\r\nDo you want to view the content of the Income URL?"});
    EXPECT_EQ(ui.opened, Texts{"https://example.com/x"});
    EXPECT_EQ(ReadBytes(content / "My page.htm.bak"), "mine");
    EXPECT_FALSE(pages->CheckLoadedAddress(u"https://example.com/y"));
    int stamped = 0;
    for (const auto& entry : fs::directory_iterator(content)) {
        std::string name = entry.path().filename().string();
        stamped += name != "My page.htm.bak" && name.rfind("My page.htm.", 0) == 0 && name.size() > 16;
    }
    EXPECT_EQ(stamped, 1);
}

TEST_F(PageMoveTest, AddressesThatAreNotFileNamesAreNeverTouched)
{
    WriteBytes(home.Root() / "outside.htm", "keep");
    CUrlNode* page = AddPage(root, u"Bad");
    page->SetUrl(u"../../../outside.htm");
    RNode* target = AddFolder(u"T");
    EXPECT_FALSE(pages->ShowItem(Colct(root), page));
    EXPECT_FALSE(pages->RenamePage(page, u"New"));
    EXPECT_FALSE(pages->MovePage(page, target));
    EXPECT_FALSE(pages->DeletePage(page));  // not even asked
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Can not get Page file name\n", "Can not resolve page file path.",
                                        "Can not get Page file name\n", "Can not get Page file name\n"}));
    EXPECT_EQ(ReadBytes(home.Root() / "outside.htm"), "keep");
    EXPECT_EQ(Utf8(page->GetName()), "Bad");
}

// A save that cannot be made, also as root: a directory where its "~"
// copy goes.
fs::path BlockSave(const fs::path& file)
{
    fs::path blocker = file.string() + "~";
    fs::create_directories(blocker / "taken");
    return blocker;
}

TEST_F(PageMoveTest, AMoveWithAFailedSaveLeavesFilesAndModelAsTheyWere)
{
    const fs::path tagsFile = Utf8(CAppSettings::Get()->GetUserFolder().GetTagsFile());
    // Which file of the move cannot be written: the first collection, the
    // second one (after the first was written), the tags file (after both).
    for (int blocked = 0; blocked < 3; ++blocked) {
        SCOPED_TRACE(blocked);
        std::u16string n(1, char16_t(u'0' + blocked));
        RNode* source = AddFolder(u"S" + n);
        RNode* target = AddFolder(u"T" + n);
        AddPage(source, u"Before", "b");
        CUrlNode* page = AddPage(source, u"P", "<img src=\"P_files/a.png\">", (u"t" + n).c_str());
        WriteBytes(Dir(source) / "P_files" / "a.png", "png");
        AddPage(source, u"After", "a");
        AddPage(target, u"P", "other");
        ASSERT_TRUE(tree.SaveColct(Colct(source)) && tree.SaveColct(Colct(target)) && tree.SaveTags());
        const fs::path files[] = {ColctFile(Dir(source)), ColctFile(Dir(target)), tagsFile};
        std::vector<std::string> before;
        for (const fs::path& file : files)
            before.push_back(ReadBytes(file));
        const std::string tagPath = "S" + std::to_string(blocked) + "/P.htm";
        ASSERT_EQ(TagPaths(u"t" + n), Texts{tagPath});

        fs::path blocker = BlockSave(files[blocked]);
        ui.messages.clear();
        ui.answers = {IDYES};
        EXPECT_FALSE(pages->MovePage(page, target));
        fs::remove_all(blocker);

        ASSERT_EQ(ui.messages.size(), 2u);  // the name question, then one failure
        EXPECT_TRUE(Contains(ui.messages[1].text, files[blocked].string()));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(ReadBytes(files[i]), before[i]) << files[i];
        EXPECT_EQ(ReadBytes(Dir(source) / "P.htm"), "<img src=\"P_files/a.png\">");
        EXPECT_EQ(ReadBytes(Dir(source) / "P_files" / "a.png"), "png");
        EXPECT_EQ(ReadBytes(Dir(target) / "P.htm"), "other");
        EXPECT_FALSE(fs::exists(Dir(target) / "P (2).htm"));
        EXPECT_FALSE(fs::exists(Dir(target) / "P (2)_files"));
        EXPECT_EQ(ItemNames(Colct(source)), (Texts{"Before", "P", "After"}));
        EXPECT_EQ(ItemNames(Colct(target)), Texts{"P"});
        EXPECT_EQ(Utf8(page->GetUrl()), "P.htm");
        EXPECT_EQ(TagPaths(u"t" + n), Texts{tagPath});
        EXPECT_FALSE(Data(target)->HasTag());
    }
}

}  // namespace
