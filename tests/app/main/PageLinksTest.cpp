// Links between pages: their addresses, and how they follow renames,
// moves and deletes through the tree's path changes.

#include "app/capture/CPageLinks.h"
#include "app/main/CPageLinkMgr.h"
#include "app/search/CPageSearch.h"
#include "tests/app/core/pages/PageTestUtil.h"

namespace {

TEST(PageLinks, AddressesAreRelativeEscapedAndResolveBack)
{
    EXPECT_EQ(CPageLinks::MakeHref(u"A/B/P.htm", u"A/C/To Page.htm"), "../C/To%20Page.htm");
    EXPECT_EQ(CPageLinks::MakeHref(u"P.htm", u"A/B/Q#1.htm"), "A/B/Q%231.htm");
    EXPECT_EQ(CPageLinks::MakeHref(u"A/P.htm", u"Q.htm"), "../Q.htm");
    EXPECT_EQ(CPageLinks::MakeHref(u"A/P.htm", u"A/Q.htm"), "Q.htm");
    for (auto [from, to] : {std::pair{u"A/B/P.htm", u"A/C/Café ü.htm"}, {u"P.htm", u"x/y:z/Q%.htm"}}) {
        std::u16string back;
        ASSERT_TRUE(CPageLinks::ResolveHref(from, CPageLinks::MakeHref(from, to), &back)) << Utf8(to);
        EXPECT_EQ(back, to);
    }
    std::u16string target;
    EXPECT_TRUE(CPageLinks::ResolveHref(u"A/P.htm", "./../B/./Q.html#part", &target));
    EXPECT_EQ(target, u"B/Q.html");
    for (const char* other : {"http://x/a.htm", "c:a.htm", "/abs.htm", "../../up.htm", "pic.png", "#top", "%ZZ.htm"})
        EXPECT_FALSE(CPageLinks::ResolveHref(u"A/P.htm", other, &target)) << other;
}

class PageLinksTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        links = std::make_unique<CPageLinkMgr>(tree, *pages);
        tree.AddPathChangeHook([this](const CFolderTreeMgr::CPathChange& change) { links->OnPathChange(change); });
        sub = AddFolder(u"Sub");
        deep = FolderTest::AddFolder(sub, u"Deep");
        b = AddPage(sub, u"B", "<p>b</p>");
        bId = Utf8(b->GetUUID());
        // A links by our markup; C (beside B) by a plain address, and to A.
        a = AddPage(root, u"A", ("<p>" + CPageLinks::MakeLinkHtml(u"A.htm", u"Sub/B.htm", bId, "to b") + "</p>").c_str());
        c = AddPage(sub, u"C", "<a href='B.htm#x'>b</a> <a href=\"../A.htm\">a</a> <a href=\"http://w/B.htm\">w</a>");
        for (RNode* folder : {root, sub, deep})
            ASSERT_TRUE(tree.SaveColct(tree.EnsureColct(folder)));
    }
    std::shared_ptr<CPageLinkMgr::CScan> Scan() { return CPageLinkMgr::Scan(CPageSearch::ListFolders(tree), {}); }
    static Texts Paths(const std::vector<CPageLinkMgr::CPage>& pages)
    {
        Texts out;
        for (const auto& page : pages)
            out.push_back(Utf8(page.path));
        return out;
    }

    std::unique_ptr<CPageLinkMgr> links;
    RNode* sub = nullptr;
    RNode* deep = nullptr;
    CUrlNode *a = nullptr, *b = nullptr, *c = nullptr;
    std::string bId;
};

TEST_F(PageLinksTest, RenameAndMovesRewriteLinksToThePageAndThePagesOwn)
{
    ASSERT_TRUE(pages->RenamePage(b, u"B & new"));
    EXPECT_TRUE(Contains(ReadBytes(content / "A.htm"), "<a href=\"Sub/B%20%26%20new.htm\" data-zandrel-page="));
    EXPECT_EQ(ReadBytes(Dir(sub) / "C.htm"),
              "<a href='B%20%26%20new.htm#x'>b</a> <a href=\"../A.htm\">a</a> <a href=\"http://w/B.htm\">w</a>");

    // C goes two levels down: its own links change, and A's link to B stays.
    ASSERT_TRUE(pages->MovePage(c, deep));
    EXPECT_EQ(ReadBytes(Dir(deep) / "C.htm"),
              "<a href='../B%20%26%20new.htm#x'>b</a> <a href=\"../../A.htm\">a</a> <a href=\"http://w/B.htm\">w</a>");
    // B up to the top: both linking pages follow.
    ASSERT_TRUE(pages->MovePage(b, root));
    EXPECT_TRUE(Contains(ReadBytes(content / "A.htm"), "<a href=\"B%20%26%20new.htm\""));
    EXPECT_TRUE(Contains(ReadBytes(Dir(deep) / "C.htm"), "<a href='../../B%20%26%20new.htm#x'>"));

    // A stale address with the identifier is repaired at the next rename.
    WriteBytes(content / "A.htm", "<a data-zandrel-page=\"" + bId + "\" href=\"Old.htm\">b</a>");
    ASSERT_TRUE(pages->RenamePage(b, u"B2"));
    EXPECT_EQ(ReadBytes(content / "A.htm"), "<a data-zandrel-page=\"" + bId + "\" href=\"B2.htm\">b</a>");
    EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST_F(PageLinksTest, BacklinksCheckLinksAndDeleteMarking)
{
    auto scan = Scan();
    EXPECT_EQ(Paths(scan->LinkedFrom(u"Sub/B.htm", U16(bId))), (Texts{"A.htm", "Sub/C.htm"}));
    EXPECT_EQ(Paths(scan->LinkedFrom(u"A.htm", a->GetUUID())), Texts{"Sub/C.htm"});
    EXPECT_TRUE(scan->Broken().empty());

    ui.confirmations = {true};
    ASSERT_TRUE(pages->DeletePage(b));
    EXPECT_TRUE(Contains(ReadBytes(content / "A.htm"),
                         "<a class=\"zandrel-broken-link\" title=\"Page deleted: B\" href=\"Sub/B.htm\""));
    EXPECT_TRUE(Contains(ReadBytes(Dir(sub) / "C.htm"), "<a class=\"zandrel-broken-link\" title=\"Page deleted: B\" "
                                                        "href='B.htm#x'>b</a> <a href=\"../A.htm\">a</a>"));
    scan = Scan();
    EXPECT_TRUE(scan->LinkedFrom(u"Sub/B.htm", U16(bId)).empty());
    std::vector<CPageLinkMgr::CBroken> broken = scan->Broken();
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_EQ(Utf8(broken[0].from.path), "A.htm");
    EXPECT_EQ(Utf8(broken[0].text), "to b");
    EXPECT_EQ(Utf8(broken[1].target), "Sub/B.htm");

    // A class of its own is kept; a page marked once is not marked again.
    CUrlNode* d = AddPage(root, u"D", "<a class=k href=\"A.htm\" title=t>a</a>");
    ASSERT_TRUE(tree.SaveColct(Colct(root)));
    ui.confirmations = {true};
    ASSERT_TRUE(pages->DeletePage(a));
    EXPECT_EQ(ReadBytes(content / "D.htm"), "<a class=\"k zandrel-broken-link\" href=\"A.htm\" title=\"Page deleted: A\">a</a>");
    EXPECT_NE(d, nullptr);
}

}  // namespace
