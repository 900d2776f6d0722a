// New pages, saving with its safety copy, leaving a page, titles and
// renames, showing folders and items.

#include <signal.h>
#include <sys/resource.h>
#include <sys/xattr.h>

#include "app/core/CPageTitle.h"
#include "base/tools/CBaseTool.h"
#include "tests/app/core/pages/PageTestUtil.h"

namespace {

using PageOpsTest = PageTest;

TEST_F(PageOpsTest, NewPageTakesTheFirstFreeUntitledNumber)
{
    AddPage(root, u"Untitled-1");
    AddPage(root, u"Untitled-3");
    AddPage(root, u"Untitled-01");          // not the digits of 1
    AddPage(root, u"Untitled-1234567890");  // 19 characters
    CUrlNode* page = pages->NewPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Utf8(page->GetName()), "Untitled-2");
    EXPECT_EQ(Utf8(page->GetUrl()), "about:blank");
    EXPECT_EQ(page->GetItemType(), ITEM_NOTE);
    EXPECT_EQ(CStringTool::Length(page->GetUUID()), 36u);
    long added = 0, modified = 1, visited = 2;
    page->GetNodeStat()->GetStatTime(&added, &modified, &visited);
    EXPECT_TRUE(added == modified && modified == visited);
    EXPECT_EQ(Colct(root)->GetFirstRNode()->GetData(), page);
    EXPECT_EQ(ui.shownColct, Colct(root));
    EXPECT_EQ(ui.shownPages, Texts{""});
    EXPECT_EQ(ui.selectedItem, page);
    EXPECT_EQ(pages->GetCurrentPage(), page);

    // A directory entry of that exact name is skipped too.
    RNode* folder = AddFolder(u"F");
    AddPage(folder, u"Untitled-1");
    AddPage(folder, u"Untitled-3");
    fs::create_directories(Dir(folder) / "Untitled-2");
    tree.SetCurrentFolder(folder);
    ui.titleText = u"Untitled-2";
    page = pages->NewPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Utf8(page->GetName()), "Untitled-4");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PageOpsTest, FirstSaveWritesThePageTheCollectionAndTheTags)
{
    tree.EnsureColct(root);
    CUrlNode* page = pages->NewPage();
    page->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(u"red blue"));
    page->GetUrlProp()->SetNeedSaveKeyWords(true);
    ui.pageHtml = "<html>x</html>";
    ui.pageModified = true;
    ui.titleText = u"My page";
    ASSERT_TRUE(LeaveCurrentPage());  // the hook: title first, then the save

    fs::path file = content / "My page.htm";
    EXPECT_EQ(ReadBytes(file), "<html>x</html>");
    EXPECT_EQ(Utf8(page->GetUrl()), "My page.htm");
    EXPECT_TRUE(Contains(ReadBytes(ColctFile(content)), "My page.htm"));
    EXPECT_EQ(TagPaths(u"RED"), Texts{"My page.htm"});
    EXPECT_TRUE(Contains(ReadBytes(content / ".zandrel" / "krv_tags.xml"), "My page.htm"));
    EXPECT_TRUE(Data(root)->HasTag());
    EXPECT_FALSE(ui.pageModified);
    EXPECT_FALSE(page->GetUrlProp()->DoNeedSaveKeyWords());
    char value[64] = {};
    ssize_t got = ::getxattr(file.c_str(), "user.xdg.tags", value, sizeof value);
    if (got >= 0) {
        EXPECT_EQ(std::string(value, size_t(got)), "red,blue");
    }
    EXPECT_EQ(recent.GetCount(), 1);
    EXPECT_EQ(ui.refreshedItems.back(), page);
    EXPECT_TRUE(ui.messages.empty());

    // Another code page becomes UTF-8, and says so; UTF-16 stays, marked.
    ui.pageHtml = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                  "</head><body>caf\xE9</body></html>";
    ui.pageCodePage = 1252;
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    EXPECT_EQ(ReadBytes(file), "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                               "</head><body>caf\xC3\xA9</body></html>");
    ui.pageHtml = std::string("<\0a\0", 4);
    ui.pageCodePage = kCodePageUtf16;
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    EXPECT_EQ(ReadBytes(file), std::string("\xFF\xFE<\0a\0", 6));
    ui.pageCodePage = 4242;
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_FAILED);
    EXPECT_EQ(ui.MessageTexts(), Texts{"Can not convert page to UTF-8 format."});
    EXPECT_FALSE(fs::exists(content / "My page.htm~"));
}

