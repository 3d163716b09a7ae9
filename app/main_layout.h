// Where the main window puts its status line and its fields for a client
// size: channel 0's field always, channel 1 to 8's for those in use. 32-bit
// integer arithmetic, divisions truncating toward zero.
#pragma once

struct LayoutRect {
    int x, y, cx, cy;
};

struct MainLayout {
    LayoutRect status;
    LayoutRect fields[9];  // channel 1 to 8 at 0 to 7, channel 0 at 8
    bool shown[9];         // false: the channel has no field (its rectangle is empty)
};

// Bit k - 1 set: channel k (1 to 8) has a field. All eight give the nine
// fields of the window as it has always been.
enum : unsigned { kAllChannelFields = 0xFFu };

// The frame metric as the layout uses it: clamped to 2 ... 20.
int ClampLayoutGap(int frameMetric);

// cx, cy: client size; gap: ClampLayoutGap of SM_CXDLGFRAME; statusHeight:
// the status line's height in pixels; channelsShown: see kAllChannelFields.
MainLayout ComputeMainLayout(int cx, int cy, int gap, int statusHeight, unsigned channelsShown = kAllChannelFields);

// The order in which the fields are moved: indexes into MainLayout::fields
// (channel 0, then 1, 3, 5, 7, 2, 4, 6, 8).
extern const int kLayoutMoveOrder[9];
