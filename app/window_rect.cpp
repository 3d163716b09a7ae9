#include "app/window_rect.h"

#include <climits>

namespace {

// Rectangles from a hand-edited file may hold anything; shifting is done in
// 64 bits and saturated so no input overflows.
int Shifted(int value, long long by)
{
    const long long v = value + by;
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

void NormalizeWindowRect(WindowRect& rect, int screenWidth, int screenHeight)
{
    // A margin of 10 pixels: a frame sticking out a little is left alone.
    if (static_cast<long long>(rect.right) > static_cast<long long>(screenWidth) + 10) {
        rect.left = Shifted(rect.left, static_cast<long long>(screenWidth) - rect.right);
        rect.right = screenWidth;
    }
    if (static_cast<long long>(rect.bottom) > static_cast<long long>(screenHeight) + 10) {
        rect.top = Shifted(rect.top, static_cast<long long>(screenHeight) - rect.bottom);
        rect.bottom = screenHeight;
    }
    // Only after the moves: a window larger than the screen ends up with its
    // top-left corner on it, at the cost of its size.
    if (rect.top < -10)
        rect.top = 0;
    if (rect.left < -10)
        rect.left = 0;
}
