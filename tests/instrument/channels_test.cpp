#include "instrument/channels.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ChannelMean, OnlyChannelsWithAValueCount) {
    const double values[8] = {20.0, 22.0, 99.0, 99.0, 99.0, 99.0, 99.0, 99.0};
    // Any non-zero flag means "no value".
    const BOOL noValue[8] = {FALSE, FALSE, TRUE, TRUE, 2, TRUE, TRUE, TRUE};
    double mean = -1.0;
    ASSERT_TRUE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 21.0);
}

TEST(ChannelMean, SumsInChannelOrderFromPositiveZero) {
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

TEST(ChannelMean, NoValueAnywhereLeavesTheMeanUntouched) {
    const double values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BOOL noValue[8] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    double mean = 42.5;
    EXPECT_FALSE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 42.5);
}

}  // namespace

namespace {

TEST(ChannelSet, StartsWithoutValuesInDegreesCelsius) {
    const CChannelSet set;
    for (int c = 0; c < CChannelSet::kChannels; ++c) {
        EXPECT_TRUE(set[c].bNoValue) << c;
        EXPECT_TRUE(std::isnan(set[c].dValue)) << c << ": a value never received is no number";
        EXPECT_FALSE(set[c].bAlert) << c;
        EXPECT_FALSE(set[c].bFineResolution) << c;
        EXPECT_EQ(set[c].nQuantity, 3) << c;
    }
}

TEST(ChannelSet, AValueReachesOnlyItsChannelAndChannelZeroIsNeverWrittenDirectly) {
    CChannelSet set;
    set.StoreValue(3, 23.4, FALSE);
    set.StoreValue(5, -1.5, TRUE);
    set.StoreValue(0, 99.0, FALSE);
    set.StoreValue(9, 99.0, FALSE);
    set.StoreValue(-1, 99.0, FALSE);
    EXPECT_FALSE(set[3].bNoValue);
    EXPECT_EQ(set[3].dValue, 23.4);
    EXPECT_FALSE(set[3].bAlert);
    EXPECT_FALSE(set[5].bNoValue);
    EXPECT_TRUE(set[5].bAlert) << "a value in error is kept and blinks";
    EXPECT_TRUE(set[0].bNoValue);
    for (int c : {1, 2, 4, 6, 7, 8})
        EXPECT_TRUE(set[c].bNoValue) << c;
}

TEST(ChannelSet, LosingTheLinkKeepsTheNumbersButNoValueAndTheFirstMeanAfterIsNone) {
    CChannelSet set;
    set.StoreValue(1, 20.0, FALSE);
    set.StoreValue(2, 22.0, FALSE);
    set.StoreMean(FALSE);
    EXPECT_TRUE(set[0].bNoValue) << "the first channel-0 line after start shows no mean";
    set.StoreMean(FALSE);
    ASSERT_FALSE(set[0].bNoValue);
    EXPECT_EQ(set[0].dValue, 21.0);

    set.LoseAll();
    for (int c = 0; c < CChannelSet::kChannels; ++c) {
        EXPECT_TRUE(set[c].bNoValue) << c;
        EXPECT_TRUE(set[c].bAlert) << c;
    }
    EXPECT_EQ(set[1].dValue, 20.0) << "the last number stays for DDE";

    set.StoreValue(1, 30.0, FALSE);
    set.StoreMean(TRUE);
    EXPECT_TRUE(set[0].bNoValue);
    EXPECT_TRUE(set[0].bAlert);
    set.StoreMean(FALSE);
    ASSERT_FALSE(set[0].bNoValue);
    EXPECT_EQ(set[0].dValue, 30.0) << "only channels heard since the loss count";
    EXPECT_FALSE(set[0].bAlert);
}

TEST(ChannelSet, AMeanOfNoChannelIsNoValueNotNaN) {
    CChannelSet set;
    set.StoreMean(FALSE);
    set.StoreMean(FALSE);
    EXPECT_TRUE(set[0].bNoValue);
    double mean = 7.0;
    EXPECT_FALSE(set.ComputeMean(&mean));
    EXPECT_EQ(mean, 7.0);
}

TEST(ChannelSet, ResolutionIsTheInstrumentsForEveryChannel) {
    CChannelSet set;
    set.SetFineResolution(TRUE);
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        EXPECT_TRUE(set[c].bFineResolution) << c;
    set.SetFineResolution(FALSE);
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        EXPECT_FALSE(set[c].bFineResolution) << c;
}

}  // namespace
