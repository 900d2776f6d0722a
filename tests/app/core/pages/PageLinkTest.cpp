// Symbolic links in the content folder: one that leads outside is never
// followed, one that stays inside works like what it names.

#include <functional>
#include <map>

#include "tests/app/core/pages/PageTestUtil.h"

namespace {

using PageLinkTest = PageTest;

std::map<std::string, std::string> FilesBelow(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files[entry.path().string()] = entry.is_regular_file() ? ReadBytes(entry.path()) : "<dir>";
    return files;
}

TEST_F(PageLinkTest, LinksLeadingOutsideAreRefusedAndLinksInsideWork)
{
    auto addNode = [&](const std::u16string& name) {  // its directory a link, made below
        RNode* rnode = FolderTest::AddFolder(root, name, false);
        Data(rnode)->SetHasPage(true);
        return rnode;
    };
    const fs::path outside = home.MyKorvel() / "Elsewhere";
    WriteBytes(outside / "secret.htm", "secret");
    WriteBytes(ColctFile(outside), "<rss/>");
    fs::create_directory_symlink(outside, content / "Out");
    RNode* out = addNode(u"Out");
    fs::create_symlink(outside / "secret.htm", content / "Leak.htm");
    CUrlNode* leak = AddPage(root, u"Leak");
    RNode* real = AddFolder(u"Real");
    AddPage(real, u"Kept", "kept");
    ASSERT_TRUE(tree.SaveColct(Colct(real)));
    fs::create_directory_symlink(content / "Real", content / "In");
    RNode* in = addNode(u"In");
    const auto before = FilesBelow(outside);

    struct Row {
        const char* what;
        std::function<bool()> act;
        const char* link;  // the link refused; null when the act works
    };
    const Row rows[] = {
        {"show the folder", [&] { return pages->ShowFolder(out) && ui.shownColct; }, "Out"},
        {"new page in the folder", [&] { tree.SetCurrentFolder(out); return pages->NewPage() != nullptr; }, "Out"},
        {"new folder in the folder", [&] { return tree.CreateFolder(out) != nullptr; }, "Out"},
        {"rename the folder", [&] { return tree.RenameFolder(out, u"Moved"); }, "Out"},
        {"move the folder", [&] { return tree.MoveFolder(out, real, true); }, "Out"},
        {"show the page", [&] { return pages->ShowItem(Colct(root), leak); }, "Leak.htm"},
        {"rename the page", [&] { return pages->RenamePage(leak, u"Renamed"); }, "Leak.htm"},
        {"move the page", [&] { return pages->MovePage(leak, real); }, "Leak.htm"},
        {"delete the page", [&] { return pages->DeletePage(leak); }, "Leak.htm"},
        {"show a page through a link inside",
         [&] {
             return pages->ShowFolder(in) && !ui.shownPages.empty() &&
                    ui.shownPages.back() == (content / "In" / "Kept.htm").string();
         },
         nullptr},
        {"rename a page through a link inside",
         [&] { return pages->RenamePage(pages->GetCurrentPage(), u"Renamed") && fs::exists(content / "Real" / "Renamed.htm"); },
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ui.messages.clear();
        EXPECT_EQ(row.act(), row.link == nullptr);
        if (row.link)
            EXPECT_EQ(ui.MessageTexts(), Texts{"The link \"" + (content / row.link).string() +
                                               "\" leads outside the project folder and was not followed."});
        else
            EXPECT_EQ(ui.MessageTexts(), Texts{});
    }
    EXPECT_EQ(FilesBelow(outside), before);
    EXPECT_TRUE(fs::is_symlink(content / "Out") && fs::is_symlink(content / "Leak.htm"));
    EXPECT_EQ(Utf8(leak->GetName()), "Leak");
}

}  // namespace
