// The recently opened pages: ten newest first, one entry per address, read
// on first use and written when the project closes.

#include "app/core/CRecentPages.h"

#include <algorithm>

#include "app/core/CPageMgr.h"
#include "app/tags/CTagsWindowMgr.h"
#include "base/xml/CReadBkmarkXML.h"
#include "tests/app/core/pagejobs/PageJobsTest.h"

namespace {

Texts Urls(const CRecentPages& recent)
{
    Texts urls;
    for (RNode* entry = recent.GetFirst(); entry; entry = entry->GetNext())
        urls.push_back(Utf8(CRecentPages::GetItem(entry)->GetUrl()));
    return urls;
}

}  // namespace

TEST_F(PageJobsTest, RecentPagesKeepTheTenNewestAndAreReadBackInOrder)
{
    RNode* sub = AddFolder(tree.GetRoot(), u"Sub");
    ASSERT_NE(sub, nullptr);
    CRecentPages& recent = core->GetRecentPages();
    recent.Add(tree, sub, AddPage(sub, u"Blank", ITEM_NOTE, u"about:blank"));  // never saved
    EXPECT_EQ(recent.GetCount(), 0);

    for (int i = 0; i <= 10; ++i)
        recent.Add(tree, sub, AddPage(sub, Utf16("P" + std::to_string(i))));
    Texts urls = Urls(recent);
    ASSERT_EQ(urls.size(), 10u);
    EXPECT_EQ(urls.front(), "Sub/P10.htm");
    EXPECT_EQ(urls.back(), "Sub/P1.htm");

    // The same address in other letters is the same page: it moves first,
    // and nothing else drops out. The item itself keeps its own address.
    CUrlNode* same = AddPage(sub, u"Again", ITEM_NOTE, u"p5.HTM");
    recent.Add(tree, sub, same);
    EXPECT_EQ(Utf8(same->GetUrl()), "p5.HTM");
    urls = Urls(recent);
    ASSERT_EQ(urls.size(), 10u);
    EXPECT_EQ(urls.front(), "Sub/p5.HTM");
    EXPECT_EQ(Utf8(CRecentPages::GetItem(recent.GetFirst())->GetName()), "Again");
    EXPECT_EQ(std::count(urls.begin(), urls.end(), "Sub/P5.htm"), 0);
    EXPECT_EQ(urls.back(), "Sub/P1.htm");

    // Written at close, as a collection named for the list.
    fs::path file = content / ".zandrel" / "krv_recpages.xml";
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(projects.CloseProject());
    EXPECT_EQ(recent.GetCount(), 0);
    CReadBkmarkXML reader;
    ASSERT_TRUE(reader.LoadFile(U16(file).c_str()));
    CColctNode* colct = reader.DetachColctNode();
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(Utf8(colct->GetName()), "Recently opened pages");
    CColctNode::DeleteAll(colct);

    // The next open reads it back in order; unchanged, it is not rewritten.
    ASSERT_TRUE(projects.OpenProject(projectFile));
    recent.Load();
    EXPECT_EQ(Urls(recent), urls);
    fs::remove(file);
    ASSERT_TRUE(projects.CloseProject());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(ui.messages.empty());
}

// Both lists follow pages and folders renamed, moved and removed, one entry
// a page; a list not read yet is read for a change. A file of an older
// version may list a page twice: the newest entry stays.
TEST_F(PageJobsTest, RecentListsFollowRenamesMovesAndRemovals)
{
    CRecentPages& opened = core->GetRecentPages();
    CRecentPages& tagged = core->GetTagsMgr().GetRecentTagged();
    RNode* a = AddFolder(tree.GetRoot(), u"A");
    RNode* b = AddFolder(tree.GetRoot(), u"B");
    RNode* sub = AddFolder(b, u"Sub");
    auto add = [&](RNode* folder, const std::u16string& title, const std::u16string& url = u"") {
        CUrlNode* item = AddPage(folder, title, ITEM_NOTE, url);
        WriteBytes(Utf8(tree.GetPageFilePath(folder, item)), "x");
        for (CRecentPages* list : {&opened, &tagged})
            list->Add(tree, folder, item);
        return item;
    };
    add(sub, u"Q");
    CUrlNode* three = add(a, u"Three");
    CUrlNode* two = add(a, u"Two");
    fs::remove(Utf8(tree.GetPageFilePath(b, add(b, u"Gone", u"two.HTM"))));  // where Two goes
    CUrlNode* one = add(a, u"One");
    ui.confirmations = {true, true};
    ASSERT_TRUE(core->GetPageMgr().RenamePage(one, u"First") && core->GetPageMgr().MovePage(two, b) &&
                core->GetPageMgr().DeletePage(three));
    for (CRecentPages* list : {&opened, &tagged})
        EXPECT_EQ(Urls(*list), (Texts{"A/First.htm", "B/Two.htm", "B/Sub/Q.htm"}));
    EXPECT_EQ(Utf8(CRecentPages::GetItem(tagged.GetFirst()->GetNext())->GetName()), "Two");
    ASSERT_TRUE(tree.RenameFolder(b, u"C") && tree.MoveFolder(b, a, true) && tree.RemoveFolder(sub));
    for (CRecentPages* list : {&opened, &tagged})
        EXPECT_EQ(Urls(*list), (Texts{"A/First.htm", "A/C/Two.htm"}));
    ASSERT_TRUE(projects.CloseProject() && projects.OpenProject(projectFile));
    ASSERT_TRUE(tree.RenameFolder(tree.GetRoot()->GetChild(), u"Z"));
    EXPECT_EQ(Urls(tagged), (Texts{"Z/First.htm", "Z/C/Two.htm"}));
    opened.OnPageGone(u"z/c/Two.htm");
    EXPECT_EQ(Urls(opened), Texts{"Z/First.htm"});
    EXPECT_EQ(ui.MessageTexts().back(), "This page is no longer in the project:\r\nz/c/Two.htm");
    CRecentItemList old(u"Recently opened pages", CRecentPages::kMaxEntries);
    old.SetFile(opened.GetFile());
    for (const char16_t* url : {u"A/x.htm", u"gone.htm", u"a/X.HTM"})
        AddPageItem(old.GetRoot(), url, url);
    old.SetDirty();
    ASSERT_TRUE(old.Write());
    opened.Load();
    EXPECT_EQ(Urls(opened), (Texts{"A/x.htm", "gone.htm"}));
}
