#include "app/main_layout.h"

#include "common/field_index.h"

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

LayoutRect Rect(Wide x, Wide y, Wide cx, Wide cy) { return LayoutRect{Narrow(x), Narrow(y), Narrow(cx), Narrow(cy)}; }

}  // namespace

MainLayout ComputeMainLayout(int cx, int cy, int gap, int statusHeight, unsigned channelsShown) {
    const Wide w = cx, h = cy, d = gap;
    MainLayout layout = {};
    layout.status = Rect(d, d, w - 2 * d, statusHeight);

    // Field area below the status line. "/" truncates toward zero; a window
    // too small for its fields simply gets zero or negative sizes.
    const Wide top = Wide(statusHeight) + d + 2;
    const Wide area = (h - d) - top;
    const Wide bottom = h - d;
    const Wide leftWidth = (w - d) / 2 - d;
    const Wide rightX = (w + d) / 2;
    const Wide rightWidth = (w - d) - rightX;

    int shownFields[8];
    int count = 0;
    for (int channel = 1; channel <= 8; ++channel) {
        if (channelsShown & (1u << (channel - 1)))
            shownFields[count++] = FieldOfChannel(channel);
    }
    const int rows = (count + 1) / 2;

    // Channel 0 across the top quarter (all of the area when it is alone);
    // the other three quarters in equal rows, two fields a row, left then
    // right in channel order, an odd last field across the whole width. For
    // four rows the row boundaries are those of 7/16, 10/16 and 13/16.
    layout.shown[8] = true;
    layout.fields[8] = Rect(d, top + d, w - 2 * d, rows == 0 ? area - d : area / 4 - d);
    for (int row = 0; row < rows; ++row) {
        const Wide y = top + ((rows + 3 * row) * area) / (4 * rows) + d;
        const Wide end = row + 1 == rows ? bottom : top + ((rows + 3 * (row + 1)) * area) / (4 * rows);
        const int left = shownFields[2 * row];
        layout.shown[left] = true;
        if (2 * row + 1 == count) {
            layout.fields[left] = Rect(d, y, w - 2 * d, end - y);
            break;
        }
        const int right = shownFields[2 * row + 1];
        layout.shown[right] = true;
        layout.fields[left] = Rect(d, y, leftWidth, end - y);
        layout.fields[right] = Rect(rightX, y, rightWidth, end - y);
    }
    return layout;
}
