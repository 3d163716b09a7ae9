#include "app/window_rect.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const int W = 1024, H = 768;

WindowRect Normalized(int left, int top, int right, int bottom)
{
    WindowRect r{left, top, right, bottom};
    NormalizeWindowRect(r, W, H);
    return r;
}

void ExpectRect(const WindowRect& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(WindowRect, PastRightOrBottomMovesKeepingTheSize)
{
    ExpectRect(Normalized(500, 100, W + 10, 500), 500, 100, W + 10, 500);
    ExpectRect(Normalized(500, 100, W + 11, 500), 489, 100, W, 500);
    ExpectRect(Normalized(500, 100, W + 50, 500), 450, 100, W, 500);
    ExpectRect(Normalized(100, 300, 700, H + 10), 100, 300, 700, H + 10);
    ExpectRect(Normalized(100, 300, 700, H + 11), 100, 289, 700, H);
    ExpectRect(Normalized(100, 300, W + 20, H + 30), 80, 270, W, H);
}

TEST(WindowRect, BeforeTopOrLeftOnlyThatEdgeComesBack)
{
    ExpectRect(Normalized(100, -10, 700, 500), 100, -10, 700, 500);
    ExpectRect(Normalized(100, -11, 700, 500), 100, 0, 700, 500);
    ExpectRect(Normalized(100, -5, 700, 500), 100, -5, 700, 500);
    ExpectRect(Normalized(-10, 100, 700, 500), -10, 100, 700, 500);
    ExpectRect(Normalized(-11, 100, 700, 500), 0, 100, 700, 500);
    ExpectRect(Normalized(-300, -300, 200, 200), 0, 0, 200, 200);
}

TEST(WindowRect, LargerThanTheScreenIsMovedThenCut)
{
    // Moving left pushes the left edge off screen; it is then set to 0.
    ExpectRect(Normalized(-5, 0, W + 100, 400), 0, 0, W, 400);
    ExpectRect(Normalized(0, -5, 400, H + 100), 0, 0, 400, H);
}

TEST(WindowRect, ExtremeValuesDoNotOverflow)
{
    WindowRect r{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    NormalizeWindowRect(r, W, H);
    ExpectRect(r, 0, 0, W, H);

    r = WindowRect{0, 0, INT_MAX, 10};
    NormalizeWindowRect(r, INT_MAX, H);
    ExpectRect(r, 0, 0, INT_MAX, 10);
}

}  // namespace
