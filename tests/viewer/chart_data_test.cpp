// The chart's pyramid against a plain walk over the samples, the gap rule,
// and the lines built from columns.
#include "chart_column_check.h"
#include "viewer/chart_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

KvfSample At(std::int64_t t, std::uint16_t present, float v) {
    KvfSample s{};
    s.seconds = t;
    s.present = present;
    for (int c = 0; c < kKvfChannels; ++c)
        s.value[c] = (present >> c) & 1 ? v + c : 0.0f;
    return s;
}

ChartColumn Brute(const ChartData& d, int c, std::size_t begin, std::size_t end) {
    ChartColumn r;
    r.firstIndex = r.lastIndex = ChartBlock::kNone;
    r.minimum = r.maximum = r.first = r.last = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const KvfSample& s = d.Sample(i);
        if (!((s.present >> c) & 1))
            continue;
        if (r.Empty()) {
            r.minimum = r.maximum = r.first = s.value[c];
            r.firstIndex = static_cast<std::uint32_t>(i);
        }
        r.minimum = std::min(r.minimum, s.value[c]);
        r.maximum = std::max(r.maximum, s.value[c]);
        r.last = s.value[c];
        r.lastIndex = static_cast<std::uint32_t>(i);
    }
    return r;
}

// Random data, appended in random pieces as a followed file grows: every
// range summed up by the pyramid equals the plain walk, for every channel.
TEST(ChartPyramid, EqualsBruteForceOnRandomData) {
    std::mt19937 rng(487);
    ChartData d;
    std::int64_t t = 1000;
    std::vector<KvfSample> all;
    while (all.size() < 20000) {
        std::vector<KvfSample> piece;
        const int n = std::uniform_int_distribution<int>(1, 3000)(rng);
        for (int i = 0; i < n; ++i) {
            t += std::uniform_int_distribution<int>(0, 30)(rng);
            const std::uint16_t present = static_cast<std::uint16_t>(rng() & 0x1FF);
            piece.push_back(At(t, present, std::uniform_real_distribution<float>(-50, 50)(rng)));
        }
        d.Append(piece.data(), piece.size());
        all.insert(all.end(), piece.begin(), piece.end());
        ASSERT_EQ(d.Size(), all.size());
        for (int q = 0; q < 200; ++q) {
            std::size_t a = rng() % (all.size() + 1), b = rng() % (all.size() + 1);
            if (a > b)
                std::swap(a, b);
            const int c = static_cast<int>(rng() % kKvfChannels);
            ExpectSameColumn(d.Summary(c, a, b), Brute(d, c, a, b));
        }
    }
    // Columns cover the span without overlap: each one is its time range's walk.
    const double t0 = static_cast<double>(d.FirstTime()) + 37.5, t1 = static_cast<double>(d.LastTime()) - 100;
    const int width = 777;
    const std::vector<ChartColumn> cols = d.Columns(3, t0, t1, width);
    ASSERT_EQ(cols.size(), static_cast<std::size_t>(width));
    std::size_t begin = d.LowerBound(t0);
    for (int x = 0; x < width; ++x) {
        const std::size_t end = d.LowerBound(x + 1 == width ? t1 : t0 + (t1 - t0) * (x + 1) / width);
        ExpectSameColumn(cols[x], Brute(d, 3, begin, end));
        begin = end;
    }
    // All channels in one walk give the same columns.
    const std::vector<ChartColumn> every = d.AllColumns(t0, t1, width);
    ASSERT_EQ(every.size(), static_cast<std::size_t>(width) * kKvfChannels);
    for (int c = 0; c < kKvfChannels; ++c) {
        const std::vector<ChartColumn> one = d.Columns(c, t0, t1, width);
        for (int x = 0; x < width; ++x)
            ExpectSameColumn(every[static_cast<std::size_t>(c) * width + x], one[x]);
    }
    // The pyramid's memory is a small fraction of the samples'.
    EXPECT_LT(d.PyramidBytes(), d.Size() * sizeof(KvfSample) / 2);
}

