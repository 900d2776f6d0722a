#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/model/CSortRList.h"
#include "base/model/CSortRTagItem.h"
#include "base/model/CTagStore.h"
#include "base/model/CUrlNode.h"

namespace {

class SortProbe : public CSortRList {
public:
    using CSortRList::BubbleSort;
    using CSortRList::CompareNameAsc;
    using CSortRList::CompareNameDes;
    using CSortRList::CompareNoCase;
};

// Head's previous link is the tail, the tail has no next, every next points
// back, and the list has the expected length.
template <typename R>
::testing::AssertionResult LinksValid(R* head, int count)
{
    if (!head)
        return count == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "empty";
    int n = 1;
    R* r = head;
    for (; r && r->GetNext() && n <= count; r = r->GetNext(), ++n) {
        if (r->GetNext()->GetPrev() != r)
            return ::testing::AssertionFailure() << "record " << n << ": next does not point back";
    }
    if (!r || n != count || r->GetNext())
        return ::testing::AssertionFailure() << "length differs from " << count;
    if (head->GetPrev() != r)
        return ::testing::AssertionFailure() << "head's previous link is not the tail";
    return ::testing::AssertionSuccess();
}

std::string Ascii(const char16_t* text)
{
    return text ? std::string(text, text + std::char_traits<char16_t>::length(text)) : "(none)";
}

using NameList = std::vector<std::string>;

class NodeSortTest : public ::testing::Test {
protected:
    ~NodeSortTest() override { Clear(); }

    void Clear()
    {
        while (m_head) {
            RBaseNodeItem* next = m_head->GetNext();
            RBaseNodeItem::Delete(m_head);
            m_head = next;
        }
        for (CBaseNode* node : m_nodes)
            CBaseNode::Delete(node);
        m_nodes.clear();
    }

    CBaseNode* Add(const char16_t* name, long visited = 0)
    {
        CUrlNode* node = CUrlNode::New();
        node->SetName(name);
        node->GetNodeStat()->SetStatTime(0, 0, visited, CNodeStat::STAT_VISITED);
        m_nodes.push_back(node);
        m_head = CListTool::Append(m_head, RBaseNodeItem::New(node));
        return node;
    }

    void SortByName(bool ascending)
    {
        m_head = CSortRList().Sort(m_head, ascending);
        EXPECT_TRUE(LinksValid(m_head, static_cast<int>(m_nodes.size())));
    }

    NameList Names() const
    {
        NameList out;
        for (RBaseNodeItem* r = m_head; r; r = r->GetNext())
            out.push_back(Ascii(r->GetData()->GetName()));
        return out;
    }

    std::vector<CBaseNode*> Order() const
    {
        std::vector<CBaseNode*> out;
        for (RBaseNodeItem* r = m_head; r; r = r->GetNext())
            out.push_back(r->GetData());
        return out;
    }

