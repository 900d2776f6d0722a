// Earlier versions of pages: kept on save, deduplicated, pruned, restored,
// moved with the page and kept after a delete.

#include "tests/app/core/pages/PageTestUtil.h"

namespace {

using PageHistoryTest = PageTest;

Texts Contents(const std::vector<CPageHistory::CVersion>& versions)
{
    Texts texts;
    for (const CPageHistory::CVersion& v : versions)
        texts.push_back(ReadBytes(Utf8(v.file)));
    return texts;
}

TEST_F(PageHistoryTest, SaveKeepsDistinctVersionsAndARestoreCanBeUndone)
{
    CUrlNode* page = AddPage(root, u"P", "one");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    fs::path file = content / "P.htm";
    for (const char* text : {"two", "two", "one", "two"}) {
        ui.pageHtml = text;
        ASSERT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    }
    // "one" came back and went again: its second copy is not kept.
    EXPECT_EQ(Contents(pages->ListVersions()), (Texts{"two", "one"}));
    fs::path folder = content / ".zandrel" / "history" / Utf8(page->GetUUID());
    EXPECT_EQ(Utf8(pages->ListVersions().front().file).rfind(folder.string() + "/", 0), 0u);

    // Unsaved edits are saved first, and the page as it was is kept.
    ui.pageHtml = "three";
    ui.pageModified = true;
    ASSERT_TRUE(pages->RestoreVersion(pages->ListVersions().back().file));
    EXPECT_EQ(ReadBytes(file), "one");
    EXPECT_FALSE(ui.pageModified);
    EXPECT_EQ(ui.shownPages.back(), file.string());
    EXPECT_EQ(Contents(pages->ListVersions()), (Texts{"three", "two", "one"}));
    ASSERT_TRUE(pages->RestoreVersion(pages->ListVersions().front().file));
    EXPECT_EQ(ReadBytes(file), "three");

    // Only a version of this page is restored.
    EXPECT_FALSE(pages->RestoreVersion(U16(content / "P.htm")));
    EXPECT_EQ(ReadBytes(file), "three");
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PageHistoryTest, KeepsFiftyOrThirtyDaysAndTheProjectUnderItsCap)
{
    const int64_t now = 2'000'000'000;
    const int64_t day = 24 * 60 * 60;
    std::u16string fileA = U16(content / "A.htm"), fileB = U16(content / "B.htm");
    std::u16string uuidA = u"0a0a0a0a-0000-4000-8000-00000000000a", uuidB = u"0b0b0b0b-0000-4000-8000-00000000000b";
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(CPageHistory::Keep(fileA, uuidA, "a" + std::to_string(i), now - 29 * day + i));
        ASSERT_TRUE(CPageHistory::Keep(fileB, uuidB, "b" + std::to_string(i), now - (i < 20 ? 40 : 1) * day + i));
    }
    EXPECT_EQ(CPageHistory::List(fileA, uuidA).size(), 60u);  // all younger than 30 days
    auto b = CPageHistory::List(fileB, uuidB);
    ASSERT_EQ(b.size(), 50u);  // the last 50: 40 recent and the 10 newest old ones
    EXPECT_EQ(ReadBytes(Utf8(b.back().file)), "b10");
    EXPECT_EQ(Utf8(CFileSys::NameOf(CPageHistory::List(fileA, uuidA).front().file)), "20330419T033419Z.htm");

    // Over the cap the oldest go, but never the newest of a page.
    fs::path cap = content / "Cap";
    fs::create_directories(cap);
    std::u16string fileX = U16(cap / "X.htm"), fileY = U16(cap / "Y.htm");
    ASSERT_TRUE(CPageHistory::Keep(fileY, uuidB, "yyyyyyyyyy", now - 9));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(CPageHistory::Keep(fileX, uuidA, std::string(10, char('0' + i)), now - 3 + i));
    CPageHistory::PruneProject(U16(cap), 20, now);
    EXPECT_EQ(Contents(CPageHistory::List(fileX, uuidA)), Texts{"2222222222"});
    EXPECT_EQ(Contents(CPageHistory::List(fileY, uuidB)), Texts{"yyyyyyyyyy"});

    // Identifiers and names not of our making form no path.
    EXPECT_FALSE(CPageHistory::Keep(fileA, u"../../../../x-0000-4000-8000-000000000000", "x", now));
    EXPECT_FALSE(CPageHistory::Keep(fileA, u"", "x", now));
    int64_t t = 0;
    EXPECT_FALSE(CPageHistory::ParseName(u"20260231T000000Z.htm", &t));
    EXPECT_FALSE(CPageHistory::ParseName(u"20260101T000000Z-1.htm", &t));
    EXPECT_FALSE(CPageHistory::ParseName(u"20260101T000000Z.htm.tmp", &t));
}

TEST_F(PageHistoryTest, HistoryFollowsAMoveAndOutlivesADeleteUntilEmptied)
{
    CUrlNode* page = AddPage(root, u"P", "one");
    RNode* target = AddFolder(u"F");
    AddPage(target, u"Stays", "s");
    ASSERT_TRUE(pages->ShowItem(Colct(root), page));
    ui.pageHtml = "two";
    ASSERT_EQ(pages->SavePage(page), CPageMgr::SAVE_DONE);
    std::string uuid = Utf8(page->GetUUID());
    ASSERT_TRUE(pages->MovePage(page, target));
    EXPECT_FALSE(fs::exists(content / ".zandrel" / "history" / uuid));
    fs::path kept = Dir(target) / ".zandrel" / "history" / uuid;
    ASSERT_EQ(Contents(CPageHistory::List(U16(Dir(target) / "P.htm"), page->GetUUID())), Texts{"one"});

    // Without its file the delete leaves the trash out of this test.
    fs::remove(Dir(target) / "P.htm");
    ui.confirmations = {true};
    ASSERT_TRUE(pages->DeletePage(page));
    EXPECT_TRUE(fs::exists(kept));
    CPageHistory::Keep(U16(Dir(target) / "Stays.htm"), Colct(target)->GetFirstRNode()->GetData()->GetUUID(), "s");
    tree.SetCurrentFolder(target);
    ui.answers = {IDNO, IDYES};
    EXPECT_FALSE(pages->EmptyDeletedHistory());
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_TRUE(pages->EmptyDeletedHistory());
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_EQ(fs::directory_iterator(Dir(target) / ".zandrel" / "history")->path().filename().string(),
              Utf8(Colct(target)->GetFirstRNode()->GetData()->GetUUID()));
}

}  // namespace
