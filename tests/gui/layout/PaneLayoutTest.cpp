#include <gtest/gtest.h>

#include "app/core/CAppSettings.h"
#include "app/shell/CPaneLayout.h"

namespace {

using P = CPaneLayout;

struct Seen {
    int calls = 0;
    P::Rect last[P::kPaneCount];
};

// Panes of a shown row must tile it: each one starts where the one before
// it ended, and the last one ends at the edge.
void ExpectTiles(const P& layout, std::initializer_list<P::Pane> order, bool horizontal, int length)
{
    int at = -1;
    for (P::Pane pane : order) {
        const P::Rect& r = layout.GetRect(pane);
        ASSERT_TRUE(r.shown) << pane;
        int start = horizontal ? r.x : r.y;
        if (at >= 0) {
            EXPECT_EQ(start, at) << "gap or overlap before pane " << pane;
        }
        at = start + (horizontal ? r.width : r.height);
    }
    EXPECT_EQ(at, length);
}

TEST(PaneLayout, DefaultLayoutTilesTheWindowWithTheTaskPaneHidden)
{
    Seen seen;
    P layout([&](P::Pane pane, const P::Rect& r) {
        ++seen.calls;
        seen.last[pane] = r;
    });
    layout.Place(1000, 700);

    EXPECT_EQ(seen.calls, P::kPaneCount);  // hidden panes are reported too
    EXPECT_FALSE(layout.IsTaskPaneShown());
    EXPECT_FALSE(seen.last[P::PANE_TASK].shown);
    EXPECT_FALSE(seen.last[P::SLIDER_TASK].shown);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, P::kTreeWidth);
    EXPECT_EQ(layout.GetRect(P::SLIDER_TREE).width, P::kSliderSize);
    // The work area's panes share its x range.
    const P::Rect& list = layout.GetRect(P::PANE_LIST);
    EXPECT_EQ(list.x, P::kTreeWidth + P::kSliderSize);
    EXPECT_EQ(list.width, 1000 - P::kTreeWidth - P::kSliderSize);
    EXPECT_EQ(list.height, P::kListHeight);
    EXPECT_EQ(layout.GetRect(P::PANE_TITLE).height, P::kTitleHeight);
    ExpectTiles(layout, {P::PANE_LIST, P::SLIDER_LIST, P::PANE_TITLE, P::PANE_PAGE}, false, 700);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_PAGE}, true, 1000);
}

TEST(PaneLayout, TaskPaneComesAndGoesWithItsSlider)
{
    P layout(nullptr);
    layout.ShowTaskPane(true);
    layout.Place(1200, 800);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST, P::SLIDER_TASK, P::PANE_TASK}, true, 1200);
    EXPECT_EQ(layout.GetRect(P::PANE_TASK).width, 230);

    layout.ShowTaskPane(false);
    layout.Refresh();
    EXPECT_FALSE(layout.GetRect(P::PANE_TASK).shown);
    EXPECT_FALSE(layout.GetRect(P::SLIDER_TASK).shown);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST}, true, 1200);

    // Twice the same way changes nothing (the row must not hold it twice).
    layout.ShowTaskPane(true);
    layout.ShowTaskPane(true);
    layout.Refresh();
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST, P::SLIDER_TASK, P::PANE_TASK}, true, 1200);
}

