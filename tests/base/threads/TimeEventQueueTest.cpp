#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "base/threads/CTimeEventQueue.h"
#include "tests/base/threads/ThreadTestUtil.h"

namespace {

std::pair<long, int> TimeOf(const CTimeEvent& e)
{
    long s;
    int ms;
    e.GetTime(&s, &ms);
    return {s, ms};
}

// The queued events from head to tail, after checking every link of the
// list: the head's previous link is the tail, the tail has no next cell,
// and each cell's previous cell leads back to it.
std::vector<CTimeEvent*> Walk(const CTimeEventQueue& q)
{
    std::vector<CTimeEvent*> events;
    const CEventItem* head = q.GetHeadItem();
    const CEventItem* last = nullptr;
    for (const CEventItem* cell = head; cell; cell = cell->GetNext()) {
        if (cell != head) {
            EXPECT_EQ(cell->GetPrev(), last);
        }
        events.push_back(cell->GetEvent());
        last = cell;
    }
    if (head) {
        EXPECT_EQ(head->GetPrev(), last);
    }
    return events;
}

class TimeEventTest : public ::testing::Test {
protected:
    void TearDown() override { CTimeEvent::SetRefTime(0, 0); }
};

TEST_F(TimeEventTest, SettersCarryMillisecondsOnceOnly)
{
    TestEvent e(nullptr, 1);
    e.SetTime(10, 800);
    e.SetDelayTime(0, 1500);
    EXPECT_EQ(TimeOf(e), std::make_pair(11L, 1300));
    e.SetTime(10, 2500);
    EXPECT_EQ(TimeOf(e), std::make_pair(11L, 1500));
    e.SetTime(10, -200);
    EXPECT_EQ(TimeOf(e), std::make_pair(10L, -200));

    TestEvent ref(nullptr, 2);
    ref.SetTime(5, 600);
    e.SetTime(&ref, 2, 400);
    EXPECT_EQ(TimeOf(e), std::make_pair(8L, 0));

    CTimeEvent::SetRefTime(100, 2500);
    long refSeconds;
    int refMs;
    CTimeEvent::GetRefTime(&refSeconds, &refMs);
    EXPECT_EQ(std::make_pair(refSeconds, refMs), std::make_pair(101L, 1500));
    e.SetDelayToRefTime(1, 0);
    EXPECT_EQ(TimeOf(e), std::make_pair(103L, 500));
    EXPECT_EQ(e.GetTimeGap(100), 3);
}

TEST_F(TimeEventTest, ComparesSecondsBeforeMilliseconds)
{
    TestEvent e(nullptr, 1);
    e.SetTime(10, 2300);  // (11, 1300) after the one carry
    EXPECT_EQ(e.CompareTime(12, 0), -1);
    EXPECT_EQ(e.CompareTime(11, 1299), 1);
    EXPECT_EQ(e.CompareTime(11, 1300), 0);

    long ds = 0;
    int dms = 0;
    EXPECT_EQ(e.FromNow(5000)->CompareCurrentTime(&ds, &dms), 1);
    EXPECT_EQ(ds * 1000 + dms > 3000 && ds * 1000 + dms <= 5000, true) << ds << " s " << dms << " ms";
    EXPECT_EQ(e.FromNow(-1)->CompareCurrentTime(nullptr, nullptr), -1);
}

// Same times keep their order of arrival; the new-head answer and the
// links stay right through inserts, both replace rules and head removals.
// A plain sorted vector is the reference.
TEST(TimeEventQueue, MatchesASortedListThroughRandomChanges)
{
    std::mt19937 random(4711);
    std::vector<std::unique_ptr<TestEvent>> pool;  // the queue owns none
    std::vector<CTimeEvent*> model;
    CTimeEventQueue q;
    auto earlier = [](CTimeEvent* a, CTimeEvent* b) { return a->CompareTime(b) < 0; };

    for (int step = 0; step < 3000; ++step) {
        int op = static_cast<int>(random() % 6);
        if (op == 5) {
            q.RemoveHead();
            if (!model.empty())
                model.erase(model.begin());
        } else {
            pool.push_back(std::make_unique<TestEvent>(nullptr, step, static_cast<int>(random() % 4)));
            TestEvent* e = pool.back().get();
            e->SetTime(100 + static_cast<long>(random() % 3), static_cast<int>(random() % 2) * 500);

            // The reference: the latest event of the same job, the rule, then
            // a place behind every event not later than `e`.
            CTimeEvent* match = nullptr;
            if (op > 1) {
                auto it = std::find_if(model.rbegin(), model.rend(),
                                       [&](CTimeEvent* queued) { return queued->IsTheSameEvent(e); });
                match = it == model.rend() ? nullptr : *it;
            }
            bool accept = true;
            if (match && op == 2)
                accept = match->CompareTime(e) > 0;
            if (match && op == 3)
                accept = match->CompareTime(e) <= 0;
            if (accept && match)
                model.erase(std::find(model.begin(), model.end(), match));
            auto place = std::upper_bound(model.begin(), model.end(), e, earlier);
            bool expectHead = accept && place == model.begin();
            if (accept)
                model.insert(place, e);

            bool newHead = !expectHead;
            CTimeEvent* replaced = e;
            bool accepted = true;
            if (op <= 1)
                newHead = q.InsertEvent(e);
            else if (op == 4)
                accepted = q.InsertAndReplaceEvent(e, &replaced, &newHead);
            else
                accepted = q.InsertOrReplaceEvent(e, op == 2, &replaced, &newHead);
            ASSERT_EQ(accepted, accept) << "step " << step;
            ASSERT_EQ(newHead, expectHead) << "step " << step;
            if (op > 1) {
                ASSERT_EQ(replaced, accept ? match : nullptr) << "step " << step;
            }
        }
        ASSERT_EQ(Walk(q), model) << "step " << step;
        ASSERT_EQ(q.GetPeepHeadEvent(), model.empty() ? nullptr : model.front());
    }
}

}  // namespace
