// Converting the project's UTF-16 pages to UTF-8 under the progress dialog:
// what is converted and what is left alone, failures, and a cancel.

#include "app/core/CPageConverter.h"

#include <signal.h>
#include <sys/types.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include "tests/app/core/pagejobs/PageJobsTest.h"

namespace {

std::string Utf16Bytes(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char(c >> 8));
    }
    return bytes;
}

std::string Utf8Page(const std::u16string& text) { return "\xEF\xBB\xBF" + Utf8(text); }

// Hidden temporary files and conversion backups left in a folder.
Texts Leftovers(const fs::path& folder)
{
    Texts names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.find('~') != std::string::npos || name.find(".tmp") != std::string::npos)
            names.push_back(name);
    }
    return names;
}

const std::u16string kHead = u"<HTML><HEAD>\r\n<META http-equiv=Content-Type content=\"text/html; CHARSET=unicode\">\r\n";

}  // namespace

TEST_F(PageJobsTest, ConvertsUtf16PagesAndLeavesEveryOtherPageAlone)
{
    RNode* root = tree.GetRoot();
    RNode* sub = AddFolder(root, u"Sub");
    ASSERT_NE(sub, nullptr);
    // The charset is replaced only within the first 300 characters.
    std::u16string body = u"<BODY>Gr\u00FC\u00DFe \u65E5\u672C" + std::u16string(300, u' ') + u"charset=unicode</BODY>";
    fs::path old = AddPageFile(root, u"Old", Utf16Bytes(kHead + body));
    std::string utf8 = Utf8Page(u"<p>\u00E9</p>"), plain = "<p>plain</p>", tiny = "\xFF\xFE";
    fs::path kept1 = AddPageFile(root, u"Utf8", utf8);
    fs::path kept2 = AddPageFile(root, u"Plain", plain);
    fs::path kept3 = AddPageFile(root, u"Tiny", tiny);
    AddPage(root, u"Gone");                                    // no file: nothing to do
    AddPage(root, u"Unsaved", ITEM_NOTE, u"about:blank");     // not a file
    AddPage(root, u"Link", ITEM_LINK, u"Link.htm");           // not a page
    WriteBytes(content / "Link.htm", Utf16Bytes(u"link"));
    // Under 103 bytes the head is not looked at.
    fs::path shortPage = AddPageFile(sub, u"Short", Utf16Bytes(u"<meta charset=unicode>\u00E9"));

    EXPECT_EQ(CPageConverter::RunCommand(projects, tree), 1);
    EXPECT_EQ(ui.progressTitles, (Texts{"Please Wait.."}));
    EXPECT_EQ(ui.progressPositions, (std::vector<int>{16, 33, 50, 66, 83, 100}));
    ASSERT_EQ(ui.progressTexts.size(), 6u);
    EXPECT_EQ(ui.progressTexts.front(), "16%  converted   1 in 6 files.");
    EXPECT_EQ(ui.progressTexts.back(), "100%  converted   6 in 6 files.");
    EXPECT_TRUE(ui.messages.empty());

    std::u16string head = kHead;
    head.replace(head.find(u"CHARSET=unicode"), 15, u"  charset=utf-8");
    EXPECT_EQ(ReadBytes(old), Utf8Page(head + body));
    EXPECT_EQ(ReadBytes(kept1), utf8);
    EXPECT_EQ(ReadBytes(kept2), plain);
    EXPECT_EQ(ReadBytes(kept3), tiny);
    EXPECT_EQ(ReadBytes(content / "Link.htm"), Utf16Bytes(u"link"));
    EXPECT_EQ(ReadBytes(shortPage), Utf8Page(u"<meta charset=unicode>\u00E9"));
    EXPECT_EQ(Leftovers(content), Texts{});
    EXPECT_EQ(Leftovers(content / "Sub"), Texts{});

    // Without a project there is nothing to convert.
    ASSERT_TRUE(projects.CloseProject());
    EXPECT_EQ(CPageConverter::RunCommand(projects, tree), 0);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"No Project"}));
    EXPECT_EQ(ui.progressTitles.size(), 1u);
}