TEST(PaneLayout, SlidersMoveWithinTheirNeighboursBounds)
{
    P layout(nullptr);
    layout.Place(1000, 700);

    EXPECT_EQ(layout.DragSlider(P::SLIDER_TREE, 50), 50);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, P::kTreeWidth + 50);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST}, true, 1000);

    // The tree cannot go below its minimum of 100.
    EXPECT_EQ(layout.DragSlider(P::SLIDER_TREE, -1000), -(P::kTreeWidth + 50 - 100));
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, 100);

    // A drag is kept: fitting the row again does not undo it.
    layout.Place(1000, 700);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, 100);

    // Nor can the work area be pushed below its own minimum.
    int moved = layout.DragSlider(P::SLIDER_TREE, 5000);
    EXPECT_GT(moved, 0);
    EXPECT_LE(layout.GetRect(P::PANE_TREE).width, 1024);
    EXPECT_GE(layout.GetRect(P::PANE_LIST).width, 100);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST}, true, 1000);

    // The list's slider moves down, the page area gives way.
    int pageBefore = layout.GetRect(P::PANE_PAGE).height;
    EXPECT_EQ(layout.DragSlider(P::SLIDER_LIST, 30), 30);
    EXPECT_EQ(layout.GetRect(P::PANE_PAGE).height, pageBefore - 30);
    ExpectTiles(layout, {P::PANE_LIST, P::SLIDER_LIST, P::PANE_TITLE, P::PANE_PAGE}, false, 700);

    // A hidden pane's slider and a pane that is not a slider do nothing.
    EXPECT_EQ(layout.DragSlider(P::SLIDER_TASK, 20), 0);
    EXPECT_EQ(layout.DragSlider(P::PANE_TREE, 20), 0);
}

TEST(PaneLayout, ShrinkingTheWindowSqueezesThePageFirstAndTheSidePanesOnlyWhileSmall)
{
    P layout(nullptr);
    layout.ShowTaskPane(true);
    layout.Place(1200, 800);
    layout.Place(700, 500);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, P::kTreeWidth);
    EXPECT_EQ(layout.GetRect(P::PANE_TASK).width, 230);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST, P::SLIDER_TASK, P::PANE_TASK}, true, 700);

    // Below the work area's minimum the side panes give, the task pane first.
    layout.Place(500, 500);
    EXPECT_EQ(layout.GetRect(P::PANE_LIST).width, 100);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, P::kTreeWidth);
    EXPECT_EQ(layout.GetRect(P::PANE_TASK).width, 500 - 100 - P::kTreeWidth - 2 * P::kSliderSize);

    // Growing again gives the side panes back the sizes they had.
    layout.Place(1400, 900);
    EXPECT_EQ(layout.GetRect(P::PANE_TASK).width, 230);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, P::kTreeWidth);
    ExpectTiles(layout, {P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST, P::SLIDER_TASK, P::PANE_TASK}, true, 1400);
    ExpectTiles(layout, {P::PANE_LIST, P::SLIDER_LIST, P::PANE_TITLE, P::PANE_PAGE}, false, 900);
}

TEST(PaneLayout, SizesRoundTripThroughTheLayoutProfile)
{
    CLayoutProfile profile;
    profile.SetExtraValue1(320);
    profile.SetExtraValue2(150);
    profile.SetTaskPaneWidth(300);
    profile.SetTaskPaneValue(1);

    P layout(nullptr);
    layout.LoadSizes(profile);
    layout.Place(1400, 900);
    EXPECT_TRUE(layout.IsTaskPaneShown());
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, 320);
    EXPECT_EQ(layout.GetRect(P::PANE_LIST).height, 150);
    EXPECT_EQ(layout.GetRect(P::PANE_TASK).width, 300);

    layout.DragSlider(P::SLIDER_TREE, 10);
    layout.ShowTaskPane(false);
    CLayoutProfile saved;
    layout.SaveSizes(saved);
    EXPECT_EQ(saved.GetExtraValue1(), 330);
    EXPECT_EQ(saved.GetExtraValue2(), 150);
    EXPECT_EQ(saved.GetTaskPaneWidth(), 300);
    EXPECT_EQ(saved.GetTaskPaneValue(), 0);
}

TEST(PaneLayout, OutOfRangeStoredSizesAreBroughtIntoBounds)
{
    CLayoutProfile profile;
    profile.SetExtraValue1(5000);  // wider than any pane may be
    profile.SetExtraValue2(40);
    P layout(nullptr);
    layout.LoadSizes(profile);
    layout.Place(2000, 900);
    EXPECT_EQ(layout.GetRect(P::PANE_TREE).width, 1024);
    EXPECT_EQ(layout.GetRect(P::PANE_LIST).height, 40);
    EXPECT_FALSE(layout.IsTaskPaneShown());
}

}  // namespace
