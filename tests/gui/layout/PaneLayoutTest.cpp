#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/core/CAppSettings.h"
#include "app/shell/CPaneLayout.h"

namespace {

using P = CPaneLayout;

int Width(const P& layout, P::Pane pane) { return layout.GetRect(pane).width; }
int Height(const P& layout, P::Pane pane) { return layout.GetRect(pane).height; }

// The window's row (tree, work area, task pane when shown) and the work
// area's column must be tiled: each pane starts where the one before it
// ended, the last one ends at the edge, and the column keeps the list's
// x range.
void ExpectTiled(const P& layout, int width, int height)
{
    std::vector<P::Pane> row{P::PANE_TREE, P::SLIDER_TREE, P::PANE_LIST};
    if (layout.IsTaskPaneShown())
        row.insert(row.end(), {P::SLIDER_TASK, P::PANE_TASK});
    std::vector<P::Pane> column{P::PANE_LIST, P::SLIDER_LIST, P::PANE_TITLE, P::PANE_PAGE};
    const P::Rect& list = layout.GetRect(P::PANE_LIST);
    for (auto [order, horizontal, length] : {std::tuple{row, true, width}, std::tuple{column, false, height}}) {
        int at = 0;
        for (P::Pane pane : order) {
            const P::Rect& r = layout.GetRect(pane);
            ASSERT_TRUE(r.shown) << pane;
            EXPECT_EQ(horizontal ? r.x : r.y, at) << "gap or overlap before pane " << pane;
            at = horizontal ? r.x + r.width : r.y + r.height;
            if (!horizontal) {
                EXPECT_EQ(std::pair(r.x, r.width), std::pair(list.x, list.width)) << pane;
            }
        }
        EXPECT_EQ(at, length);
    }
}

TEST(PaneLayout, DefaultLayoutTilesTheWindowWithTheTaskPaneHidden)
{
    int calls = 0;
    P::Rect last[P::kPaneCount];
    P layout([&](P::Pane pane, const P::Rect& r) {
        ++calls;
        last[pane] = r;
    });
    layout.Place(1000, 700);
    EXPECT_EQ(calls, P::kPaneCount);  // hidden panes are reported too
    EXPECT_FALSE(layout.IsTaskPaneShown());
    EXPECT_FALSE(last[P::PANE_TASK].shown);
    EXPECT_FALSE(last[P::SLIDER_TASK].shown);
    EXPECT_EQ(Width(layout, P::PANE_TREE), P::kTreeWidth);
    EXPECT_EQ(Width(layout, P::SLIDER_TREE), P::kSliderSize);
    EXPECT_EQ(Height(layout, P::PANE_LIST), P::kListHeight);
    EXPECT_EQ(Height(layout, P::PANE_TITLE), P::kTitleHeight);
    ExpectTiled(layout, 1000, 700);
}

TEST(PaneLayout, TaskPaneComesAndGoesWithItsSlider)
{
    P layout(nullptr);
    layout.ShowTaskPane(true);
    layout.Place(1200, 800);
    ExpectTiled(layout, 1200, 800);
    EXPECT_EQ(Width(layout, P::PANE_TASK), 230);

    layout.ShowTaskPane(false);
    layout.Refresh();
    EXPECT_FALSE(layout.GetRect(P::PANE_TASK).shown);
    EXPECT_FALSE(layout.GetRect(P::SLIDER_TASK).shown);
    ExpectTiled(layout, 1200, 800);

    // Twice the same way changes nothing (the row must not hold it twice).
    layout.ShowTaskPane(true);
    layout.ShowTaskPane(true);
    layout.Refresh();
    ExpectTiled(layout, 1200, 800);
}

TEST(PaneLayout, SlidersMoveWithinTheirNeighboursBounds)
{
    P layout(nullptr);
    layout.Place(1000, 700);
    EXPECT_EQ(layout.DragSlider(P::SLIDER_TREE, 50), 50);
    EXPECT_EQ(Width(layout, P::PANE_TREE), P::kTreeWidth + 50);
    ExpectTiled(layout, 1000, 700);

    // The tree cannot go below its minimum of 100, and a drag is kept when
    // the row is fitted again.
    EXPECT_EQ(layout.DragSlider(P::SLIDER_TREE, -1000), -(P::kTreeWidth + 50 - 100));
    layout.Place(1000, 700);
    EXPECT_EQ(Width(layout, P::PANE_TREE), 100);

    // Nor can the work area be pushed below its own minimum.
    EXPECT_GT(layout.DragSlider(P::SLIDER_TREE, 5000), 0);
    EXPECT_LE(Width(layout, P::PANE_TREE), 1024);
    EXPECT_GE(Width(layout, P::PANE_LIST), 100);
    ExpectTiled(layout, 1000, 700);

    // The list's slider moves down, the page area gives way.
    int pageBefore = Height(layout, P::PANE_PAGE);
    EXPECT_EQ(layout.DragSlider(P::SLIDER_LIST, 30), 30);
    EXPECT_EQ(Height(layout, P::PANE_PAGE), pageBefore - 30);
    ExpectTiled(layout, 1000, 700);

    // A hidden pane's slider and a pane that is not a slider do nothing.
    EXPECT_EQ(layout.DragSlider(P::SLIDER_TASK, 20), 0);
    EXPECT_EQ(layout.DragSlider(P::PANE_TREE, 20), 0);
}

TEST(PaneLayout, ShrinkingTheWindowSqueezesThePageFirstAndTheSidePanesOnlyWhileSmall)
{
    P layout(nullptr);
    layout.ShowTaskPane(true);
    layout.Place(1200, 800);
    // Below the work area's minimum the side panes give, the task pane
    // first; growing again gives them back the sizes they had.
    const int squeezed = 500 - 100 - P::kTreeWidth - 2 * P::kSliderSize;
    for (auto [width, task] : {std::pair{700, 230}, {500, squeezed}, {1400, 230}}) {
        layout.Place(width, 500);
        EXPECT_EQ(Width(layout, P::PANE_TREE), P::kTreeWidth) << width;
        EXPECT_EQ(Width(layout, P::PANE_TASK), task) << width;
        ExpectTiled(layout, width, 500);
    }
    layout.Place(500, 500);
    EXPECT_EQ(Width(layout, P::PANE_LIST), 100);
}

TEST(PaneLayout, SizesRoundTripThroughTheLayoutProfileAndAreBroughtIntoBounds)
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
    EXPECT_EQ(Width(layout, P::PANE_TREE), 320);
    EXPECT_EQ(Height(layout, P::PANE_LIST), 150);
    EXPECT_EQ(Width(layout, P::PANE_TASK), 300);

    layout.DragSlider(P::SLIDER_TREE, 10);
    layout.ShowTaskPane(false);
    CLayoutProfile saved;
    layout.SaveSizes(saved);
    EXPECT_EQ(saved.GetExtraValue1(), 330);
    EXPECT_EQ(saved.GetExtraValue2(), 150);
    EXPECT_EQ(saved.GetTaskPaneWidth(), 300);
    EXPECT_EQ(saved.GetTaskPaneValue(), 0);

    CLayoutProfile wild;
    wild.SetExtraValue1(5000);  // wider than any pane may be
    wild.SetExtraValue2(40);
    P clamped(nullptr);
    clamped.LoadSizes(wild);
    clamped.Place(2000, 900);
    EXPECT_EQ(Width(clamped, P::PANE_TREE), 1024);
    EXPECT_EQ(Height(clamped, P::PANE_LIST), 40);
    EXPECT_FALSE(clamped.IsTaskPaneShown());
}

}  // namespace
