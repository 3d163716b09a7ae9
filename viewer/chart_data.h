// The samples of a binary log as the chart viewer holds them, and what a
// drawing needs from them at any zoom.
//
// Samples are kept by column, compactly: a time in 5 bytes, and per channel
// that occurs in the log a value in 2 bytes while the channel's values are
// hundredths near its first one (a temperature log), in 4 otherwise.
//
// Per channel a pyramid of blocks (kChartFanOut samples, then kChartFanOut
// blocks, ...) keeps each block's minimum and maximum with the sample indices
// of its first and last value; a pixel column is then summed up from
// O(kChartFanOut * levels) blocks, so a redraw costs in proportion to the
// window's width, not to the file's length.
#pragma once

#include "viewer/chart_samples.h"
#include "viewer/kvf_reader.h"

#include <cstdint>
#include <vector>

enum { kChartFanOut = 32 };

// A block of the pyramid: its first and last values are those of the
// samples firstIndex and lastIndex.
struct ChartBlock {
    float minimum, maximum;
    std::uint32_t firstIndex, lastIndex;
    bool Empty() const { return firstIndex == kNone; }
    static const std::uint32_t kNone = ChartColumn::kNone;
};

// One channel's values in sample order, from its first value on.
class ChartChannel {
public:
    ChartChannel() : m_nBase(0), m_bWide(false), m_nSize(0) {}
    // The value of sample i (no earlier sample given to this channel):
    // samples between hold no value.
    void Put(std::size_t i, float value);
    bool Has(std::size_t i) const;
    float Value(std::size_t i) const;  // Has(i) must hold
    // Minimum and maximum of the values in [begin, end) as a block; empty when none.
    ChartBlock Block(std::size_t begin, std::size_t end) const;
    // Sample k takes the value of sample order[k - from] for k >= from (a
    // permutation of [from, n)); n is the count of all samples.
    void Reorder(const std::vector<std::uint32_t>& order, std::size_t from, std::size_t n);
    void Reserve(std::size_t n);
    void Clear() { *this = ChartChannel(); }
    std::size_t Bytes() const { return m_small.capacity() * sizeof(std::int16_t) + m_wide.capacity() * sizeof(float); }
    bool IsWide() const { return m_bWide; }

private:
    void Widen();
    void PadTo(std::size_t i);
    static constexpr std::int16_t kNoSmall = -32768;

    std::vector<std::int16_t> m_small;  // hundredths - m_nBase, or kNoSmall
    std::int64_t m_nBase;               // hundredths of the channel's first value
    bool m_bWide;                       // values in m_wide (NaN: none) from now on
    std::vector<float> m_wide;
    std::size_t m_nSize;
};

class ChartData final : public ChartSamples {
public:
    ChartData();

    // Samples in the order they come; one older than the last is put in
    // its place by time, which rebuilds the pyramid from there (samples
    // placed by a KvfTimeline never go back: a clock set back is a stretch).
    void Append(const KvfSample* samples, std::size_t n);
    // The same for a file read in pieces: samples in order count at once,
    // and so do those out of order only near the end; after one far out of
    // order, the rest wait for Settle(), which sorts them once (stable:
    // equal times keep the file's order).
    void Extend(const KvfSample* samples, std::size_t n);
    void Settle();
    // Samples stored but not yet counted (waiting for Settle()).
    std::size_t Unsettled() const { return m_nStored - m_nSize; }
    // Room for n samples in all, so that a long log is not copied while it grows.
    void Reserve(std::size_t n);
    void Clear();

    std::size_t Size() const override { return m_nSize; }
    KvfSample Sample(std::size_t i) const override;
    std::int64_t Time(std::size_t i) const override {
        return kTimeOrigin + static_cast<std::int64_t>((static_cast<std::uint64_t>(m_timeHigh[i]) << 32) | m_timeLow[i]);
    }
    bool Has(std::size_t i, int channel) const { return m_channels[channel].Has(i); }
    float Value(std::size_t i, int channel) const { return m_channels[channel].Value(i); }
    std::int64_t FirstTime() const override { return m_nSize == 0 ? 0 : Time(0); }
    std::int64_t LastTime() const override { return m_nSize == 0 ? 0 : Time(m_nSize - 1); }
    // Channels that have a value in any sample (bit c: channel c).
    std::uint16_t ChannelsSeen() const override { return m_nSeen; }

    // The recording interval: the median step between records (seconds);
    // fallback while there are fewer than two steps.
    std::int64_t Interval(std::int64_t fallback) const override;

    // First sample at or after t; Size() when none.
    std::size_t LowerBound(double t) const override;

    // Sample range [begin, end) of one channel summed up through the pyramid.
    ChartColumn Summary(int channel, std::size_t begin, std::size_t end) const override;

    // Columns of a time span [t0, t1) split into `width` equal parts.
    std::vector<ChartColumn> Columns(int channel, double t0, double t1, int width) const;
    // The same for every channel in one walk (the blocks a column is made of
    // are the same for all): column x of channel c at [c * width + x].
    std::vector<ChartColumn> AllColumns(double t0, double t1, int width) const override;

    // Count, minimum, maximum and mean of the channel over [t0, t1].
    ChartStats Stats(int channel, double t0, double t1) const override;

    // Bytes the pyramid takes, and the samples.
    std::size_t PyramidBytes() const;
    std::size_t SampleBytes() const;
    // Samples summed into level-0 blocks since the start: the work of
    // building the pyramid (each sample once when the log comes in order).
    std::uint64_t SamplesSummed() const { return m_nSummed; }

    // Times are kept as seconds after 1601-01-01 in 40 bits (to the year
    // 36,000); a record's date is never outside.
    static constexpr std::int64_t kTimeOrigin = -11644473600LL;

private:
    void Store(const KvfSample& s);
    // Where sorting the stored samples must begin.
    std::size_t SortStart() const;
    void Rebuild(std::size_t fromSample);
    static void Merge(ChartBlock& into, const ChartBlock& from);
    // The largest whole block starting at sample i and ending by end: its
    // level (0: the single sample) and its number of samples.
    std::size_t BlockAt(std::size_t i, std::size_t end, std::size_t* pLevel) const;
    ChartBlock SampleBlock(std::size_t i, int c) const;
    ChartColumn ToColumn(const ChartBlock& b, int c) const;

    std::vector<std::uint32_t> m_timeLow;  // seconds after kTimeOrigin, low 32 bits
    std::vector<std::uint8_t> m_timeHigh;  // and the next 8
    ChartChannel m_channels[kKvfChannels];
    std::size_t m_nStored;  // samples stored
    std::size_t m_nSize;    // of them sorted and in the pyramid
    bool m_bDisorder;       // a stored sample after m_nSize is older than one before it
    // m_levels[k][c]: blocks of kChartFanOut^(k+1) samples of channel c.
    std::vector<std::vector<std::vector<ChartBlock>>> m_levels;
    std::uint16_t m_nSeen;
    std::uint64_t m_nSummed;
    // Median step, recomputed when the sample count has doubled.
    mutable std::int64_t m_nIntervalCache;
    mutable std::size_t m_nIntervalAt;
};
