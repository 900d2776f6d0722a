// Collections of folders: loading with its refusals, making one, the
// rebuild from the page files on disk, and saving with its safety copy.

#include "tests/app/core/folders/FolderTestUtil.h"

#include <sys/stat.h>

#include "base/model/CTagStore.h"

namespace {

const std::string kColctHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
    "xmlns:krv=\"http://www.korvel.com/schema/krv\"><channel>";

class ColctTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        folder = AddFolder(tree.GetRoot(), u"F");
        data = static_cast<CFolderNode*>(folder->GetData());
    }

    RNode* folder = nullptr;
    CFolderNode* data = nullptr;
    fs::path file = ColctFile(content / "F");
};

TEST_F(ColctTest, LoadRefusesWhatIsNotACollectionOfPagesOrPointsOutside)
{
    WriteBytes(file, kColctHead + "</channel></rss>");
    EXPECT_EQ(tree.LoadColct(folder, true), nullptr);  // without the page flag nothing is read
    data->SetHasPage(true);
    fs::remove(file);
    EXPECT_EQ(tree.LoadColct(folder, true), nullptr);  // no file: nothing to say
    EXPECT_TRUE(ui.messages.empty());

    WriteBytes(file, "<rss><channel><item>");
    EXPECT_EQ(tree.LoadColct(folder, true), nullptr);
    WriteBytes(file, kColctHead + "<krv:folder><title>G</title></krv:folder></channel></rss>");
    EXPECT_EQ(tree.LoadColct(folder, false), nullptr);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Can not parse XML file:\r\n" + file.string(),
                                        "Can not load collection for this folder.\r\n" + file.string(),
                                        "Normal Collection can not have sub folder:\r\n" + file.string()}));

    ui.messages.clear();
    WriteBytes(file, kColctHead + "</channel></rss>");
    CColctNode* empty = tree.LoadColct(folder, true);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(data->GetColctNode(), empty);
    EXPECT_EQ(empty->GetHostFolderNode(), data);
    EXPECT_EQ(tree.LoadColct(folder, true), empty);
    EXPECT_TRUE(ui.messages.empty());

    // Page addresses stay inside their folder.
    CColctNode::DeleteAll(data->DetachColctNode());
    WriteBytes(file, kColctHead +
                         "<item><title>bad</title><link>../../escape.htm</link><krv:rel type=\"note\" /></item>"
                         "<item><title>good</title><link>good.htm</link><krv:rel type=\"note\" /></item></channel></rss>");
    CColctNode* colct = tree.LoadColct(folder, true);
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(ui.MessageTexts(), Texts{"This collection has page addresses that point outside its folder; those "
                                       "pages are not opened:\r\n" + file.string()});
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

TEST_F(ColctTest, EnsureMakesTheFileSetsTheFlagAndWritesTheTree)
{
    CColctNode* colct = tree.EnsureColct(folder);
    ASSERT_NE(colct, nullptr);
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_TRUE(data->HasPage());
    EXPECT_NE(ReadBytes(TreeFile()).find("<krv:fprop page=\"true\" />"), std::string::npos);
    EXPECT_EQ(tree.EnsureColct(folder), colct);
    EXPECT_TRUE(ui.messages.empty());

    // Where the file or the data folder cannot be made.
    RNode* g = AddFolder(tree.GetRoot(), u"G");
    RNode* h = AddFolder(tree.GetRoot(), u"H");
    fs::create_directories(ColctFile(content / "G") / "sub");  // the rename over it fails
    WriteBytes(content / "H" / ".zandrel", "in the way");
    EXPECT_EQ(tree.EnsureColct(g), nullptr);
    EXPECT_EQ(tree.EnsureColct(h), nullptr);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"Can not create collection for folder:\r\n" + ColctFile(content / "G").string(),
                                        "Cannot create Collection Node.",
                                        "Cannot create a folder when that folder already exists.\n" +
                                            (content / "H" / ".zandrel").string(),
                                        "Cannot create Collection Node."}));
    EXPECT_FALSE(static_cast<CFolderNode*>(g->GetData())->HasPage());
    EXPECT_EQ(static_cast<CFolderNode*>(g->GetData())->GetColctNode(), nullptr);
}

TEST_F(ColctTest, RefreshTakesPageFilesOnly)
{
    for (const char* name : {"b.HTM", "a.htm", "c.txt", "Thumbs.db", ".htm", "x.html", "y.HTML", ".html", "THUMBS.DB"})
        WriteBytes(content / "F" / name, "page");
    fs::create_directories(content / "F" / "dir.htm");
    tree.SetCurrentFolder(folder);

    EXPECT_TRUE(tree.RefreshColct(folder));
    CColctNode* colct = data->GetColctNode();
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(ItemNames(colct), (Texts{"a", "b", "x", "y"}));
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

    // No pages left: the collection, its file and its copy go.
    for (const char* name : {"a.htm", "b.HTM", "x.html", "y.HTML"})
        fs::remove(content / "F" / name);
    WriteBytes(file.string() + "~", "a copy");
    EXPECT_TRUE(tree.RefreshColct(folder));
    EXPECT_EQ(data->GetColctNode(), nullptr);
    EXPECT_FALSE(data->HasPage());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(file.string() + "~"));
    EXPECT_EQ(ReadBytes(TreeFile()).find("page=\"true\""), std::string::npos);
    EXPECT_EQ(ui.shownColct, nullptr);
    EXPECT_EQ(ui.MessageTexts(), Texts{"No Collection in this folder."});
}