TEST_F(PageOpsTest, FirstSaveOverAnExistingFileAsksFirst)
{
    CUrlNode* page = pages->NewPage();
    fs::path file = content / "Untitled-1.htm";
    WriteBytes(file, "old");
    ui.pageHtml = "new";
    ui.answers = {IDNO, IDYES};
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_FAILED);
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_EQ(Utf8(page->GetUrl()), "about:blank");
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    EXPECT_EQ(ReadBytes(file), "new");
    std::string question = "A file with the same name is already exist\r\n" + file.string() +
                           "\nDo you want to replace it?\n\nIf press No, please change the Page title";
    EXPECT_EQ(ui.MessageTexts(), (Texts{question, question}));
    EXPECT_EQ(ui.messages[0].buttons, MB_YESNO);
}

TEST_F(PageOpsTest, AFailedSaveLeavesTheOldFileWholeAndLeavingAsks)
{
    CUrlNode* page = AddPage(root, u"P", "old page bytes, longer than 16");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    fs::path file = content / "P.htm";
    ui.pageHtml = std::string(300, 'n');

    // Writes that stop at 16 bytes: the page fails; its "~" copy is a second
    // name of the old file and writes nothing.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{}, small{16, 16};
    getrlimit(RLIMIT_FSIZE, &old);
    small.rlim_max = old.rlim_max;
    setrlimit(RLIMIT_FSIZE, &small);
    int saved = pages->SavePage(page);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(saved, CPageMgr::SAVE_FAILED);
    EXPECT_EQ(ui.MessageTexts(), Texts{"Can not save file Code=0X0000001B:\r\n" + file.string()});
    EXPECT_EQ(ReadBytes(file), "old page bytes, longer than 16");

    // A read-only page is not replaced.
    ui.messages.clear();
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_FAILED);
    EXPECT_EQ(ui.MessageTexts(), Texts{"Can not save file Code=0X0000000D:\r\n" + file.string()});
    EXPECT_EQ(ReadBytes(file), "old page bytes, longer than 16");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read);
    for (const auto& entry : fs::directory_iterator(content))
        EXPECT_TRUE(entry.path().filename() == "P.htm" || entry.path().filename() == ".zandrel") << entry.path();

    // Leaving: No stays on the page (folder operations too), Yes discards.
    ui.messages.clear();
    ui.pageModified = true;
    ui.answers = {IDNO, IDYES};
    EXPECT_FALSE(LeaveCurrentPage());
    EXPECT_TRUE(ui.pageModified);
    EXPECT_TRUE(pages->LeavePage());
    EXPECT_FALSE(ui.pageModified);
    std::string question = "Can not save current Page\r\nP.htm\r\nDo you want to discard the modification?";
    EXPECT_EQ(ui.MessageTexts()[1], question);
    EXPECT_EQ(ui.MessageTexts()[3], question);

    // Edits the editor does not hand over are not dropped by leaving.
    ui.messages.clear();
    ui.hasDocument = false;
    ui.pageModified = true;
    ui.answers = {IDNO};
    EXPECT_FALSE(pages->LeavePage());
    EXPECT_TRUE(ui.pageModified);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"The editor did not hand over the page, so it was not saved.", question}));
}

