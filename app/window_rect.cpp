#include "app/window_rect.h"

#include <algorithm>
#include <climits>

namespace {

// Rectangles from a hand-edited file may hold anything; sums are done in
// 64 bits and saturated so no input overflows.
int Saturated(long long v) {
    return static_cast<int>(std::min<long long>(INT_MAX, std::max<long long>(INT_MIN, v)));
}

int Shifted(int value, long long by) { return Saturated(value + by); }

// The span of one axis at start: size long, inside [low, high) as far as
// it fits, as near to savedLow as it can be.
void PlaceSpan(int savedLow, long long size, int low, int high, int& outLow, int& outHigh) {
    const long long room = std::max<long long>(1, static_cast<long long>(high) - low);
    size = std::min(size, room);
    long long start = std::max<long long>(savedLow, low);
    start = std::min<long long>(start, static_cast<long long>(high) - size);
    outLow = Saturated(start);
    outHigh = Saturated(start + size);
}

}  // namespace

void NormalizeWindowRect(WindowRect& rect, int screenWidth, int screenHeight) {
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
    // top-left corner on it, at the cost of its size. A window that ends
    // before the screen's edge is on another monitor and stays where it is.
    if (rect.top < -10 && rect.bottom > 0)
        rect.top = 0;
    if (rect.left < -10 && rect.right > 0)
        rect.left = 0;
}

WindowRect PlaceAtStart(const WindowRect& saved, const StartPlacement& where) {
    long long width = static_cast<long long>(saved.right) - saved.left;
    long long height = static_cast<long long>(saved.bottom) - saved.top;
    const bool bUsableSize = width >= where.nMinWidth && height >= where.nMinHeight &&
                             width <= where.nMaxWidth && height <= where.nMaxHeight;
    if (where.bOnAMonitor && bUsableSize)
        return saved;
    if (!bUsableSize) {
        width = where.nDefaultWidth;
        height = where.nDefaultHeight;
    }
    WindowRect placed;
    PlaceSpan(saved.left, width, where.workArea.left, where.workArea.right, placed.left, placed.right);
    PlaceSpan(saved.top, height, where.workArea.top, where.workArea.bottom, placed.top, placed.bottom);
    return placed;
}