TEST_F(ColctTest, RefreshMergesWithTheItemsKnown)
{
    CColctNode* colct = tree.EnsureColct(folder);
    AddPage(colct, u"keep");
    AddPage(colct, u"gone", u"old");
    AddPage(colct, u"title")->SetUrl(u"other.htm");  // name and file no longer agree
    CUrlNode* link = AddPage(colct, u"site");
    link->SetUrl(u"https://example.org/");
    link->SetItemType(ITEM_LINK);
    tree.GetProjectTags().AddTag(u"old", u"F/gone.htm");
    tree.GetProjectTags().AddTag(u"kept", u"F/keep.htm");
    ASSERT_TRUE(tree.SaveColct(colct));
    for (const char* name : {"keep.htm", "other.htm", "new.htm"})
        WriteBytes(content / "F" / name, "page");

    EXPECT_TRUE(tree.RefreshColct(folder));
    EXPECT_EQ(data->GetColctNode(), colct);
    EXPECT_EQ(ItemNames(colct), (Texts{"keep", "site", "new", "other"}));
    EXPECT_EQ(tree.GetProjectTags().FindTag(u"old"), nullptr);
    EXPECT_NE(tree.GetProjectTags().FindTag(u"kept"), nullptr);
    EXPECT_EQ(ReadBytes(TagsFile()).find("gone"), std::string::npos);

    // Without page files a collection of links stays as it is.
    for (const char* name : {"keep.htm", "other.htm", "new.htm"})
        fs::remove(content / "F" / name);
    EXPECT_TRUE(tree.RefreshColct(folder));
    EXPECT_EQ(ItemNames(colct), Texts{"site"});
    EXPECT_TRUE(data->HasPage());
    EXPECT_NE(ReadBytes(file).find("https://example.org/"), std::string::npos);
}

TEST_F(ColctTest, SaveWarnsAboutReadOnlyUntilToldAndKeepsTheOldFileWhenAnythingFails)
{
    CColctNode* colct = tree.EnsureColct(folder);
    std::string before = ReadBytes(file);
    AddPage(colct, u"p");
    colct->SetHasNewData(true);
    // Read-only: a warning until the user says no more.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    const std::string readOnly =
        "This file does not have write permission:\r\n" + file.string() + "\r\n\r\nNeed continue warnig?";
    ui.answers = {IDYES, IDNO};
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(tree.SaveColct(colct));
    EXPECT_EQ(ui.messages[0].buttons, MB_YESNO);
    EXPECT_FALSE(fs::exists(file.string() + "~"));
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    // The safety copy cannot be made.
    fs::create_directories(file.string() + "~/in-the-way");
    EXPECT_FALSE(tree.SaveColct(colct));
    EXPECT_EQ(ReadBytes(file), before);
    fs::remove_all(file.string() + "~");
    // The new file cannot be made beside the old one: its temporary name
    // is longer than the file system allows, the file's own name is not.
    fs::path longFile = content / "F" / (std::string(246, 'n') + ".xml");
    WriteBytes(longFile, "old bytes");
    EXPECT_FALSE(tree.SaveColct(colct, U16(longFile), true));
    EXPECT_EQ(ReadBytes(longFile), "old bytes");
    EXPECT_FALSE(fs::exists(longFile.string() + "~"));
    EXPECT_TRUE(colct->HasNewData());
    EXPECT_EQ(ui.MessageTexts(), (Texts{readOnly, readOnly, "Can not rename file name\r\n" + file.string(),
                                        "Can not write file Code=0X00000024:\r\n" + longFile.string()}));

    ui.messages.clear();
    EXPECT_TRUE(tree.SaveColct(colct));
    EXPECT_FALSE(colct->HasNewData());
    EXPECT_NE(ReadBytes(file), before);
    EXPECT_FALSE(fs::exists(file.string() + "~"));
    // Other extensions are written, with a warning.
    fs::path other = content / "F" / "list.txt";
    EXPECT_TRUE(tree.SaveColct(colct, U16(other), false));
    EXPECT_TRUE(tree.SaveColct(colct, U16(content / "F" / "list.RSS"), false));
    EXPECT_EQ(ui.MessageTexts(), Texts{"Wrong file extension."});
    EXPECT_NE(ReadBytes(other).find("<rss"), std::string::npos);
}

}  // namespace
