// The tag pages of a small project, byte for byte against tests/data/tags
// (regenerate: scripts/update-golden.sh, then read the diff), the headings
// of every search outcome, and what hostile names turn into.

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/core/CRecentPages.h"
#include "app/tags/CTagPageBuilder.h"
#include "tests/app/core/folders/FolderTestUtil.h"

namespace {

const std::string kResources = ZANDREL_TEST_DATA "/../../resources/";

// The project "Notes": pages in the root, Work, Work/Archive (51 notes
// carrying tags of every cloud size) and Home, with fixed identifiers.
class TagPagesTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ASSERT_TRUE(tree.CreateNewTree(u"Notes"));
        RNode* root = tree.GetRoot();
        work = AddFolder(root, u"Work");
        archive = AddFolder(work, u"Archive");
        homeFolder = AddFolder(root, u"Home");
        zebra = AddPage(root, u"Zebra notes", u"zebra.htm", u"Linux pair", u"Stripes & more");
        AddPage(work, u"apple Pie", u"apple.htm", u"Linux it's caf\u00e9", u"");
        apple = AddPage(work, u"Apple", u"apple2.htm", u"Linux say\"hi\"", u"Quotes \"here\"\nand there");
        AddPage(homeFolder, u"plan", u"plan.htm", u"linux", u"");
        AddPage(homeFolder, u"plan B", u"planb.htm", u"pair", u"The other plan");
        for (int n = 1; n <= 51; ++n) {
            std::u16string tags = u"busy";
            tags += n <= 50 ? u" fifty" : u"";
            tags += n <= 10 ? u" ten" : u"";
            tags += n <= 5 ? u" five" : u"";
            std::u16string number = Utf16((n < 10 ? "0" : "") + std::to_string(n));
            CUrlNode* note = AddPage(archive, u"Note " + number, u"note" + number + u".htm", tags.c_str(), u"");
            note01 = note01 ? note01 : note;
        }
        // A tag whose only page has gone from its collection.
        tree.GetProjectTags().AddTag(u"stale", u"Home/gone.htm");
        context.tree = &tree;
        context.projectName = u"Notes";
        context.recentTagged = &recent;
    }
    RNode* AddFolder(RNode* parent, const char16_t* name)
    {
        RNode* rnode = RNode::New2(CFolderNode::New(), NT_FOLDER);
        rnode->GetData()->SetName(name);
        RNTool::InsertAsChild(parent, rnode);
        CColctNode* colct = tree.EnsureColct(rnode);
        colct->SetUUID(Utf16("c0000000-0000-4000-8000-" + std::to_string(100000000000 + ++m_ids)).c_str());
        return rnode;
    }
    CUrlNode* AddPage(RNode* folder, const std::u16string& name, const std::u16string& url, const char16_t* tags,
                      const char16_t* description)
    {
        CUrlNode* item = AddPageItem(tree.EnsureColct(folder)->GetLocRNodeRoot(), name, url);
        item->SetDescription(description);
        item->SetUUID(Utf16("a0000000-0000-4000-8000-" + std::to_string(100000000000 + ++m_ids)).c_str());
        item->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(tags));
        for (RBstrItem* t = item->GetUrlProp()->GetTagsHead(); t; t = t->GetNext())
            tree.GetProjectTags().AddTag(t->GetData(), tree.GetPageRelativePath(folder, item));
        return item;
    }
    CColctNode* Colct(RNode* folder) { return static_cast<CFolderNode*>(folder->GetData())->GetColctNode(); }

    void ExpectGolden(const std::string& name, const std::u16string& html)
    {
        std::string actual = Utf8(html);
        EXPECT_EQ(actual.find(home.Root().string()), std::string::npos) << "a scratch path leaked into " << name;
        fs::path path = fs::path(ZANDREL_TEST_DATA) / "tags" / name;
        if (const char* update = std::getenv("ZANDREL_UPDATE_GOLDEN"); update && std::string(update) == "1")
            WriteBytes(path, actual);
        else
            EXPECT_EQ(ReadBytes(path), actual) << "golden file " << name << " differs";
    }

    CRecentPages recent = CRecentPages::ForTaggedPages();
    CTagPageContext context;
    CTagPageBuilder builder{Utf16(kResources)};
    RNode *work = nullptr, *archive = nullptr, *homeFolder = nullptr;
    CUrlNode *zebra = nullptr, *apple = nullptr, *note01 = nullptr;
    int m_ids = 0;
};

