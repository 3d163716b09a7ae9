// The window rectangle as it is saved: pulled back onto the screen when it
// lies more than 10 pixels beyond an edge.
#pragma once

struct WindowRect {
    int left, top, right, bottom;
};

// Right or bottom past the screen: the rectangle moves, keeping its size.
// Top or left before it: that edge alone becomes 0.
void NormalizeWindowRect(WindowRect& rect, int screenWidth, int screenHeight);