TEST_F(PageJobsTest, PagesThatCannotBeConvertedAreListedAndStayWhole)
{
    RNode* root = tree.GetRoot();
    std::string outside = Utf16Bytes(u"outside the project");
    WriteBytes(home.Root() / "outside.htm", outside);
    AddPage(root, u"Linked");
    fs::create_symlink(home.Root() / "outside.htm", content / "Linked.htm");
    AddPage(root, u"Folder");
    fs::create_directories(content / "Folder.htm");
    // UTF-8 takes 3 bytes where UTF-16 takes 2: the backup fits under the
    // file size limit, the converted page does not.
    std::string big = Utf16Bytes(std::u16string(1000, u'\u65E5'));
    fs::path bigPage = AddPageFile(root, u"Big", big);

    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limit = old;
    limit.rlim_cur = 2500;
    auto oldSignal = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    int result = CPageConverter::RunCommand(projects, tree);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"These file can not be saved:\r\n0X00000028 " + (content / "Linked.htm").string() +
                                        "\r\n0X00000015 " + (content / "Folder.htm").string() + "\r\n0X0000001B " +
                                        bigPage.string() + "\r\n"}));
    EXPECT_EQ(ReadBytes(home.Root() / "outside.htm"), outside);
    EXPECT_TRUE(fs::is_symlink(content / "Linked.htm"));
    EXPECT_EQ(ReadBytes(bigPage), big);
    EXPECT_EQ(Leftovers(content), Texts{});

    // A pipe is not read, and a file where the backup would go is kept.
    std::u16string pipe = U16(content / "Pipe.htm");
    ASSERT_EQ(mkfifo(Utf8(pipe).c_str(), 0644), 0);
    int error = 0;
    EXPECT_EQ(CPageConverter::ConvertFile(pipe, 1000, &error), CPageConverter::CONVERT_FAILED);
    EXPECT_EQ(error, EINVAL);
    WriteBytes(content / "Small.htm", Utf16Bytes(u"small"));
    WriteBytes(content / "Small~1000.htm", "mine");
    EXPECT_EQ(CPageConverter::ConvertFile(U16(content / "Small.htm"), 1000, &error), CPageConverter::CONVERT_DONE);
    EXPECT_EQ(ReadBytes(content / "Small~1000.htm"), "mine");
    EXPECT_FALSE(fs::exists(content / "Small~1001.htm"));
    EXPECT_EQ(Utf8(CPageConverter::GetBackupPath(u"/a/b.c/Page", 5)), "/a/b.c/Page~5.htm");
}

TEST_F(PageJobsTest, ACancelledConversionLeavesEveryPageWhole)
{
    RNode* root = tree.GetRoot();
    std::vector<fs::path> pages;
    std::vector<std::string> before, after;
    for (int i = 0; i < 40; ++i) {
        std::u16string text = kHead + Utf16("<BODY>page " + std::to_string(i) + std::string(400, 'x') + "</BODY>");
        pages.push_back(AddPageFile(root, Utf16("Page" + std::to_string(i)), Utf16Bytes(text)));
        before.push_back(Utf16Bytes(text));
        text.replace(text.find(u"CHARSET=unicode"), 15, u"  charset=utf-8");
        after.push_back(Utf8Page(text));
    }
    ui.progressCancelAfter = 1;
    EXPECT_EQ(CPageConverter::RunCommand(projects, tree), CProgressTask::RESULT_CANCELLED);
    EXPECT_EQ(ui.MessageTexts(), (Texts{"The operation has been Cancelled!"}));
    EXPECT_NE(std::find(ui.progressTexts.begin(), ui.progressTexts.end(), "Termination Initiated.."),
              ui.progressTexts.end());

    // Converted in order: a run of converted pages, then untouched ones.
    size_t converted = 0;
    while (converted < pages.size() && ReadBytes(pages[converted]) == after[converted])
        ++converted;
    EXPECT_GE(converted, 1u);
    EXPECT_LT(converted, pages.size());  // the job stopped between files
    for (size_t i = converted; i < pages.size(); ++i)
        EXPECT_EQ(ReadBytes(pages[i]), before[i]) << pages[i];
    EXPECT_EQ(Leftovers(content), Texts{});
}
