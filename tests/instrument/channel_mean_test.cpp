#include "instrument/channel_mean.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ChannelMean, OnlyChannelsWithAValueCount)
{
    const double values[8] = {20.0, 22.0, 99.0, 99.0, 99.0, 99.0, 99.0, 99.0};
    // Any non-zero flag means "no value".
    const BOOL noValue[8] = {FALSE, FALSE, TRUE, TRUE, 2, TRUE, TRUE, TRUE};
    double mean = -1.0;
    ASSERT_TRUE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 21.0);
}

TEST(ChannelMean, SumsInChannelOrderFromPositiveZero)
{
    // In channel order 1e16 + 1 rounds back to 1e16, so the sum is 0; any
    // other order would give 1 or 2.
    const double values[8] = {1e16, 1.0, -1e16, 1.0, 0.0, 0.0, 0.0, 0.0};
    const BOOL noValue[8] = {FALSE, FALSE, FALSE, TRUE, TRUE, TRUE, TRUE, TRUE};
    double mean = -1.0;
    ASSERT_TRUE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 0.0);

    const double negativeZero[8] = {-0.0, 0, 0, 0, 0, 0, 0, 0};
    const BOOL onlyFirst[8] = {FALSE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    ASSERT_TRUE(ComputeChannelMean(negativeZero, onlyFirst, &mean));
    EXPECT_FALSE(std::signbit(mean)) << "0.0 + -0.0 is +0.0";
}

TEST(ChannelMean, NoValueAnywhereLeavesTheMeanUntouched)
{
    const double values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BOOL noValue[8] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    double mean = 42.5;
    EXPECT_FALSE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 42.5);
}

}  // namespace
