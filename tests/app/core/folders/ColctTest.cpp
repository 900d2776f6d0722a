// Collections of folders: loading with its refusals, making one, the
// rebuild from the page files on disk, and saving with its safety copy.

#include "tests/app/core/folders/FolderTestUtil.h"

#include <sys/stat.h>

#include "base/model/CTagStore.h"

namespace {

const char kColctHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
    "xmlns:krv=\"http://www.korvel.com/schema/krv\"><channel>";

class ColctTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        root = tree.GetRoot();
        folder = AddFolder(root, u"F");
        data = static_cast<CFolderNode*>(folder->GetData());
        file = ColctFile(content / "F");
    }

    RNode* root = nullptr;
    RNode* folder = nullptr;
    CFolderNode* data = nullptr;
    fs::path file;
};

TEST_F(ColctTest, LoadRefusesWhatIsNotACollectionOfPages)
{
    data->SetHasPage(true);
    EXPECT_EQ(tree.LoadColct(folder, true), nullptr);  // no file: nothing to say
    EXPECT_TRUE(ui.messages.empty());

    const std::string path = file.string();
    WriteBytes(file, "<rss><channel><item>");
    EXPECT_EQ(tree.LoadColct(folder, true), nullptr);
    WriteBytes(file, std::string(kColctHead) + "<krv:folder><title>G</title></krv:folder></channel></rss>");
    EXPECT_EQ(tree.LoadColct(folder, false), nullptr);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"Can not parse XML file:\r\n" + path,
                                                           "Can not load collection for this folder.\r\n" + path,
                                                           "Normal Collection can not have sub folder:\r\n" + path}));

    ui.messages.clear();
    WriteBytes(file, std::string(kColctHead) + "</channel></rss>");
    CColctNode* empty = tree.LoadColct(folder, true);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(data->GetColctNode(), empty);
    EXPECT_EQ(empty->GetHostFolderNode(), data);
    EXPECT_EQ(tree.LoadColct(folder, true), empty);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ColctTest, WithoutThePageFlagNothingIsRead)
{
    WriteBytes(file, std::string(kColctHead) + "</channel></rss>");
    EXPECT_EQ(tree.LoadColct(folder, true), nullptr);
}

TEST_F(ColctTest, EnsureMakesTheFileSetsTheFlagAndWritesTheTree)
{
    CColctNode* colct = tree.EnsureColct(folder);
    ASSERT_NE(colct, nullptr);
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_TRUE(data->HasPage());
    EXPECT_NE(ReadBytes(TreeFile()).find("<krv:fprop page=\"true\" />"), std::string::npos);
    EXPECT_EQ(tree.EnsureColct(folder), colct);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ColctTest, CollectionThatCannotBeWritten)
{
    // A directory where the file should be: the rename over it fails.
    fs::create_directories(file / "sub");
    EXPECT_EQ(tree.EnsureColct(folder), nullptr);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"Can not create collection for folder:\r\n" + file.string(),
                                                           "Cannot create Collection Node."}));
    EXPECT_FALSE(data->HasPage());
    EXPECT_EQ(data->GetColctNode(), nullptr);
}

TEST_F(ColctTest, DataFolderThatCannotBeMade)
{
    WriteBytes(content / "F" / ".zandrel", "in the way");
    EXPECT_EQ(tree.EnsureColct(folder), nullptr);
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::string>{"Cannot create a folder when that folder already exists.\n" +
                                            (content / "F" / ".zandrel").string(),
                                        "Cannot create Collection Node."}));
}

TEST_F(ColctTest, RefreshTakesPageFilesOnly)
{
    for (const char* name : {"b.HTM", "a.htm", "c.txt", "Thumbs.db", ".htm", "x.html"})
        WriteBytes(content / "F" / name, "page");
    fs::create_directories(content / "F" / "dir.htm");
    WriteBytes(content / "F" / "THUMBS.DB", "");
    tree.SetCurrentFolder(folder);

    EXPECT_TRUE(tree.RefreshColct(folder));
    CColctNode* colct = data->GetColctNode();
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(ItemNames(colct), (std::vector<std::string>{"a", "b"}));
    CUrlNode* b = static_cast<CUrlNode*>(colct->GetFirstRNode()->GetNext()->GetData());
    EXPECT_EQ(Utf8(b->GetUrl()), "b.HTM");
    EXPECT_EQ(b->GetItemType(), ITEM_NOTE);
    EXPECT_EQ(CStringTool::Length(b->GetUUID()), 36u);
    long modified = 0;
    b->GetNodeStat()->GetStatTime(nullptr, &modified, nullptr);
    struct stat st;
    ASSERT_EQ(::stat((content / "F" / "b.HTM").c_str(), &st), 0);
    EXPECT_EQ(modified, static_cast<long>(st.st_mtime));
    EXPECT_TRUE(data->HasPage());
    EXPECT_FALSE(colct->HasNewData());
    EXPECT_NE(ReadBytes(file).find("<link>b.HTM</link>"), std::string::npos);
    EXPECT_EQ(ui.shownColct, colct);

    // Nothing new on disk: nothing changes and nothing is written.
    auto written = fs::last_write_time(file);
    EXPECT_FALSE(tree.RefreshColct(folder));
    EXPECT_EQ(fs::last_write_time(file), written);
}

