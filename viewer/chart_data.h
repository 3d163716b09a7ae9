// The samples of a binary log as the chart viewer holds them, and what a
// drawing needs from them at any zoom.
//
// Per channel a pyramid of blocks (kChartFanOut samples, then kChartFanOut
// blocks, ...) keeps each block's minimum, maximum, first and last value
// with the sample indices of the first and last; a pixel column is then
// summed up from O(kChartFanOut * levels) blocks, so a redraw costs in
// proportion to the window's width, not to the file's length.
//
// Gap rule: two values of a channel are joined by a line only when they come
// from consecutive records (a record without the channel's group breaks the
// line) and lie at most three recording intervals apart.
#pragma once

#include "viewer/kvf_reader.h"

#include <cstdint>
#include <vector>

enum { kChartFanOut = 16 };

struct ChartBlock {
    float minimum, maximum, first, last;
    std::uint32_t firstIndex, lastIndex;  // samples holding first and last
    bool Empty() const { return firstIndex == kNone; }
    static const std::uint32_t kNone = 0xFFFFFFFFu;
};

// What one pixel column (a time range) holds of one channel.
typedef ChartBlock ChartColumn;

struct ChartStats {
    std::uint64_t count;
    double minimum, maximum, mean;
};

class ChartData {
public:
    ChartData();

    // Samples in the order they come; one older than the last is put in
    // its place by time (a clock set back), which rebuilds the pyramid.
    void Append(const KvfSample* samples, std::size_t n);
    void Clear();

    std::size_t Size() const { return m_samples.size(); }
    const KvfSample& Sample(std::size_t i) const { return m_samples[i]; }
    const std::vector<KvfSample>& Samples() const { return m_samples; }
    std::int64_t FirstTime() const { return m_samples.empty() ? 0 : m_samples.front().seconds; }
    std::int64_t LastTime() const { return m_samples.empty() ? 0 : m_samples.back().seconds; }
    // Channels that have a value in any sample (bit c: channel c).
    std::uint16_t ChannelsSeen() const { return m_nSeen; }

    // The recording interval: the median step between records (seconds);
    // fallback while there are fewer than two steps.
    std::int64_t Interval(std::int64_t fallback) const;
    // Whether a line joins samples a < b of the channel (both hold it).
    bool Joined(std::size_t a, std::size_t b, std::int64_t interval) const;

    // First sample at or after t; Size() when none.
    std::size_t LowerBound(double t) const;

    // Sample range [begin, end) of one channel summed up through the pyramid.
    ChartColumn Summary(int channel, std::size_t begin, std::size_t end) const;

    // Columns of a time span [t0, t1) split into `width` equal parts.
    std::vector<ChartColumn> Columns(int channel, double t0, double t1, int width) const;
    // The same for every channel in one walk (the blocks a column is made of
    // are the same for all): column x of channel c at [c * width + x].
    std::vector<ChartColumn> AllColumns(double t0, double t1, int width) const;

    // Count, minimum, maximum and mean of the channel over [t0, t1].
    ChartStats Stats(int channel, double t0, double t1) const;

    // Bytes the pyramid takes (the samples not counted).
    std::size_t PyramidBytes() const;

private:
    void Rebuild(std::size_t fromSample);
    static void Merge(ChartBlock& into, const ChartBlock& from);
    // The largest whole block starting at sample i and ending by end: its
    // level (0: the single sample) and its number of samples.
    std::size_t BlockAt(std::size_t i, std::size_t end, std::size_t* pLevel) const;
    // Sample i of channel c as a block of its own.
    ChartBlock SampleBlock(std::size_t i, int c) const;

    std::vector<KvfSample> m_samples;
    // m_levels[k][c]: blocks of kChartFanOut^(k+1) samples of channel c.
    std::vector<std::vector<std::vector<ChartBlock>>> m_levels;
    std::uint16_t m_nSeen;
    // Median step, recomputed when the sample count has doubled.
    mutable std::int64_t m_nIntervalCache;
    mutable std::size_t m_nIntervalAt;
};

// A channel's line as pixel points: runs of points, each run drawn joined
// (GDI PolyPolyline form). A run of one sample gets a second point one pixel
// to the right so that it shows.
struct ChartPolyline {
    std::vector<int> x, y;        // all points
    std::vector<std::uint32_t> counts;  // points per run
};

// The line of one channel across the columns (as Columns gives them, for
// [t0, t1)), values mapped by y = top + (v1 - v) * height / (v1 - v0).
ChartPolyline BuildPolyline(const ChartData& data, int channel, const ChartColumn* columns, std::size_t count,
                            int left, double top, double height, double v0, double v1, std::int64_t interval);
inline ChartPolyline BuildPolyline(const ChartData& data, int channel, const std::vector<ChartColumn>& columns,
                                   int left, double top, double height, double v0, double v1,
                                   std::int64_t interval) {
    return BuildPolyline(data, channel, columns.data(), columns.size(), left, top, height, v0, v1, interval);
}