    RBaseNodeItem* m_head = nullptr;
    std::vector<CBaseNode*> m_nodes;
};

TEST(CompareNoCaseTest, ComparesNoFurtherThanTheFirstText)
{
    EXPECT_EQ(SortProbe::CompareNoCase(u"", u"abc"), 0);
    EXPECT_EQ(SortProbe::CompareNoCase(nullptr, u"abc"), 0);
    EXPECT_EQ(SortProbe::CompareNoCase(u"AB", u"abc"), 0);
    EXPECT_GT(SortProbe::CompareNoCase(u"abc", u"ab"), 0);
    EXPECT_GT(SortProbe::CompareNoCase(u"a", nullptr), 0);
    EXPECT_LT(SortProbe::CompareNoCase(u"abz", u"aC"), 0);
}

TEST_F(NodeSortTest, ShortListsAreLeftAsTheyAre)
{
    EXPECT_EQ(CSortRList().Sort(nullptr, true), nullptr);
    Add(u"only");
    RBaseNodeItem* only = m_head;
    EXPECT_FALSE(SortProbe::BubbleSort(&m_head, SortProbe::CompareNameAsc, 0));
    EXPECT_EQ(m_head, only);
    EXPECT_EQ(CSortRList().SortByVisitTime(m_head, false), only);
    EXPECT_TRUE(LinksValid(m_head, 1));

    Add(u"other");
    EXPECT_FALSE(SortProbe::BubbleSort(&m_head, SortProbe::CompareNameAsc, 0));
    EXPECT_TRUE(SortProbe::BubbleSort(&m_head, SortProbe::CompareNameDes, 0));
    EXPECT_EQ(Names(), (NameList{"other", "only"}));
}

// Ascending order is checked on random lists below; here the empty name
// and descending order, which only swaps a pair whose first name is
// smaller: a prefix is not smaller than its longer name, so neither ever
// passes the other.
TEST_F(NodeSortTest, NoNameSortsAsEmptyAndDescendingKeepsPrefixesInPlace)
{
    const struct {
        std::vector<const char16_t*> names;
        bool ascending;
        NameList expected;
    } cases[] = {
        {{u"b", nullptr, u""}, true, {"(none)", "", "b"}},
        {{u"A", u"a", u"ab", u"b"}, false, {"b", "A", "a", "ab"}},
        {{u"ab", u"abc"}, false, {"ab", "abc"}},
        {{u"abc", u"ab"}, false, {"abc", "ab"}},
    };
    for (const auto& c : cases) {
        Clear();
        for (const char16_t* name : c.names)
            Add(name);
        SortByName(c.ascending);
        EXPECT_EQ(Names(), c.expected);
    }
}

// Ascending names and visit times both ways are strict orderings, so the
// bubble sort must agree with a stable sort on any input.
TEST_F(NodeSortTest, AgreesWithStableSortOnRandomLists)
{
    const char16_t* pool[] = {u"", u"a", u"A", u"ab", u"AB", u"abc", u"b", u"B", u"ba"};
    auto folded = [](const CBaseNode* x) { return CStringTool::ToLower(x->GetName()); };
    auto visited = [](const CBaseNode* x) {
        long t = 0;
        x->GetNodeStat()->GetStatTime(nullptr, nullptr, &t);
        return t;
    };
    std::mt19937 rng(20240611);
    for (int round = 0; round < 200; ++round) {
        Clear();
        for (int n = static_cast<int>(rng() % 12); n > 0; --n)
            Add(pool[rng() % std::size(pool)], static_cast<long>(rng() % 5));

        std::vector<CBaseNode*> want = Order();
        std::stable_sort(want.begin(), want.end(),
                         [&](auto* x, auto* y) { return folded(x) < folded(y); });
        SortByName(true);
        ASSERT_EQ(Order(), want) << "round " << round;

        for (bool ascending : {false, true}) {
            want = Order();
            std::stable_sort(want.begin(), want.end(), [&](auto* x, auto* y) {
                return ascending ? visited(x) < visited(y) : visited(x) > visited(y);
            });
            m_head = CSortRList().SortByVisitTime(m_head, ascending);
            ASSERT_EQ(Order(), want) << "round " << round;
            ASSERT_TRUE(LinksValid(m_head, static_cast<int>(m_nodes.size())));
        }
    }
}

TEST(TagSortTest, SortsTagItemsByNameThroughTheStore)
{
    CTagStore* store = CTagStore::CreateTagStore();
    for (const char16_t* name : {u"web", u"News", u"Web", u"new", u"news"}) {
        CTagItem* tag = CTagStore::CreateTagItem();
        tag->SetName(name);
        store->AddTagItem(tag);
    }
    auto names = [store] {
        NameList out;
        for (RTagItem* r = store->GetTagItemHead(); r; r = r->GetNext())
            out.push_back(Ascii(r->GetData()->GetName()));
        return out;
    };
    store->SortTagItem(true);
    EXPECT_EQ(names(), (NameList{"new", "News", "news", "web", "Web"}));
    EXPECT_TRUE(LinksValid(store->GetTagItemHead(), 5));
    store->SortTagItem(false);
    EXPECT_EQ(names(), (NameList{"web", "Web", "new", "News", "news"}));
    EXPECT_TRUE(LinksValid(store->GetTagItemHead(), 5));
    CTagStore::DeleteTagStore(store);
}

}  // namespace