TEST_F(TagPagesTest, PagesMatchTheirGoldenFiles)
{
    std::u16string html;
    ASSERT_TRUE(builder.BuildTagItPage(context, Colct(work), apple, &html));
    ExpectGolden("tagit_form.htm", html);
    ASSERT_TRUE(builder.BuildOneTagPage(context, u"linux", &html));
    ExpectGolden("search_one.htm", html);
    context.plainSideList = true;
    context.keepOpen = true;
    ASSERT_TRUE(builder.BuildSearchPage(context, u"Linux, it's;nothere", &html));
    ExpectGolden("search_several.htm", html);
    ASSERT_TRUE(builder.BuildSearchPage(context, u"ghost\tphantom\r\n", &html));
    ExpectGolden("search_unknown.htm", html);
    context.plainSideList = context.keepOpen = false;
    // Newest first; a page moved since is left out.
    CUrlNode* gone = AddPage(homeFolder, u"Gone", u"gone2.htm", u"", u"");
    recent.Add(tree, tree.GetRoot(), zebra);
    recent.Add(tree, homeFolder, gone);
    recent.Add(tree, archive, note01);
    recent.Add(tree, work, apple);
    gone->SetUrl(u"moved.htm");
    ASSERT_TRUE(builder.BuildRecentPage(context, &html));
    ExpectGolden("recent.htm", html);
}

TEST_F(TagPagesTest, HeadingsOfEverySearchOutcome)
{
    // A template of bare placeholders shows exactly what fills them.
    WriteBytes(home.Root() / "t" / "tags" / "tagsearch.htm", "<TEMP_VAR NAME=TAGNAME>|<TEMP_VAR NAME=FILTERTAGS>");
    CTagPageBuilder bare(U16(home.Root() / "t") + u"/");
    std::u16string html;
    auto several = [&](const std::u16string& t) { return bare.BuildSearchPage(context, t, &html) ? Utf8(html) : "-"; };
    auto one = [&](const std::u16string& t) { return bare.BuildOneTagPage(context, t, &html) ? Utf8(html) : "-"; };
    EXPECT_EQ(one(u"linux"), "4 pages have this tag:&nbsp;<Strong>linux</Strong>|linux");
    EXPECT_EQ(one(u"it's"), "One page has this tag:&nbsp;<Strong>it's</Strong>|it&#39;s");
    EXPECT_EQ(one(u"ghost"), "No page has been found with tag:&nbsp;<Strong>ghost</Strong>|ghost");
    EXPECT_EQ(one(u"stale"), "No page has been found with tag:&nbsp;<Strong>stale</Strong>|stale");
    // One tag in two spellings is one tag: the one-tag page.
    EXPECT_EQ(several(u" linux,LINUX "), "4 pages have this tag:&nbsp;<Strong>linux</Strong>|linux");
    EXPECT_EQ(several(u"ten five"), "5 pages have these tags:&nbsp;<Strong>ten five</Strong>|ten five");
    EXPECT_EQ(several(u"busy fifty ten five"), "5 pages have these tags:&nbsp;<Strong>busy fifty ten five</Strong>|busy fifty ten five");
    EXPECT_EQ(several(u"Busy ghost"),
              "51 pages have this tag:&nbsp;<Strong>Busy</Strong><br>No such tag:&nbsp;<Strong>ghost</Strong>|Busy ghost");
    EXPECT_EQ(several(u"pair ghost;spook GHOST"), "2 pages have this tag:&nbsp;<Strong>pair</Strong>"
                                                   "<br>No such tags:&nbsp;<Strong>ghost spook</Strong>|pair ghost;spook GHOST");
    EXPECT_EQ(several(u"caf\u00e9 it's"), "One page has these tags:&nbsp;<Strong>caf\xC3\xA9 it's</Strong>|caf\xC3\xA9 it&#39;s");
    EXPECT_EQ(several(u"it's ghost"),
              "One page has this tag:&nbsp;<Strong>it's</Strong><br>No such tag:&nbsp;<Strong>ghost</Strong>|it&#39;s ghost");
    EXPECT_EQ(several(u"it's pair"), "No page has been found with these tags:&nbsp;<Strong>it's pair</Strong>|it&#39;s pair");
    EXPECT_EQ(several(u"stale ghost"), "No page has been found with this tag:&nbsp;<Strong>stale ghost</Strong>|stale ghost");
    EXPECT_EQ(several(u"ghost spook"), "No such tag.|ghost spook");
    EXPECT_EQ(several(u" ;, "), "No such tag.| ;, ");

    CTagPageContext empty;
    EXPECT_EQ(Utf8(CTagPageBuilder::GetPageLink(empty, archive, apple)), "Empty Project\\Work\\Archive\\apple2.htm");
    EXPECT_EQ(Utf8(CTagPageBuilder::GetPageLink(context, tree.GetRoot(), zebra)), "Notes\\zebra.htm");

    // Without its template no page is built; the tag-it form also needs its page.
    html = u"kept";
    CTagPageBuilder missing(U16(home.Root() / "none") + u"/");
    EXPECT_FALSE(missing.BuildTagItPage(context, Colct(work), apple, &html));
    EXPECT_FALSE(missing.BuildOneTagPage(context, u"linux", &html));
    EXPECT_FALSE(missing.BuildSearchPage(context, u"linux ten", &html));
    EXPECT_FALSE(missing.BuildRecentPage(context, &html));
    EXPECT_FALSE(builder.BuildTagItPage(context, Colct(work), nullptr, &html));
    EXPECT_FALSE(builder.BuildTagItPage(context, nullptr, apple, &html));
    EXPECT_EQ(html, u"kept");
}

