#include "app/window_rect.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const int W = 1024, H = 768;

WindowRect Normalized(int left, int top, int right, int bottom) {
    WindowRect r{left, top, right, bottom};
    NormalizeWindowRect(r, W, H);
    return r;
}

void ExpectRect(const WindowRect& r, int left, int top, int right, int bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(WindowRect, PastRightOrBottomMovesKeepingTheSize) {
    ExpectRect(Normalized(500, 100, W + 10, 500), 500, 100, W + 10, 500);
    ExpectRect(Normalized(500, 100, W + 11, 500), 489, 100, W, 500);
    ExpectRect(Normalized(500, 100, W + 50, 500), 450, 100, W, 500);
    ExpectRect(Normalized(100, 300, 700, H + 10), 100, 300, 700, H + 10);
    ExpectRect(Normalized(100, 300, 700, H + 11), 100, 289, 700, H);
    ExpectRect(Normalized(100, 300, W + 20, H + 30), 80, 270, W, H);
}

TEST(WindowRect, BeforeTopOrLeftOnlyThatEdgeComesBack) {
    ExpectRect(Normalized(100, -10, 700, 500), 100, -10, 700, 500);
    ExpectRect(Normalized(100, -11, 700, 500), 100, 0, 700, 500);
    ExpectRect(Normalized(100, -5, 700, 500), 100, -5, 700, 500);
    ExpectRect(Normalized(-10, 100, 700, 500), -10, 100, 700, 500);
    ExpectRect(Normalized(-11, 100, 700, 500), 0, 100, 700, 500);
    ExpectRect(Normalized(-300, -300, 200, 200), 0, 0, 200, 200);
}

TEST(WindowRect, LargerThanTheScreenIsMovedThenCut) {
    // Moving left pushes the left edge off screen; it is then set to 0.
    ExpectRect(Normalized(-5, 0, W + 100, 400), 0, 0, W, 400);
    ExpectRect(Normalized(0, -5, 400, H + 100), 0, 0, 400, H);
}

TEST(WindowRect, ExtremeValuesDoNotOverflow) {
    WindowRect r{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    NormalizeWindowRect(r, W, H);
    ExpectRect(r, 0, 0, W, H);

    r = WindowRect{0, 0, INT_MAX, 10};
    NormalizeWindowRect(r, INT_MAX, H);
    ExpectRect(r, 0, 0, INT_MAX, 10);
}

}  // namespace

namespace {

TEST(WindowRect, AWindowOnAMonitorLeftOfOrAboveTheMainOneKeepsItsPlace) {
    // Wholly before the main screen: it is on another monitor, and forcing
    // an edge to 0 would turn its size negative.
    ExpectRect(Normalized(-1500, 100, -900, 500), -1500, 100, -900, 500);
    ExpectRect(Normalized(100, -900, 700, -300), 100, -900, 700, -300);
    ExpectRect(Normalized(-1500, -900, -900, -300), -1500, -900, -900, -300);
    // Reaching onto the main screen it is cut as before.
    ExpectRect(Normalized(-300, 100, 300, 500), 0, 100, 300, 500);
}

const WindowRect kWork = {0, 0, 1024, 738};  // a taskbar at the bottom

StartPlacement Where(bool onAMonitor) {
    return StartPlacement{onAMonitor, kWork, 112, 27, 1024, 768, 600, 400};
}

TEST(WindowRect, AtStartAWindowOnAMonitorStaysWhereItWas) {
    const WindowRect saved = {200, 150, 800, 550};
    ExpectRect(PlaceAtStart(saved, Where(true)), 200, 150, 800, 550);
    // Hanging past the right edge or above the top is left as it is.
    ExpectRect(PlaceAtStart({900, -5, 1500, 395}, Where(true)), 900, -5, 1500, 395);
    // A small but usable window too.
    ExpectRect(PlaceAtStart({10, 10, 122, 37}, Where(true)), 10, 10, 122, 37);
}

TEST(WindowRect, AtStartAWindowOffEveryMonitorComesBackAtItsSize) {
    // A monitor unplugged since: the nearest work area, same size.
    ExpectRect(PlaceAtStart({-1500, 100, -900, 500}, Where(false)), 0, 100, 600, 500);
    ExpectRect(PlaceAtStart({3000, 2000, 3600, 2400}, Where(false)), 424, 338, 1024, 738);
    // Larger than the work area: cut to it.
    ExpectRect(PlaceAtStart({-5000, 0, -4000, 760}, Where(false)), 0, 0, 1000, 738);
}

TEST(WindowRect, AtStartACollapsedWindowGetsTheDefaultSize) {
    // Saved while minimised (the place Windows parks it) and the edges
    // forced afterwards: what the file held after such a run.
    ExpectRect(PlaceAtStart({0, 0, -31840, -31976}, Where(false)), 0, 0, 600, 400);
    ExpectRect(PlaceAtStart({-32000, -32000, -31840, -31976}, Where(false)), 0, 0, 600, 400);
    // On a monitor, but with no size to grab.
    ExpectRect(PlaceAtStart({300, 200, 300, 200}, Where(true)), 300, 200, 900, 600);
    ExpectRect(PlaceAtStart({900, 500, 905, 900}, Where(true)), 424, 338, 1024, 738);
    // Larger than all monitors together: no edge of it can be reached.
    ExpectRect(PlaceAtStart({-32767, -32767, 32767, 32767}, Where(true)), 0, 0, 600, 400);
    // The most a hand-edited file can hold does not overflow.
    ExpectRect(PlaceAtStart({INT_MAX, INT_MAX, INT_MIN, INT_MIN}, Where(false)), 424, 338, 1024, 738);
    ExpectRect(PlaceAtStart({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, Where(false)), 0, 0, 600, 400);
}

}  // namespace
