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

TEST_F(NodeSortTest, NamesSortStablyWithPrefixesFirst)
{
    Add(u"b");
    Add(u"A");
    Add(u"ab");
    Add(u"a");
    SortByName(true);
    EXPECT_EQ(Names(), (NameList{"A", "a", "ab", "b"}));
    // Descending only swaps a pair whose first name is smaller, and "a" is
    // not smaller than "ab", so "ab" never passes it.
    SortByName(false);
    EXPECT_EQ(Names(), (NameList{"b", "A", "a", "ab"}));

    Clear();
    Add(u"b");
    Add(nullptr);  // sorts as the empty name
    Add(u"");
    SortByName(true);
    EXPECT_EQ(Names(), (NameList{"(none)", "", "b"}));
}

TEST_F(NodeSortTest, DescendingNeverMovesAPrefixBehindItsLongerName)
{
    Add(u"ab");
    Add(u"abc");
    SortByName(false);
    EXPECT_EQ(Names(), (NameList{"ab", "abc"}));

    Clear();
    Add(u"abc");
    Add(u"ab");
    SortByName(false);
    EXPECT_EQ(Names(), (NameList{"abc", "ab"}));
}

TEST_F(NodeSortTest, VisitTimeOrdersOldestFirstAndKeepsTies)
{
    CBaseNode* late = Add(u"late", 300);
    CBaseNode* early = Add(u"early", 100);
    CBaseNode* tie1 = Add(u"tie1", 200);
    CBaseNode* tie2 = Add(u"tie2", 200);
    m_head = CSortRList().SortByVisitTime(m_head, true);
    EXPECT_EQ(Order(), (std::vector<CBaseNode*>{early, tie1, tie2, late}));
    EXPECT_TRUE(LinksValid(m_head, 4));
    m_head = CSortRList().SortByVisitTime(m_head, false);
    EXPECT_EQ(Order(), (std::vector<CBaseNode*>{late, tie1, tie2, early}));
    EXPECT_TRUE(LinksValid(m_head, 4));
}

// Ascending names and descending visit times are strict orderings, so the
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

        want = Order();
        std::stable_sort(want.begin(), want.end(),
                         [&](auto* x, auto* y) { return visited(x) > visited(y); });
        m_head = CSortRList().SortByVisitTime(m_head, false);
        ASSERT_EQ(Order(), want) << "round " << round;
        ASSERT_TRUE(LinksValid(m_head, static_cast<int>(m_nodes.size())));
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