TEST_F(TagPagesTest, HostileNamesStayText)
{
    const char16_t* tag = u"<img/src=x/onerror=alert(1)>x')+location.assign('krv:edittag?delete')+('\\%27&";
    CUrlNode* evil = AddPage(homeFolder, u"<script>krv()</script>\"'", u"100% #1.htm", tag, u"<b onclick=\"x\">&amp;</b>");
    std::u16string html;
    ASSERT_TRUE(builder.BuildTagItPage(context, Colct(homeFolder), evil, &html));
    std::string form = Utf8(html);
    ASSERT_TRUE(builder.BuildOneTagPage(context, tag, &html));
    std::string page = Utf8(html);
    for (const std::string& out : {form, page}) {
        EXPECT_EQ(out.find("<img"), std::string::npos);
        EXPECT_EQ(out.find("<script>krv"), std::string::npos);
        EXPECT_EQ(out.find("<b "), std::string::npos);
    }
    const std::string script =
        "&lt;img/src=x/onerror=alert(1)&gt;x\\')+location.assign(\\'krv:edittag?delete\\')+(\\'\\\\%2527&amp;";
    const std::string text = "&lt;img/src=x/onerror=alert(1)&gt;x')+location.assign('krv:edittag?delete')+('\\%27&amp;";
    for (const std::string& want :
         {"href=\"javascript:addTag('" + script + "')\">" + text + "</A>",
          std::string("value=\"&lt;img/src=x/onerror=alert(1)&gt;x&#39;)+location.assign(&#39;krv:edittag?delete&#39;)+(&#39;\\%27&amp; \""),
          std::string("value=\"&lt;script&gt;krv()&lt;/script&gt;&quot;'\""),
          std::string(">&lt;b onclick=&quot;x&quot;&gt;&amp;amp;&lt;/b&gt;</textarea>")})
        EXPECT_NE(form.find(want), std::string::npos) << want;
    for (const char* want : {"<LI class=post><H4 class=desc><A href=\"krv:urlnode?href=Notes\\Home\\100%25 %231.htm\" rel=nofollow>"
                             "&lt;script&gt;krv()&lt;/script&gt;&quot;'</A></H4><P class=notes>&lt;b onclick=&quot;x&quot;&gt;",
                             "<A href=\"krv:urlnode?href=Notes\\Home\\100%25 %231.htm\">Notes/Home/100% #1.htm</A>"})
        EXPECT_NE(page.find(want), std::string::npos) << want;
}

}  // namespace