// A save that changes the page dates it in the list and the collection
// file, a failed one does not; a show dates the visit, written with it.
TEST_F(PageOpsTest, SaveAndShowSetThePageTimes)
{
    CUrlNode* page = AddPage(root, u"P", "old");
    page->GetNodeStat()->SetStatTime(0, 1000, 1000, CNodeStat::STAT_MODIFIED | CNodeStat::STAT_VISITED);
    const long start = static_cast<long>(std::time(nullptr));
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    fs::permissions(content / "P.htm", fs::perms::owner_read);
    ui.pageHtml = "new";
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_FAILED);
    long modified = 0, visited = 0;
    page->GetNodeStat()->GetStatTime(nullptr, &modified, &visited);
    EXPECT_TRUE(modified == 1000 && visited >= start && Colct(root)->HasNewData());
    fs::permissions(content / "P.htm", fs::perms::owner_all);
    EXPECT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    page->GetNodeStat()->GetStatTime(nullptr, &modified, nullptr);
    char16_t date[64] = {};
    ASSERT_TRUE(modified >= start && CBaseTool::GetPubDate(modified, date, 64));
    std::string file = ReadBytes(ColctFile(content));
    EXPECT_TRUE(Contains(file, "<pubDate>" + Utf8(date) + "</pubDate>"));
    EXPECT_TRUE(Contains(file, "lastVisited=\"" + std::to_string(visited) + "\""));
    EXPECT_EQ(ui.refreshedItems, std::vector<CUrlNode*>{page});
}

TEST_F(PageOpsTest, TitleRulesWhileTypingAndWhenTaken)
{
    std::u16string typed;
    Texts seen;
    for (char16_t c : std::u16string(u"a/b:c")) {
        typed += c;
        CPageTitle::OnTitleTextChanged(typed);
        seen.push_back(Utf8(typed));
    }
    EXPECT_EQ(seen, (Texts{"a", "a", "ab", "ab", "abc"}));
    EXPECT_EQ(ui.MessageTexts()[0], "A Page title cannot contain any of the following characters:\n\t\\ / : * ? \" < > |");
    EXPECT_EQ(CPageTitle::Clean(u" \\x<y>z*?\"| "), u"-x-y-z");

    ui.messages.clear();
    CUrlNode* page = AddPage(root, u"P", "page");
    AddPage(root, u"Other");
    WriteBytes(content / "Disk.htm", "");
    fs::create_directories(content / "Dir_files");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    EXPECT_FALSE(pages->RenamePage(page, u" : "));
    EXPECT_FALSE(pages->RenamePage(page, u"other"));
    EXPECT_FALSE(pages->RenamePage(page, u"Disk"));
    EXPECT_FALSE(pages->RenamePage(page, u"Dir"));
    EXPECT_EQ(ui.MessageTexts(),
              (Texts{"Title can not be empty.",
                     "An item with the title you specified already exists.\nPlease specify a different title.",
                     "A file with the same name is already exist\r\n" + (content / "Disk.htm").string(),
                     "Assets file folder name conflicts, please choose another name\r\n" +
                         (content / "Dir_files").string()}));
    EXPECT_EQ(Utf8(page->GetName()), "P");
    EXPECT_EQ(ui.titleText, u"P");

    // Pasted in whole and taken when the page is left.
    ui.messages.clear();
    ui.titleText = u"a/b:c";
    EXPECT_TRUE(pages->LeavePage());
    EXPECT_EQ(Utf8(page->GetName()), "a-b c");
    EXPECT_EQ(ReadBytes(content / "a-b c.htm"), "page");
    EXPECT_FALSE(fs::exists(content / "P.htm"));
    EXPECT_TRUE(Contains(ReadBytes(ColctFile(content)), "a-b c.htm"));

    // The file went away behind the program's back.
    fs::remove(content / "a-b c.htm");
    EXPECT_FALSE(pages->RenamePage(page, u"Q"));
    EXPECT_EQ(ui.MessageTexts(), Texts{"Could not change Page File name. Code=0X00000002"});
    EXPECT_EQ(Utf8(page->GetName()), "a-b c");
}

