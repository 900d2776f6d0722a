#include <gtest/gtest.h>

#include "app/core/CWindowPlacement.h"

namespace {

void ExpectRect(const CQVRect& rect, int x, int y, int width, int height)
{
    EXPECT_EQ(rect.x, x);
    EXPECT_EQ(rect.y, y);
    EXPECT_EQ(rect.width, width);
    EXPECT_EQ(rect.height, height);
}

TEST(WindowPlacementTest, DefaultsFromTheScreen)
{
    ExpectRect(CWindowPlacement::GetMainWindowRect(1024, 768, {0, 0, 1, 1}), 82, 37, 819, 614);
    // Too small for the offsets: stays on the screen.
    ExpectRect(CWindowPlacement::GetMainWindowRect(100, 50, {}), 0, 0, 80, 40);
}

TEST(WindowPlacementTest, StoredFieldsTakenOnlyWhenSensible)
{
    // Width below 500 and height below 300 keep the defaults; the position is taken.
    ExpectRect(CWindowPlacement::GetMainWindowRect(1024, 768, {10, 10, 400, 200}), 10, 10, 819, 614);
    ExpectRect(CWindowPlacement::GetMainWindowRect(1024, 768, {0, 667, 1024, 768}), 0, 667, 1024, 768);
    ExpectRect(CWindowPlacement::GetMainWindowRect(1024, 768, {924, 668, 1025, 769}), 82, 37, 819, 614);
    ExpectRect(CWindowPlacement::GetMainWindowRect(1024, 768, {-1, -1, 500, 300}), 82, 37, 500, 300);
    // A rectangle under 3 pixels wide or high is no rectangle at all.
    ExpectRect(CWindowPlacement::GetMainWindowRect(1024, 768, {5, 5, 600, 2}), 82, 37, 819, 614);
}

}  // namespace