// A clock set back puts the older record in its place; the pyramid follows.
TEST(ChartPyramid, RecordOlderThanTheLastIsSortedIn) {
    ChartData d;
    std::vector<KvfSample> s;
    for (int i = 0; i < 100; ++i)
        s.push_back(At(1000 + i * 10, 0x3, static_cast<float>(i)));
    d.Append(s.data(), s.size());
    const KvfSample early = At(1005, 0x3, -100.0f);
    d.Append(&early, 1);
    ASSERT_EQ(d.Size(), 101u);
    EXPECT_EQ(d.Sample(1).seconds, 1005);
    for (std::size_t i = 1; i < d.Size(); ++i)
        EXPECT_LE(d.Sample(i - 1).seconds, d.Sample(i).seconds);
    ExpectSameColumn(d.Summary(1, 0, d.Size()), Brute(d, 1, 0, d.Size()));
    EXPECT_EQ(d.Summary(0, 0, d.Size()).minimum, -100.0f);
}

TEST(ChartGaps, MissingGroupOrLongSilenceBreaksTheLine) {
    ChartData d;
    std::vector<KvfSample> s;
    // 10 s interval; channel 1 missing in record 3; a 40 s pause before record 6.
    const std::int64_t times[] = {0, 10, 20, 30, 40, 50, 90, 100};
    for (int i = 0; i < 8; ++i)
        s.push_back(At(1000 + times[i], i == 3 ? 0x1 : 0x3, 20.0f + i));
    d.Append(s.data(), s.size());
    const std::int64_t interval = d.Interval(60);
    EXPECT_EQ(interval, 10);
    EXPECT_TRUE(d.Joined(0, 1, interval));
    EXPECT_FALSE(d.Joined(2, 4, interval));   // channel 1 has no group in record 3
    EXPECT_TRUE(d.Joined(4, 5, interval));
    EXPECT_FALSE(d.Joined(5, 6, interval));   // 40 s > three intervals
    EXPECT_TRUE(d.Joined(6, 7, interval));

    // One column per record: runs 0-2, 4-5, 6-7 for channel 1; channel 0
    // (present everywhere) breaks only at the pause.
    const std::vector<ChartColumn> cols = d.Columns(1, 995, 1105, 11);
    const ChartPolyline line = BuildPolyline(d, 1, cols, 0, 0.0, 100.0, 0.0, 100.0, interval);
    ASSERT_EQ(line.counts.size(), 3u);
    EXPECT_EQ(line.counts[0], 3u);
    EXPECT_EQ(line.counts[1], 2u);
    EXPECT_EQ(line.counts[2], 2u);
    const ChartPolyline mean = BuildPolyline(d, 0, d.Columns(0, 995, 1105, 11), 0, 0.0, 100.0, 0.0, 100.0, interval);
    ASSERT_EQ(mean.counts.size(), 2u);
    EXPECT_EQ(mean.counts[0], 6u);
    EXPECT_EQ(line.y[0], 79);  // 21 in [0, 100], y growing downwards
    EXPECT_EQ(line.x.size(), line.y.size());
}

TEST(ChartGaps, LoneValueShowsAsAShortStroke) {
    ChartData d;
    std::vector<KvfSample> s = {At(0, 0x1, 1), At(10, 0x3, 2), At(20, 0x1, 3)};
    d.Append(s.data(), s.size());
    const ChartPolyline line = BuildPolyline(d, 1, d.Columns(1, 0, 30, 30), 5, 0.0, 10.0, 0.0, 10.0, 10);
    ASSERT_EQ(line.counts.size(), 1u);
    ASSERT_EQ(line.counts[0], 2u);
    EXPECT_EQ(line.x[1], line.x[0] + 1);
    EXPECT_EQ(line.x[0], 5 + 10);
}