TEST_F(PageOpsTest, RenameMovesTheAssetsAndOnlyTheirImageSources)
{
    const std::string body =
        "<p>Old name_files/keep.png stays</p>\n"
        "<img src=\"Old name_files/a.png\">\n"
        "<IMG alt='x' SRC='./Old%20name_files/b.png'>\n"
        "<img src=Old&#32;name_files\\c.png >\n"
        "<img src=\"Other_files/d.png\"><img src=\"http://host/Old name_files/e.png\">\n"
        "<script>s = '<img src=\"Old name_files/f.png\">';</script><!-- <img src=\"Old name_files/g.png\"> -->\n";
    CUrlNode* page = AddPage(root, u"Old name", body.c_str(), u"t");
    WriteBytes(content / "Old name_files" / "a.png", "png");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    // The view holds changes not yet saved: they are written with the
    // new sources, and the view shows the file again.
    ui.pageHtml = body + "<p>edit</p>";
    ui.pageModified = true;
    ASSERT_TRUE(pages->RenamePage(page, u"New & name"));
    EXPECT_EQ(ReadBytes(content / "New & name.htm"),
              "<p>Old name_files/keep.png stays</p>\n"
              "<img src=\"New &amp; name_files/a.png\">\n"
              "<IMG alt='x' SRC='./New%20%26%20name_files/b.png'>\n"
              "<img src=\"New &amp; name_files\\c.png\" >\n"
              "<img src=\"Other_files/d.png\"><img src=\"http://host/Old name_files/e.png\">\n"
              "<script>s = '<img src=\"Old name_files/f.png\">';</script><!-- <img src=\"Old name_files/g.png\"> -->\n"
              "<p>edit</p>");
    EXPECT_EQ(ReadBytes(content / "New & name_files" / "a.png"), "png");
    EXPECT_FALSE(fs::exists(content / "Old name_files"));
    EXPECT_EQ(ui.shownPages.back(), (content / "New & name.htm").string());
    EXPECT_FALSE(ui.pageModified);
    EXPECT_EQ(TagPaths(u"t"), Texts{"New & name.htm"});
    EXPECT_EQ(ui.titleText, u"New & name");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PageOpsTest, ShowFolderShowsItsPageAndWaitsForTheLeave)
{
    RNode* folder = AddFolder(u"F");
    CUrlNode* first = AddPage(folder, u"First", "1");
    CUrlNode* shown = AddPage(root, u"Shown", "s");
    ASSERT_TRUE(pages->ShowItem(Colct(root), shown));

    // The page cannot be saved and the user keeps it: nothing changes.
    fs::permissions(content / "Shown.htm", fs::perms::owner_read);
    ui.pageModified = true;
    ui.answers = {IDNO};
    EXPECT_FALSE(pages->ShowFolder(folder));
    EXPECT_EQ(tree.GetCurrentFolder(), root);
    EXPECT_EQ(pages->GetCurrentPage(), shown);

    ui.pageModified = false;
    ASSERT_TRUE(pages->ShowFolder(folder));
    EXPECT_EQ(tree.GetCurrentFolder(), folder);
    EXPECT_EQ(ui.shownColct, Colct(folder));
    EXPECT_EQ(pages->GetCurrentPage(), first);
    EXPECT_EQ(pages->GetCurrentColct(), Colct(folder));
    EXPECT_EQ(ui.shownPages.back(), (content / "F" / "First.htm").string());
    EXPECT_EQ(ui.titles.back(), "F");
    EXPECT_EQ(ui.titleText, u"First");
    EXPECT_EQ(recent.GetCount(), 2);

    // The tree goes with the project; the page is forgotten, not used.
    tree.CloseTree();
    EXPECT_EQ(pages->GetCurrentPage(), nullptr);
    EXPECT_TRUE(LeaveCurrentPage());
}

}  // namespace
