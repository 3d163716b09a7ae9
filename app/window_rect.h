// The window rectangle as it is saved and as it is put back at start.
#pragma once

struct WindowRect {
    int left, top, right, bottom;
};

// Before saving: a rectangle more than 10 pixels beyond the right or bottom
// edge of the screen moves back, keeping its size; one more than 10 pixels
// before the top or left edge gets that edge at 0, unless that would leave
// it no size (a window on a monitor left of or above the main one keeps
// its place).
void NormalizeWindowRect(WindowRect& rect, int screenWidth, int screenHeight);

struct StartPlacement {
    bool bOnAMonitor;       // the rectangle touches some monitor
    WindowRect workArea;    // work area of the monitor nearest to it
    int nMinWidth, nMinHeight;  // the smallest window Windows makes
    int nMaxWidth, nMaxHeight;  // all monitors together
    int nDefaultWidth, nDefaultHeight;
};

// At start: a rectangle on some monitor, of at least the minimum and at
// most the maximum size, stays as it is (also when it hangs past an edge).
// Any other comes back inside the nearest work area, at its own size when
// that is within those bounds both ways, else at the default size; never
// larger than the work area.
WindowRect PlaceAtStart(const WindowRect& saved, const StartPlacement& where);