// Many samples in one column: the stroke covers their whole range and ends at the last.
TEST(ChartGaps, DenseColumnDrawsItsRange) {
    ChartData d;
    std::vector<KvfSample> s;
    const float v[] = {5, 9, 1, 4};
    for (int i = 0; i < 4; ++i)
        s.push_back(At(i, 0x1, v[i]));
    d.Append(s.data(), s.size());
    const std::vector<ChartColumn> cols = d.Columns(0, 0, 4, 1);
    ASSERT_EQ(cols.size(), 1u);
    EXPECT_EQ(cols[0].minimum, 1.0f);
    EXPECT_EQ(cols[0].maximum, 9.0f);
    EXPECT_EQ(cols[0].first, 5.0f);
    EXPECT_EQ(cols[0].last, 4.0f);
    const ChartPolyline line = BuildPolyline(d, 0, cols, 0, 0.0, 10.0, 0.0, 10.0, 1);
    ASSERT_EQ(line.counts.size(), 1u);
    const auto [lo, hi] = std::minmax_element(line.y.begin(), line.y.end());
    EXPECT_EQ(*lo, 1);   // 9
    EXPECT_EQ(*hi, 9);   // 1
    EXPECT_EQ(line.y.back(), 6);  // ends at the last value, 4
}

TEST(ChartStatsTest, RangeBetweenCursors) {
    ChartData d;
    std::vector<KvfSample> s;
    for (int i = 0; i < 10; ++i)
        s.push_back(At(i * 10, i == 5 ? 0x1 : 0x3, static_cast<float>(i)));
    d.Append(s.data(), s.size());
    // Cursors in either order; both ends included.
    const ChartStats st = d.Stats(1, 70, 20);
    EXPECT_EQ(st.count, 5u);  // 20, 30, 40, 60, 70 (50 has no group)
    EXPECT_DOUBLE_EQ(st.minimum, 3.0);
    EXPECT_DOUBLE_EQ(st.maximum, 8.0);
    EXPECT_DOUBLE_EQ(st.mean, (3 + 4 + 5 + 7 + 8) / 5.0);
    EXPECT_EQ(d.Stats(1, 51, 59).count, 0u);
    EXPECT_EQ(d.Stats(0, -100, 1000).count, 10u);
}

}  // namespace

namespace {

// A sample as read from a log: the value is the float of its hundredths.
KvfSample FromLog(std::int64_t t, int channel, std::int64_t hundredths) {
    KvfSample s{};
    s.seconds = t;
    s.present = static_cast<std::uint16_t>(1u << channel);
    s.value[channel] = static_cast<float>(hundredths) / 100.0f;
    return s;
}

}  // namespace

// Values of a log are kept in two bytes while they lie near the channel's
// first one, and read back exactly; one far away, or one that is no number
// of hundredths, moves the channel to four bytes without changing a value.
TEST(ChartSamples, KeptCompactlyAndReadBackExactly) {
    ChartData d;
    std::vector<KvfSample> s;
    for (int i = 0; i < 6000; ++i)
        s.push_back(FromLog(1000 + i, 2, 2137 + (i * 37) % 6001 - 3000));
    d.Append(s.data(), s.size());
    EXPECT_LT(d.SampleBytes(), 6000u * 10);  // 7 bytes a record (time, one value) and room to grow
    EXPECT_FALSE(d.Has(0, 1));
    const std::vector<KvfSample> far = {FromLog(7000, 2, 12345678), FromLog(7001, 2, -99999999)};
    d.Append(far.data(), far.size());
    KvfSample odd = FromLog(7002, 2, 0);
    odd.value[2] = 0.123f;
    d.Append(&odd, 1);
    s.insert(s.end(), far.begin(), far.end());
    s.push_back(odd);
    ASSERT_EQ(d.Size(), s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        ASSERT_TRUE(d.Has(i, 2));
        ASSERT_EQ(d.Value(i, 2), s[i].value[2]) << i;
        ASSERT_EQ(d.Time(i), s[i].seconds);
    }
    ExpectSameColumn(d.Summary(2, 0, d.Size()), Brute(d, 2, 0, d.Size()));
    EXPECT_EQ(d.Summary(2, 0, d.Size()).maximum, 123456.78f);
    // Times from the first possible record date on are kept as they are.
    const KvfSample early = FromLog(ChartData::kTimeOrigin, 0, 1);
    d.Append(&early, 1);
    EXPECT_EQ(d.FirstTime(), ChartData::kTimeOrigin);
    EXPECT_EQ(d.Value(0, 0), 0.01f);
}
