#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/layout/CBaseWinMgr.h"
#include "base/layout/CWinData.h"

namespace {

using Pair = std::pair<int, int>;

class CountingMgr : public CBaseWinMgr {
public:
    void RePositionWnd() override { ++repositions; }
    int repositions = 0;
};

// A manager with its items; the test owns the items, as the shell does.
struct Row {
    CountingMgr mgr;
    std::vector<std::unique_ptr<CWinData>> items;

    CWinData* Make(tagSIZECONTYPE type, int min, int max, int cur, const char16_t* name = nullptr)
    {
        items.push_back(std::make_unique<CWinData>(type, SCT_FIXED));
        CWinData* item = items.back().get();
        item->SetMaxMinSize(max, min);
        item->SetCurSize(cur);
        item->SetName(name);
        return item;
    }
    CWinData* Add(tagSIZECONTYPE type, int min, int max, int cur, const char16_t* name = nullptr)
    {
        CWinData* item = Make(type, min, max, cur, name);
        EXPECT_NE(mgr.AppendAsTail(item), nullptr);
        return item;
    }
    CWinData* Bar(const char16_t* name = nullptr) { return Add(SCT_FIXED, 0, 0, 7, name); }

    // The names along next links, then the tail's name found from the head.
    std::u16string Names() const
    {
        std::u16string out;
        for (RWinItem* n = mgr.GetHeadItem(); n; n = n->GetNext())
            out += n->GetData()->GetName();
        if (RWinItem* tail = CListTool::GetTail(mgr.GetHeadItem()))
            out += std::u16string(u"/") + tail->GetData()->GetName();
        return out;
    }
    Pair Limits(CWinData* bar) const
    {
        Pair out{-1, -1};
        EXPECT_TRUE(mgr.GetConstrain(&out.first, &out.second, bar->GetRWinItem()));
        return out;
    }
    int Total() const
    {
        int total = 0;
        CBaseWinMgr::GetWinItemData(mgr.GetHeadItem(), nullptr, nullptr, &total);
        return total;
    }
};

Pair MaxMin(const SIZEDATA& size) { return {size.nMax, size.nMin}; }

TEST(WinDataTest, BoundsFollowTheConstraintType)
{
    CWinData bounded(SCT_BOUNDED, SCT_STRETCH);
    CWinData stretch(SCT_STRETCH, SCT_BOUNDED);
    CWinData fixed(SCT_FIXED, SCT_FIXED);
    for (CWinData* item : {&bounded, &stretch, &fixed}) {
        item->SetMaxMinSize(1024, 60);
        item->SetMaxMinH(900, 10);
    }
    EXPECT_EQ(MaxMin(bounded.GetSizeData()), Pair(1024, 60));
    EXPECT_EQ(MaxMin(stretch.GetSizeData()), Pair(500, 60));
    EXPECT_EQ(MaxMin(fixed.GetSizeData()), Pair(500, 100));
    EXPECT_EQ(MaxMin(bounded.GetSizeDataH()), Pair(500, 10));
    EXPECT_EQ(MaxMin(stretch.GetSizeDataH()), Pair(900, 10));
    EXPECT_EQ(MaxMin(fixed.GetSizeDataH()), Pair(500, 50));
}

TEST(WinDataTest, DirectionCopiesRecordsOnlyWhenItChanges)
{
    CWinData item(SCT_BOUNDED, SCT_STRETCH);
    item.SetCurSize(300);
    item.SetCurH(40);
    item.SetDirection(true);  // unchanged: the second record keeps 150
    EXPECT_EQ(item.GetSecondSizeData().nCur, 150);
    item.SetDirection(false);
    EXPECT_EQ(item.GetCurSize(), 40);
    EXPECT_EQ(item.GetConstrainType(), SCT_STRETCH);
    item.SetCurSize(77);
    item.SetDirection(false);
    EXPECT_EQ(item.GetCurSize(), 77);
    item.SetDirection(true);
    EXPECT_EQ(item.GetSecondSizeData().nCur, 77);
}

TEST(WinMgrTest, InsertionsKeepHeadAndTailLinks)
{
    Row row;
    CWinData* b = row.Make(SCT_BOUNDED, 0, 0, 0, u"B");
    CWinData* d = row.Make(SCT_BOUNDED, 0, 0, 0, u"D");
    RWinItem* nb = row.mgr.InsertAsHead(b);  // into the empty row
    ASSERT_NE(nb, nullptr);
    EXPECT_EQ(b->GetRWinItem(), nb);
    EXPECT_EQ(b->GetParentWinMgr(), &row.mgr);
    row.mgr.InsertAfterRefItem(d, nb);  // after the tail
    row.mgr.InsertBeforeRefItem(row.Make(SCT_FIXED, 0, 0, 0, u"A"), nb);  // before the head
    row.mgr.InsertAfterRefItem(row.Make(SCT_FIXED, 0, 0, 0, u"C"), nb);
    row.mgr.InsertBeforeRefItem(row.Make(SCT_FIXED, 0, 0, 0, u"c"), d->GetRWinItem());
    row.mgr.InsertAsHead(row.Make(SCT_FIXED, 0, 0, 0, u"0"));
    row.mgr.AppendAsTail(row.Make(SCT_FIXED, 0, 0, 0, u"E"));
    EXPECT_EQ(row.Names(), u"0ABCcDE/E");

    // Refused: an item already in the row, a node of another row.
    Row other;
    CWinData* x = other.Add(SCT_FIXED, 0, 0, 0, u"X");
    EXPECT_EQ(row.mgr.AppendAsTail(b), nullptr);
    EXPECT_EQ(row.mgr.InsertBeforeRefItem(d, nb), nullptr);
    EXPECT_EQ(row.mgr.InsertAfterRefItem(row.Make(SCT_FIXED, 0, 0, 0, u"Y"), x->GetRWinItem()), nullptr);
    EXPECT_EQ(row.Names(), u"0ABCcDE/E");
    EXPECT_EQ(other.Names(), u"X/X");
}

TEST(WinMgrTest, RemoveWndAndSliderTakesTheNeighbourOnTheGivenSide)
{
    Row row;
    row.Add(SCT_BOUNDED, 0, 0, 0, u"A");
    row.Bar(u"1");
    CWinData* b = row.Add(SCT_BOUNDED, 0, 0, 0, u"B");
    row.Bar(u"2");
    row.Add(SCT_STRETCH, 0, 0, 0, u"C");
    row.Bar(u"3");
    row.Add(SCT_BOUNDED, 0, 0, 0, u"D");

    EXPECT_FALSE(row.mgr.RemoveWndAndSlider(u"b", -1));
    EXPECT_FALSE(row.mgr.RemoveWndAndSlider(nullptr, -1));
    EXPECT_TRUE(row.mgr.RemoveWndAndSlider(u"B", 0));
    EXPECT_EQ(row.Names(), u"A1B2C3D/D");

    EXPECT_TRUE(row.mgr.RemoveWndAndSlider(u"B", -1));
    EXPECT_EQ(row.Names(), u"A1C3D/D");
    EXPECT_EQ(b->GetRWinItem(), nullptr);
    EXPECT_EQ(b->GetParentWinMgr(), nullptr);
    EXPECT_TRUE(row.mgr.RemoveWndAndSlider(u"D", 1));  // the tail
    EXPECT_EQ(row.Names(), u"A1C/C");
    EXPECT_TRUE(row.mgr.RemoveWndAndSlider(u"A", 1));  // nothing before the head
    EXPECT_EQ(row.Names(), u"1C/C");
    EXPECT_TRUE(row.mgr.RemoveWndAndSlider(u"1", -1));
    EXPECT_EQ(row.mgr.GetHeadItem(), nullptr);
    EXPECT_NE(row.mgr.AppendAsTail(b), nullptr);  // a removed item may come back
}

TEST(WinMgrTest, ItemDataCountsFixedItemsAtTheirCurrentSize)
{
    Row row;
    row.Add(SCT_BOUNDED, 100, 500, 150);
    row.Bar();
    row.Add(SCT_STRETCH, 60, 0, 300);
    row.Add(static_cast<tagSIZECONTYPE>(9), 0, 0, 5);  // an unknown kind
    int count = 0, min = 0, cur = 0;
    CBaseWinMgr::GetWinItemData(row.mgr.GetHeadItem(), &count, &min, &cur);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(min, 100 + 7 + 60);
    EXPECT_EQ(cur, 150 + 7 + 300 + 5);
}

TEST(WinMgrTest, SliderBetweenBoundedAndStretchPanes)
{
    Row row;
    CWinData* pane = row.Add(SCT_BOUNDED, 100, 500, 150);
    CWinData* bar = row.Bar();
    CWinData* work = row.Add(SCT_STRETCH, 200, 0, 600);
    EXPECT_EQ(row.Limits(bar), Pair(50, 350));

    // Beyond the limit the two sides part ways: this is why callers clamp.
    row.mgr.OnBarMoveToLeft(80, bar->GetRWinItem());
    EXPECT_EQ(Pair(pane->GetCurSize(), work->GetCurSize()), Pair(100, 680));
    row.mgr.OnBarMoveToRight(480, bar->GetRWinItem());
    EXPECT_EQ(Pair(pane->GetCurSize(), work->GetCurSize()), Pair(500, 200));
    EXPECT_EQ(row.mgr.repositions, 2);

    // A slider of another row moves nothing and repositions nothing.
    Row other;
    CWinData* foreign = other.Bar();
    EXPECT_FALSE(row.mgr.GetConstrain(nullptr, nullptr, foreign->GetRWinItem()));
    row.mgr.OnBarMoveToLeft(10, foreign->GetRWinItem());
    row.mgr.OnBarMoveToLeft(-30, bar->GetRWinItem());
    EXPECT_EQ(Pair(pane->GetCurSize(), work->GetCurSize()), Pair(500, 200));
    EXPECT_EQ(row.mgr.repositions, 3);
}

TEST(WinMgrTest, MovesPassOverSlidersAndStopAtTheFirstStretchPane)
{
    Row row;
    CWinData* a = row.Add(SCT_BOUNDED, 100, 500, 300);
    row.Bar();
    CWinData* b = row.Add(SCT_BOUNDED, 100, 500, 120);
    CWinData* bar = row.Bar();
    CWinData* c = row.Add(SCT_BOUNDED, 100, 130, 100);
    CWinData* d = row.Add(SCT_STRETCH, 100, 0, 100);
    CWinData* e = row.Add(SCT_STRETCH, 100, 0, 100);
    // b gives its 20 first, a the rest; c fills up to its maximum, d the rest.
    row.mgr.OnBarMoveToLeft(100, bar->GetRWinItem());
    std::vector<int> sizes;
    for (CWinData* item : {a, b, c, d, e})
        sizes.push_back(item->GetCurSize());
    EXPECT_EQ(sizes, (std::vector<int>{220, 100, 130, 170, 100}));
}

TEST(WinMgrTest, ItemOutsideItsBoundsIsNotPushedFurther)
{
    Row row;
    CWinData* a = row.Add(SCT_BOUNDED, 100, 500, 150);
    CWinData* low = row.Add(SCT_STRETCH, 0, 0, 80);
    low->SetMaxMinSize(0, 120);  // raised over its current size
    CWinData* bar = row.Bar();
    CWinData* high = row.Add(SCT_BOUNDED, 0, 0, 300);
    high->SetMaxMinSize(200, 100);  // lowered under its current size

    EXPECT_EQ(row.Limits(bar), Pair(0, 200));
    row.mgr.OnBarMoveToRight(200, bar->GetRWinItem());
    EXPECT_EQ(Pair(high->GetCurSize(), low->GetCurSize()), Pair(100, 280));

    // Below its minimum, an item has nothing to give rather than a debt.
    low->SetCurSize(80);
    high->SetMaxMinSize(1000, 100);
    EXPECT_EQ(row.Limits(bar).first, 50);
    row.mgr.OnBarMoveToLeft(50, bar->GetRWinItem());
    EXPECT_EQ(Pair(low->GetCurSize(), a->GetCurSize()), Pair(80, 100));
}

TEST(WinMgrTest, ArrangementsKeepEveryItemWithinItsBounds)
{
    Row row;
    CWinData* a = row.Add(SCT_BOUNDED, 100, 500, 300);
    CWinData* s1 = row.Add(SCT_STRETCH, 50, 0, 200);
    CWinData* bar = row.Bar();
    CWinData* b = row.Add(SCT_BOUNDED, 100, 500, 250);
    CWinData* s2 = row.Add(SCT_STRETCH, 50, 0, 90);

    // Stretch panes give first, from the chosen end.
    row.mgr.ArrangeWinAsMinPlus(100, false);
    EXPECT_EQ(Pair(s1->GetCurSize(), s2->GetCurSize()), Pair(140, 50));
    row.mgr.ArrangeWinAsMinPlus(200, true);
    EXPECT_EQ(Pair(s1->GetCurSize(), a->GetCurSize()), Pair(50, 190));
    row.mgr.ArrangeWinAsMinPlus(100000, true);
    EXPECT_EQ(Pair(a->GetCurSize(), b->GetCurSize()), Pair(100, 100));
    EXPECT_EQ(Pair(s2->GetCurSize(), bar->GetCurSize()), Pair(50, 7));

    row.mgr.ArrangeWinAsDesired(400, true);
    row.mgr.ArrangeWinAsDesired(30, false);
    EXPECT_EQ(Pair(s1->GetCurSize(), s2->GetCurSize()), Pair(450, 80));
    row.mgr.ArrangeWinAsDesired(-1000, true);
    EXPECT_EQ(s1->GetCurSize(), 50);

    a->SetCurSize(999);
    row.mgr.ArrangeWinAsMin();
    EXPECT_EQ(Pair(a->GetCurSize(), s2->GetCurSize()), Pair(100, 50));
    EXPECT_EQ(row.mgr.repositions, 0);

    // Without a stretch pane the end item takes only what its bounds allow.
    Row plain;
    CWinData* p = plain.Add(SCT_BOUNDED, 100, 500, 300);
    CWinData* q = plain.Add(SCT_BOUNDED, 100, 500, 450);
    plain.mgr.ArrangeWinAsDesired(100, true);
    plain.mgr.ArrangeWinAsDesired(100, false);
    EXPECT_EQ(Pair(p->GetCurSize(), q->GetCurSize()), Pair(400, 500));
    CWinData* end = plain.Bar();
    plain.mgr.ArrangeWinAsDesired(100, true);
    EXPECT_EQ(end->GetCurSize(), 7);
}

// For random rows, a move within GetConstrain's limit keeps every item in
// its bounds and the total unchanged, and shifts both limits by the amount.
TEST(WinMgrTest, MovesWithinTheLimitKeepBoundsAndTotal)
{
    std::mt19937 rng(20240601);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Row row;
        int length = pick(1, 9);
        for (int i = 0; i < length; ++i) {
            int min = pick(0, 200);
            int kind = pick(0, 2);
            int max = min + pick(0, 300);
            if (kind == 0)
                row.Add(SCT_FIXED, 0, 0, pick(0, 10));
            else if (kind == 1)
                row.Add(SCT_BOUNDED, min, max, pick(min, max));
            else
                row.Add(SCT_STRETCH, min, 0, max);
        }
        CWinData* bar = row.items[pick(0, length - 1)].get();
        std::vector<int> before;
        for (const auto& item : row.items)
            before.push_back(item->GetCurSize());
        auto [toHead, toTail] = row.Limits(bar);
        bool left = pick(0, 1) == 0;
        int limit = left ? toHead : toTail;
        int amount = pick(0, 2) == 0 ? limit : pick(0, limit);
        int total = row.Total();
        if (left)
            row.mgr.OnBarMoveToLeft(amount, bar->GetRWinItem());
        else
            row.mgr.OnBarMoveToRight(amount, bar->GetRWinItem());

        EXPECT_EQ(row.Total(), total);
        for (size_t i = 0; i < row.items.size(); ++i) {
            const SIZEDATA& size = row.items[i]->GetSizeData();
            if (size.nConType == SCT_FIXED) {
                EXPECT_EQ(size.nCur, before[i]);
                continue;
            }
            EXPECT_GE(size.nCur, size.nMin);
            EXPECT_TRUE(size.nConType == SCT_STRETCH || size.nCur <= size.nMax);
        }
        int shift = left ? -amount : amount;
        EXPECT_EQ(row.Limits(bar), Pair(toHead + shift, toTail - shift));
    }
}

}  // namespace
