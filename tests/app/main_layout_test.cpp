#include "app/main_layout.h"
#include "common/field_index.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const LayoutRect& r, int x, int y, int cx, int cy) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.cx, cx);
    EXPECT_EQ(r.cy, cy);
}

TEST(MainLayout, WorkedExample) {
    const MainLayout l = ComputeMainLayout(480, 400, 4, 22);
    ExpectRect(l.status, 4, 4, 472, 22);
    ExpectRect(l.fields[FieldOfChannel(0)], 4, 32, 472, 88);
    const int rowY[4] = {124, 193, 262, 331};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        ExpectRect(l.fields[FieldOfChannel(2 * row + 1)], 4, rowY[row], 234, 65);
        ExpectRect(l.fields[FieldOfChannel(2 * row + 2)], 242, rowY[row], 234, 65);
    }
    // Channels 2, 5 and 7 in use: two rows, the odd last field as wide as the window.
    const MainLayout three = ComputeMainLayout(480, 400, 4, 22, 0x52);
    ExpectRect(three.fields[FieldOfChannel(2)], 4, 124, 234, 134);
    ExpectRect(three.fields[FieldOfChannel(5)], 242, 124, 234, 134);
    ExpectRect(three.fields[FieldOfChannel(7)], 4, 262, 472, 134);
}

TEST(MainLayout, FieldsTileTheClientAreaWithGaps) {
    // Width, height, channels in use (bit k - 1: channel k): all (nine fields as ever), none, one, three, seven.
    const int sizes[][3] = {{481, 401, 0xFF}, {320, 240, 0xFF}, {1023, 767, 0xFF}, {1920, 1017, 0xFF},
                            {200, 150, 0xFF}, {481, 401, 0},    {640, 480, 1},     {1023, 767, 0x1A},
                            {800, 600, 0x7F}, {640, 480, 0xFE}};
    for (const auto& size : sizes) {
        for (int d : {2, 3, 4, 20}) {
            const int cx = size[0], cy = size[1], sh = 21;
            SCOPED_TRACE(testing::Message() << cx << "x" << cy << " d=" << d << " in use " << size[2]);
            const MainLayout l = ComputeMainLayout(cx, cy, d, sh, size[2]);
            ExpectRect(l.status, d, d, cx - 2 * d, sh);
            const LayoutRect& mean = l.fields[FieldOfChannel(0)];
            EXPECT_EQ(mean.y, sh + 2 * d + 2);
            EXPECT_EQ(mean.x, d);
            EXPECT_EQ(mean.cx, cx - 2 * d);
            int nextY = mean.y + mean.cy + d;
            int shown[8], n = 0;  // rows fill in channel order; a last field alone is left and right
            for (int channel = 1; channel <= 8; ++channel) {
                EXPECT_EQ(l.shown[FieldOfChannel(channel)], (size[2] >> (channel - 1) & 1) != 0) << channel;
                if (size[2] >> (channel - 1) & 1)
                    shown[n++] = FieldOfChannel(channel);
            }
            for (int i = 0; i < n; i += 2) {
                const LayoutRect& left = l.fields[shown[i]];
                const LayoutRect& right = l.fields[shown[i + 1 < n ? i + 1 : i]];
                EXPECT_EQ(left.y, nextY);
                EXPECT_EQ(right.y, left.y);
                EXPECT_EQ(right.cy, left.cy);
                EXPECT_GE(right.cx, left.cx);  // an odd pixel goes right
                EXPECT_EQ(left.x, d);
                EXPECT_EQ(right.x, i + 1 < n ? left.x + left.cx + d : d);
                EXPECT_EQ(right.x + right.cx, cx - d);
                nextY = left.y + left.cy + d;
            }
            EXPECT_EQ(nextY, cy) << "the last row ends d above the bottom";
        }
    }
}

TEST(MainLayout, TinyClientAreasTruncateTowardZero) {
    // cx 1, cy 0, d 2, status 22: T = 26, G = -28; 7G/16 = -12.25 gives -12,
    // (cx - d)/2 = -0.5 gives 0.
    const MainLayout l = ComputeMainLayout(1, 0, 2, 22);
    ExpectRect(l.status, 2, 2, -3, 22);
    ExpectRect(l.fields[FieldOfChannel(0)], 2, 28, -3, -9);
    ExpectRect(l.fields[FieldOfChannel(1)], 2, 21, -2, -7);
    ExpectRect(l.fields[FieldOfChannel(2)], 1, 21, -2, -7);
    ExpectRect(l.fields[FieldOfChannel(3)], 2, 16, -2, -7);
    ExpectRect(l.fields[FieldOfChannel(5)], 2, 11, -2, -7);
    ExpectRect(l.fields[FieldOfChannel(8)], 1, 6, -2, -8);

    // Minimised windows report 0 x 0; nothing may go wrong with any input.
    ComputeMainLayout(0, 0, 2, 0);
    ComputeMainLayout(-2147483647 - 1, 2147483647, 20, 2147483647);
}

TEST(MainLayout, GapClampAndMoveOrder) {
    EXPECT_EQ(ClampLayoutGap(-5), 2);
    EXPECT_EQ(ClampLayoutGap(1), 2);
    EXPECT_EQ(ClampLayoutGap(2), 2);
    EXPECT_EQ(ClampLayoutGap(4), 4);
    EXPECT_EQ(ClampLayoutGap(20), 20);
    EXPECT_EQ(ClampLayoutGap(30), 20);

    const int channels[9] = {0, 1, 3, 5, 7, 2, 4, 6, 8};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(kLayoutMoveOrder[i], FieldOfChannel(channels[i])) << i;
}

}  // namespace
