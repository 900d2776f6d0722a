#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/model/CTagStore.h"
#include "base/tools/CUnicodeTool.h"

using Names = std::vector<std::string>;

namespace {

Names Urls(const CTagItem* tag)
{
    Names out;
    for (const RBstrItem* r = tag->GetUrlList(); r; r = r->GetNext())
        out.push_back(CUnicodeTool::ToUtf8(r->GetData()));
    return out;
}

Names TagNames(const CTagStore* store)
{
    Names out;
    for (const RTagItem* r = store->GetTagItemHead(); r; r = r->GetNext())
        out.push_back(CUnicodeTool::ToUtf8(r->GetData()->GetName()));
    return out;
}

CTagItem* AddTag(CTagStore* store, const char16_t* name)
{
    CTagItem* tag = CTagStore::CreateTagItem();
    tag->SetName(name);
    store->AddTagItem(tag);
    return tag;
}

}  // namespace

TEST(TagItem, AddressesAreUniqueIgnoringCaseAndCounted)
{
    CTagItem* tag = CTagStore::CreateTagItem();
    EXPECT_EQ(tag->GetName(), nullptr);
    EXPECT_TRUE(tag->AddUrlItem(u"/p/a.htm", true));
    EXPECT_FALSE(tag->AddUrlItem(u"/p/a.htm", true));
    EXPECT_FALSE(tag->AddUrlItem(u"/P/A.HTM", true));
    EXPECT_EQ(tag->GetCount(), 1);
    EXPECT_TRUE(tag->AddUrlItem(u"/p/b.htm", true));
    EXPECT_TRUE(tag->AddUrlItem(u"/p/a.htm", false));  // the file reader trusts its file
    EXPECT_EQ(tag->GetCount(), 3);
    EXPECT_EQ(Urls(tag), (Names{"/p/a.htm", "/p/b.htm", "/p/a.htm"}));

    EXPECT_TRUE(tag->DeleteUrl(u"/P/B.htm"));
    EXPECT_FALSE(tag->DeleteUrl(u"/p/b.htm"));
    EXPECT_TRUE(tag->DeleteUrl(u"/p/a.htm"));  // the first of two
    EXPECT_EQ(Urls(tag), (Names{"/p/a.htm"}));
    tag->DeleteUrlItem(tag->GetUrlList());
    EXPECT_EQ(tag->GetCount(), 0);
    EXPECT_EQ(tag->GetUrlList(), nullptr);
    CTagItem::Delete(tag);
    CTagItem::Delete(nullptr);
}

TEST(TagStore, RemovingTheHeadKeepsTheTailLink)
{
    CTagStore* store = CTagStore::CreateTagStore();
    store->DeleteAll();  // empty: nothing happens
    CTagItem* a = AddTag(store, u"a");
    CTagItem* b = AddTag(store, u"b");
    CTagItem* c = AddTag(store, u"c");
    c->AddUrlItem(u"u", true);
    ASSERT_TRUE(store->DeleteTagItem(a));
    RTagItem* head = store->GetTagItemHead();
    EXPECT_EQ(head->GetData(), b);
    EXPECT_EQ(head->GetPrev()->GetData(), c);
    EXPECT_EQ(head->GetPrev()->GetNext(), nullptr);

    CTagItem* stranger = CTagStore::CreateTagItem();
    EXPECT_FALSE(store->DeleteTagItem(stranger));
    CTagItem::Delete(stranger);
    EXPECT_EQ(TagNames(store), (Names{"b", "c"}));

    store->SetName(u"tags");
    store->DeleteAll();
    EXPECT_EQ(store->GetTagItemHead(), nullptr);
    EXPECT_EQ(CUnicodeTool::ToUtf8(store->GetName()), "tags");
    CTagStore::DeleteTagStore(store);
    CTagStore::DeleteTagStore(nullptr);
}
