// Importing pages a browser saved: titles, assets folders under the page's
// new name, the source note, directory trees as folders, and the user's
// files left as they were.

#include "app/capture/CImport.h"
#include "tests/app/core/folders/FolderTestUtil.h"

namespace {

class ImportTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        WriteBytes(saved / "Report.html",
                   "<!-- saved from url=(0021)https://example.com/r -->\n<html><head><title>  Quarterly\n  report "
                   "</title><link rel=stylesheet href=\"./Report_files/s.css\"></head><body><img "
                   "src=\"Report_files/a.png\"><a href=\"https://example.com/Report_files/x\">x</a></body></html>");
        WriteBytes(saved / "Report_files" / "a.png", "png");
        WriteBytes(saved / "Report_files" / "s.css", "p{}");
        fs::create_symlink("/etc/passwd", saved / "Report_files" / "leak");
        WriteBytes(saved / "notes.htm", "<p>no title</p>");
        WriteBytes(saved / "readme.txt", "text");
        WriteBytes(saved / "Sub" / "deep.htm", "<title>Deep</title><img src=deep_files/d.gif>");
        WriteBytes(saved / "Sub" / "deep_files" / "d.gif", "gif");
    }

    std::u16string Saved(const char* name) const { return U16(saved / name); }
    // Entries next to the content folder: an import writes only inside it.
    size_t FilesBeside() const
    {
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(content.parent_path()))
            count += entry.path() != content;
        return count;
    }

    fs::path saved = home.Root() / "saved";
};

TEST_F(ImportTest, SavedPagesComeInUnderTheirTitlesWithTheirAssets)
{
    const std::string original = ReadBytes(saved / "Report.html");
    CImport::CResult result = CImport::Import(
        tree, tree.GetRoot(), {Saved("Report.html"), Saved("notes.htm"), Saved("readme.txt"), Saved("Sub")});
    EXPECT_EQ(result.pages, 3);
    EXPECT_EQ(result.folders, 1);
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_NE(Utf8(result.skipped[0]).find("readme.txt"), std::string::npos);
    CColctNode* root = tree.LoadColct(tree.GetRoot(), false);
    EXPECT_EQ(ItemNames(root), (Texts{"notes", "Quarterly report"}));  // the newest first

    std::string page = ReadBytes(content / "Quarterly report.htm");
    for (const char* part : {"href=\"Quarterly%20report_files/s.css\"", "src=\"Quarterly%20report_files/a.png\"",
                             "href=\"https://example.com/Report_files/x\"",
                             "Pasted from &lt;<a href=\"https://example.com/r\">https://example.com/r</a>&gt;</p>&nbsp;"
                             "</body>"})
        EXPECT_NE(page.find(part), std::string::npos) << part << "\n" << page;
    EXPECT_EQ(ReadBytes(content / "Quarterly report_files" / "a.png"), "png");
    EXPECT_FALSE(fs::exists(content / "Quarterly report_files" / "leak"));
    EXPECT_EQ(FilesBeside(), 0u);
    EXPECT_EQ(ReadBytes(saved / "Report.html"), original);  // copied, never changed

    // A directory became a folder; the page's assets folder did not.
    RNode* sub = tree.GetRoot()->GetChild();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(Utf8(sub->GetData()->GetName()), "Sub");
    EXPECT_EQ(sub->GetNext(), nullptr);
    EXPECT_EQ(ItemNames(tree.LoadColct(sub, false)), Texts{"Deep"});
    EXPECT_NE(ReadBytes(content / "Sub" / "Deep.htm").find("src=\"Deep_files/d.gif\""), std::string::npos);

    // The same page again takes the next free title; the folder is reused.
    result = CImport::Import(tree, tree.GetRoot(), {Saved("Report.html"), Saved("Sub")});
    EXPECT_EQ(result.pages, 2);
    EXPECT_EQ(result.folders, 0);
    EXPECT_EQ(ItemNames(root), (Texts{"Quarterly report (2)", "notes", "Quarterly report"}));
    EXPECT_NE(ReadBytes(content / "Quarterly report (2).htm").find("Quarterly%20report%20%282%29_files/a.png"),
              std::string::npos);
    EXPECT_EQ(ItemNames(tree.LoadColct(sub, false)), (Texts{"Deep (2)", "Deep"}));
    EXPECT_TRUE(ui.messages.empty());
}

// The copying runs apart from the tree: a cancel, or a folder removed before
// the commit, leaves no page and no file; a title taken meanwhile moves on.
TEST_F(ImportTest, CopiesAreCommittedOnlyWhereTheFolderStillTakesThem)
{
    RNode* target = tree.AddFolder(tree.GetRoot(), u"Target");
    ASSERT_NE(target, nullptr);
    const fs::path directory = content / "Target";
    auto entries = [&] { return std::distance(fs::recursive_directory_iterator(directory), {}); };
    const std::vector<std::u16string> paths{Saved("Report.html"), Saved("notes.htm"), Saved("Sub")};

    CImport::CPlan plan = CImport::Plan(tree, target, paths);
    int asked = 0;
    EXPECT_FALSE(CImport::Copy(plan, nullptr, [&] { return ++asked > 3; }));
    EXPECT_EQ(entries(), 0);

    plan = CImport::Plan(tree, target, {Saved("Report.html")});
    ASSERT_TRUE(CImport::Copy(plan, nullptr, nullptr));
    EXPECT_EQ(CImport::Import(tree, target, {Saved("Report.html")}).pages, 1);
    EXPECT_EQ(CImport::Commit(tree, plan).pages, 1);
    EXPECT_NE(ReadBytes(directory / "Quarterly report (2).htm").find("Quarterly%20report%20%282%29_files/a.png"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(directory / "Quarterly report (2)_files" / "a.png"), "png");

    plan = CImport::Plan(tree, target, paths);
    const auto before = entries();
    ASSERT_TRUE(CImport::Copy(plan, nullptr, nullptr));
    EXPECT_GT(entries(), before);  // staged inside the folder's directory
    ui.confirmations = {true};
    ASSERT_TRUE(tree.RemoveFolder(target));
    CImport::CResult result = CImport::Commit(tree, plan);
    EXPECT_EQ(result.pages + result.folders, 0);
    EXPECT_EQ(result.skipped.size(), 3u);  // two pages and the page of Sub
    EXPECT_EQ(entries(), before);
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
