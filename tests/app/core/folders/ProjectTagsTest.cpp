// The project's tag store: one tag whatever its case, pages leaving tags,
// and the store read back from its file.

#include "tests/app/core/folders/FolderTestUtil.h"

#include "app/core/CProjectTags.h"

namespace {

std::vector<std::string> Tags(const CProjectTags& tags)
{
    std::vector<std::string> names;
    for (RTagItem* r = tags.GetStore()->GetTagItemHead(); r; r = r->GetNext())
        names.push_back(Utf8(r->GetData()->GetName()) + "=" + std::to_string(r->GetData()->GetCount()));
    return names;
}

using ProjectTagsTest = FolderTest;

TEST_F(ProjectTagsTest, OneTagWhateverItsCase)
{
    CProjectTags tags;
    ASSERT_TRUE(tags.Reset());
    EXPECT_TRUE(tags.AddTag(u"Food", u"a.htm"));
    EXPECT_TRUE(tags.AddTag(u"FOOD", u"B\\b.htm"));
    EXPECT_FALSE(tags.AddTag(u"food", u"A.HTM"));  // the same page
    EXPECT_FALSE(tags.AddTag(u"food", u"about:blank"));
    EXPECT_EQ(Tags(tags), std::vector<std::string>{"Food=2"});
    EXPECT_EQ(Utf8(tags.FindTag(u"fOoD")->GetUrlList()->GetNext()->GetData()), "B/b.htm");

    EXPECT_TRUE(tags.AddTag(u"Drink", u"a.htm"));
    EXPECT_FALSE(tags.RenameTag(u"drink", u"food"));  // would be two tags of one name
    EXPECT_TRUE(tags.RenameTag(u"drink", u"Drinks"));
    EXPECT_EQ(tags.FindTag(u"drink"), nullptr);
    ASSERT_NE(tags.FindTag(u"DRINKS"), nullptr);

    EXPECT_TRUE(tags.RemoveTag(u"drinks", u"a.htm"));
    EXPECT_EQ(tags.FindTag(u"drinks"), nullptr);
    EXPECT_TRUE(tags.RemoveTag(u"food", u"B/b.htm"));
    EXPECT_EQ(Tags(tags), std::vector<std::string>{"Food=1"});
    EXPECT_FALSE(tags.RemoveTag(u"food", u"missing.htm"));
    EXPECT_TRUE(tags.IsDirty());

    // A tag that was dropped and comes again is a new tag, found again.
    EXPECT_EQ(tags.RemovePath(u"A.htm"), 1);
    EXPECT_TRUE(tags.GetStore()->GetTagItemHead() == nullptr);
    EXPECT_TRUE(tags.AddTag(u"food", u"c.htm"));
    EXPECT_EQ(Tags(tags), std::vector<std::string>{"food=1"});
}

TEST_F(ProjectTagsTest, FolderPathsAreRewrittenAndRemovedAsAWhole)
{
    CProjectTags tags;
    ASSERT_TRUE(tags.Reset());
    tags.AddTag(u"t", u"A/x.htm");
    tags.AddTag(u"t", u"AB/y.htm");
    tags.AddTag(u"u", u"A/Sub/z.htm");
    EXPECT_EQ(tags.RewritePaths(u"A/", u"C/D/"), 2);
    EXPECT_EQ(tags.RemovePathsUnder(u"C/"), 2);
    EXPECT_EQ(Tags(tags), std::vector<std::string>{"t=1"});
    // The whole project is never one folder's prefix.
    EXPECT_EQ(tags.RemovePathsUnder(u""), 0);
    EXPECT_EQ(tags.RewritePaths(u"", u"X/"), 0);
    EXPECT_EQ(Tags(tags), std::vector<std::string>{"t=1"});
}

TEST_F(ProjectTagsTest, StoreReadsBackWithItsIndex)
{
    fs::path file = content / ".zandrel" / "krv_tags.xml";
    {
        CProjectTags tags;
        tags.Reset();
        tags.AddTag(u"Q&A", u"a.htm");
        tags.AddTag(u"it's", u"b.htm");
        ASSERT_TRUE(tags.Save(U16(file)));
        EXPECT_FALSE(tags.IsDirty());
    }
    CProjectTags tags;
    ASSERT_TRUE(tags.Load(U16(file)));
    EXPECT_EQ(Tags(tags), (std::vector<std::string>{"Q&A=1", "it's=1"}));
    EXPECT_TRUE(tags.AddTag(u"q&a", u"c.htm"));
    EXPECT_EQ(tags.FindTag(u"Q&a")->GetCount(), 2);

    // Missing or broken: an empty store to start from.
    WriteBytes(file, "<krvtags><tag name=");
    ASSERT_TRUE(tags.Load(U16(file)));
    EXPECT_EQ(tags.GetStore()->GetTagItemHead(), nullptr);
}

}  // namespace
