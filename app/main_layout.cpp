#include "app/main_layout.h"

#include <climits>

const int kLayoutMoveOrder[9] = {8, 0, 2, 4, 6, 1, 3, 5, 7};

int ClampLayoutGap(int frameMetric) {
    if (frameMetric < 2)
        return 2;
    if (frameMetric > 20)
        return 20;
    return frameMetric;
}

namespace {

// The sums are taken in 64 bits so that absurd sizes cannot overflow; for
// any size a window can have the results are those of 32-bit arithmetic.
typedef long long Wide;

int Narrow(Wide v) {
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

LayoutRect Rect(Wide x, Wide y, Wide cx, Wide cy) {
    return LayoutRect{Narrow(x), Narrow(y), Narrow(cx), Narrow(cy)};
}

}  // namespace

MainLayout ComputeMainLayout(int cx, int cy, int gap, int statusHeight) {
    const Wide w = cx, h = cy, d = gap;
    MainLayout layout;
    layout.status = Rect(d, d, w - 2 * d, statusHeight);

    // Field area below the status line. "/" truncates toward zero; a window
    // too small for its fields simply gets zero or negative sizes.
    const Wide top = Wide(statusHeight) + d + 2;
    const Wide area = (h - d) - top;
    const Wide leftWidth = (w - d) / 2 - d;
    const Wide rightX = (w + d) / 2;
    const Wide rightWidth = (w - d) - rightX;

    const Wide y1 = top + area / 4 + d;
    const Wide b1 = top + (7 * area) / 16;
    const Wide y2 = b1 + d;
    const Wide b2 = top + (10 * area) / 16;
    const Wide y3 = b2 + d;
    const Wide b3 = top + (13 * area) / 16;
    const Wide y4 = b3 + d;
    const Wide bottom = h - d;

    // Channel 0 across the top quarter, then rows of odd (left) and even
    // (right) channels.
    layout.fields[8] = Rect(d, top + d, w - 2 * d, area / 4 - d);
    const Wide rowY[4] = {y1, y2, y3, y4};
    const Wide rowHeight[4] = {b1 - y1, b2 - y2, b3 - y3, bottom - y4};
    for (int row = 0; row < 4; ++row) {
        layout.fields[2 * row] = Rect(d, rowY[row], leftWidth, rowHeight[row]);
        layout.fields[2 * row + 1] = Rect(rightX, rowY[row], rightWidth, rowHeight[row]);
    }
    return layout;
}
