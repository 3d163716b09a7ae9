// Two columns summed up alike: the same extremes, ends and samples.
#pragma once

#include "viewer/chart_samples.h"

#include <gtest/gtest.h>

inline void ExpectSameColumn(const ChartColumn& a, const ChartColumn& b) {
    ASSERT_EQ(a.Empty(), b.Empty());
    if (a.Empty())
        return;
    EXPECT_EQ(a.minimum, b.minimum);
    EXPECT_EQ(a.maximum, b.maximum);
    EXPECT_EQ(a.first, b.first);
    EXPECT_EQ(a.last, b.last);
    EXPECT_EQ(a.firstIndex, b.firstIndex);
    EXPECT_EQ(a.lastIndex, b.lastIndex);
}