TEST_F(ColctTest, RefreshMergesWithTheItemsKnown)
{
    CColctNode* colct = tree.EnsureColct(folder);
    AddPage(colct, u"keep");
    AddPage(colct, u"gone", u"old");
    CUrlNode* renamed = AddPage(colct, u"title");
    renamed->SetUrl(u"other.htm");  // name and file no longer agree
    tree.GetProjectTags().AddTag(u"old", u"F/gone.htm");
    tree.GetProjectTags().AddTag(u"kept", u"F/keep.htm");
    ASSERT_TRUE(tree.SaveColct(colct));
    for (const char* name : {"keep.htm", "other.htm", "new.htm"})
        WriteBytes(content / "F" / name, "page");

    EXPECT_TRUE(tree.RefreshColct(folder));
    EXPECT_EQ(data->GetColctNode(), colct);
    EXPECT_EQ(ItemNames(colct), (std::vector<std::string>{"keep", "new", "other"}));
    EXPECT_EQ(tree.GetProjectTags().FindTag(u"old"), nullptr);
    EXPECT_NE(tree.GetProjectTags().FindTag(u"kept"), nullptr);
    EXPECT_EQ(ReadBytes(TagsFile()).find("gone"), std::string::npos);
}

TEST_F(ColctTest, RefreshWithoutPagesDropsTheCollection)
{
    CColctNode* colct = tree.EnsureColct(folder);
    AddPage(colct, u"p");
    tree.SaveColct(colct);
    tree.SetCurrentFolder(folder);
    EXPECT_TRUE(tree.RefreshColct(folder));
    EXPECT_EQ(data->GetColctNode(), nullptr);
    EXPECT_FALSE(data->HasPage());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadBytes(TreeFile()).find("page=\"true\""), std::string::npos);
    EXPECT_EQ(ui.shownColct, nullptr);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"No Collection in this folder."});
}

TEST_F(ColctTest, ReadOnlyFileIsWarnedAboutUntilTheUserSaysNo)
{
    CColctNode* colct = tree.EnsureColct(folder);
    std::string before = ReadBytes(file);
    AddPage(colct, u"p");
    colct->SetHasNewData(true);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    const std::string text = "This file does not have write permission:\r\n" + file.string() +
                             "\r\n\r\nNeed continue warnig?";

    ui.answers = {IDYES, IDNO};
    EXPECT_FALSE(tree.SaveColct(colct));
    EXPECT_FALSE(tree.SaveColct(colct));
    EXPECT_FALSE(tree.SaveColct(colct));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{text, text}));
    EXPECT_EQ(ui.messages[0].buttons, MB_YESNO);
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_TRUE(colct->HasNewData());
    EXPECT_FALSE(fs::exists(file.string() + "~"));
}

TEST_F(ColctTest, SaveKeepsTheOldFileWhenAnythingFails)
{
    CColctNode* colct = tree.EnsureColct(folder);
    std::string before = ReadBytes(file);
    AddPage(colct, u"p");
    colct->SetHasNewData(true);

    // The safety copy cannot be made.
    fs::create_directories(file.string() + "~/in-the-way");
    EXPECT_FALSE(tree.SaveColct(colct));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Can not rename file name\r\n" + file.string()});
    EXPECT_EQ(ReadBytes(file), before);
    fs::remove_all(file.string() + "~");

    // The new file cannot be made beside the old one: its temporary name
    // is longer than the file system allows, the file's own name is not.
    ui.messages.clear();
    fs::path longFile = content / "F" / (std::string(246, 'n') + ".xml");
    WriteBytes(longFile, "old bytes");
    EXPECT_FALSE(tree.SaveColct(colct, U16(longFile), true));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Can not write file:\r\n" + longFile.string()});
    EXPECT_EQ(ReadBytes(longFile), "old bytes");
    EXPECT_FALSE(fs::exists(longFile.string() + "~"));
    EXPECT_TRUE(colct->HasNewData());

    ui.messages.clear();
    EXPECT_TRUE(tree.SaveColct(colct));
    EXPECT_FALSE(colct->HasNewData());
    EXPECT_NE(ReadBytes(file), before);
    EXPECT_FALSE(fs::exists(file.string() + "~"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ColctTest, OtherExtensionsAreWrittenWithAWarning)
{
    CColctNode* colct = tree.EnsureColct(folder);
    fs::path other = content / "F" / "list.txt";
    EXPECT_TRUE(tree.SaveColct(colct, U16(other), false));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Wrong file extension."});
    EXPECT_NE(ReadBytes(other).find("<rss"), std::string::npos);
    ui.messages.clear();
    EXPECT_TRUE(tree.SaveColct(colct, U16(content / "F" / "list.RSS"), false));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ColctTest, PagePathsStayInsideTheirFolder)
{
    data->SetHasPage(true);
    WriteBytes(file, std::string(kColctHead) +
                         "<item><title>bad</title><link>../../escape.htm</link><krv:rel type=\"note\" /></item>"
                         "<item><title>good</title><link>good.htm</link><krv:rel type=\"note\" /></item>"
                         "</channel></rss>");
    CColctNode* colct = tree.LoadColct(folder, true);
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"This collection has page addresses that point outside "
                                                          "its folder; those pages are not opened:\r\n" +
                                                          file.string()});
    auto* bad = static_cast<CUrlNode*>(colct->GetFirstRNode()->GetData());
    auto* good = static_cast<CUrlNode*>(colct->GetFirstRNode()->GetNext()->GetData());
    EXPECT_EQ(tree.GetPageFilePath(folder, bad), u"");
    EXPECT_EQ(tree.GetPageRelativePath(folder, bad), u"");
    EXPECT_EQ(Utf8(tree.GetPageFilePath(folder, good)), (content / "F" / "good.htm").string());
    EXPECT_EQ(tree.GetPageRelativePath(folder, good), u"F/good.htm");
    EXPECT_EQ(Utf8(CFolderTreeMgr::GetAssetsFolder(tree.GetPageFilePath(folder, good))),
              (content / "F" / "good_files").string());
    EXPECT_EQ(CFolderTreeMgr::GetAssetsFolder(u"/a.b/page"), u"/a.b/page_files");
}

}  // namespace
