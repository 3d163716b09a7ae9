// What a chart asks of a log's samples, however they are kept: all in
// memory (ChartData) or summed up per run of records with the records read
// back from the log's files when a drawing needs them (ChartFileData).
// Samples are numbered in time order; a sample's time is its axis time.
#pragma once

#include "viewer/kvf_reader.h"

#include <cstdint>
#include <vector>

// What one pixel column (a time range) holds of one channel.
struct ChartColumn {
    float minimum, maximum, first, last;
    std::uint32_t firstIndex, lastIndex;  // samples holding first and last
    bool Empty() const { return firstIndex == kNone; }
    static const std::uint32_t kNone = 0xFFFFFFFFu;
};

struct ChartStats {
    std::uint64_t count;
    double minimum, maximum, mean;
};

// The hundredths whose float is exactly this value, as a log's reader makes
// it (MakeSample); false for any other float.
bool ChartHundredths(float value, std::int64_t* pHundredths);

class ChartSamples {
public:
    virtual ~ChartSamples() = default;
    virtual std::size_t Size() const = 0;
    virtual std::int64_t Time(std::size_t i) const = 0;
    virtual KvfSample Sample(std::size_t i) const = 0;
    virtual std::int64_t FirstTime() const = 0;
    virtual std::int64_t LastTime() const = 0;
    // Channels that have a value in any sample (bit c: channel c).
    virtual std::uint16_t ChannelsSeen() const = 0;
    // The recording interval: the median step between records (seconds);
    // fallback while there are fewer than two steps.
    virtual std::int64_t Interval(std::int64_t fallback) const = 0;
    // First sample at or after t; Size() when none.
    virtual std::size_t LowerBound(double t) const = 0;
    // Sample range [begin, end) of one channel summed up.
    virtual ChartColumn Summary(int channel, std::size_t begin, std::size_t end) const = 0;
    // Columns of a time span [t0, t1) split into `width` equal parts, every
    // channel: column x of channel c at [c * width + x].
    virtual std::vector<ChartColumn> AllColumns(double t0, double t1, int width) const = 0;
    // Count, minimum, maximum and mean of the channel over [t0, t1], exact.
    virtual ChartStats Stats(int channel, double t0, double t1) const = 0;

    // Gap rule: two values of a channel are joined by a line only when they
    // come from consecutive records (a record without the channel's group
    // breaks the line) and lie at most three recording intervals apart.
    bool Joined(std::size_t a, std::size_t b, std::int64_t interval) const {
        return b == a + 1 && Time(b) - Time(a) <= 3 * interval;
    }
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
ChartPolyline BuildPolyline(const ChartSamples& data, int channel, const ChartColumn* columns, std::size_t count,
                            int left, double top, double height, double v0, double v1, std::int64_t interval);
inline ChartPolyline BuildPolyline(const ChartSamples& data, int channel, const std::vector<ChartColumn>& columns,
                                   int left, double top, double height, double v0, double v1,
                                   std::int64_t interval) {
    return BuildPolyline(data, channel, columns.data(), columns.size(), left, top, height, v0, v1, interval);
}
