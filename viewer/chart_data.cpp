#include "viewer/chart_data.h"

#include <algorithm>
#include <cmath>

namespace {

ChartBlock EmptyBlock() {
    ChartBlock b;
    b.minimum = b.maximum = b.first = b.last = 0.0f;
    b.firstIndex = b.lastIndex = ChartBlock::kNone;
    return b;
}

}  // namespace

ChartData::ChartData() : m_nSeen(0), m_nIntervalCache(0), m_nIntervalAt(0) {}

void ChartData::Clear() {
    m_samples.clear();
    m_levels.clear();
    m_nSeen = 0;
    m_nIntervalCache = 0;
    m_nIntervalAt = 0;
}

void ChartData::Merge(ChartBlock& into, const ChartBlock& from) {
    if (from.Empty())
        return;
    if (into.Empty()) {
        into = from;
        return;
    }
    into.minimum = std::min(into.minimum, from.minimum);
    into.maximum = std::max(into.maximum, from.maximum);
    // Blocks are merged in sample order.
    into.last = from.last;
    into.lastIndex = from.lastIndex;
}

void ChartData::Append(const KvfSample* samples, std::size_t n) {
    std::size_t rebuildFrom = m_samples.size();
    for (std::size_t i = 0; i < n; ++i) {
        const KvfSample& s = samples[i];
        m_nSeen |= s.present;
        if (!m_samples.empty() && s.seconds < m_samples.back().seconds) {
            auto at = std::upper_bound(m_samples.begin(), m_samples.end(), s.seconds,
                                       [](std::int64_t t, const KvfSample& x) { return t < x.seconds; });
            rebuildFrom = std::min(rebuildFrom, static_cast<std::size_t>(at - m_samples.begin()));
            m_samples.insert(at, s);
        } else {
            m_samples.push_back(s);
        }
    }
    if (n > 0)
        Rebuild(rebuildFrom);
}

// Recomputes every block that covers a sample at or after fromSample; the
// blocks before stay as they are, so following a growing file is cheap.
void ChartData::Rebuild(std::size_t fromSample) {
    std::size_t below = m_samples.size();  // items of the level below
    std::size_t from = fromSample;         // first changed item below
    for (std::size_t level = 0; below > 1 || level == 0; ++level) {
        const std::size_t count = (below + kChartFanOut - 1) / kChartFanOut;
        if (m_levels.size() <= level)
            m_levels.emplace_back(kKvfChannels);
        const std::size_t firstBlock = from / kChartFanOut;
        for (int c = 0; c < kKvfChannels; ++c)
            m_levels[level][c].resize(count);
        // Block by block, all channels at once: a block's samples stay in the cache.
        for (std::size_t b = firstBlock; b < count; ++b) {
            const std::size_t end = std::min(below, (b + 1) * kChartFanOut);
            for (int c = 0; c < kKvfChannels; ++c) {
                ChartBlock block = EmptyBlock();
                for (std::size_t i = b * kChartFanOut; i < end; ++i) {
                    if (level == 0) {
                        const KvfSample& s = m_samples[i];
                        if (!((s.present >> c) & 1))
                            continue;
                        const float v = s.value[c];
                        const std::uint32_t index = static_cast<std::uint32_t>(i);
                        if (block.Empty()) {
                            block.minimum = block.maximum = block.first = v;
                            block.firstIndex = index;
                        }
                        block.minimum = std::min(block.minimum, v);
                        block.maximum = std::max(block.maximum, v);
                        block.last = v;
                        block.lastIndex = index;
                    } else {
                        Merge(block, m_levels[level - 1][c][i]);
                    }
                }
                m_levels[level][c][b] = block;
            }
        }
        from = firstBlock;
        below = count;
        if (count <= 1)
            break;
    }
}

std::int64_t ChartData::Interval(std::int64_t fallback) const {
    if (m_samples.size() < 3)
        return fallback > 0 ? fallback : 1;
    if (m_nIntervalAt == 0 || m_samples.size() >= 2 * m_nIntervalAt) {
        // A sample of at most 100,001 steps spread over the file is plenty for a median.
        const std::size_t n = m_samples.size() - 1;
        const std::size_t stride = std::max<std::size_t>(1, n / 100000);
        std::vector<std::int64_t> steps;
        steps.reserve(n / stride + 1);
        for (std::size_t i = 0; i < n; i += stride)
            steps.push_back(m_samples[i + 1].seconds - m_samples[i].seconds);
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        m_nIntervalCache = std::max<std::int64_t>(1, steps[steps.size() / 2]);
        m_nIntervalAt = m_samples.size();
    }
    return m_nIntervalCache;
}

bool ChartData::Joined(std::size_t a, std::size_t b, std::int64_t interval) const {
    return b == a + 1 && m_samples[b].seconds - m_samples[a].seconds <= 3 * interval;
}

std::size_t ChartData::LowerBound(double t) const {
    auto at = std::lower_bound(m_samples.begin(), m_samples.end(), t,
                               [](const KvfSample& x, double v) { return static_cast<double>(x.seconds) < v; });
    return static_cast<std::size_t>(at - m_samples.begin());
}

std::size_t ChartData::BlockAt(std::size_t i, std::size_t end, std::size_t* pLevel) const {
    std::size_t level = 0, size = 1;
    while (level < m_levels.size() && i % (size * kChartFanOut) == 0 && i + size * kChartFanOut <= end) {
        size *= kChartFanOut;
        ++level;
    }
    *pLevel = level;
    return size;
}

ChartBlock ChartData::SampleBlock(std::size_t i, int c) const {
    ChartBlock one;
    one.minimum = one.maximum = one.first = one.last = m_samples[i].value[c];
    one.firstIndex = one.lastIndex = static_cast<std::uint32_t>(i);
    return one;
}

ChartColumn ChartData::Summary(int channel, std::size_t begin, std::size_t end) const {
    ChartColumn result = EmptyBlock();
    end = std::min(end, m_samples.size());
    // Walks from the left: whole blocks of the highest level that fits,
    // single samples at the ragged edges.
    std::size_t i = begin;
    while (i < end) {
        std::size_t level;
        const std::size_t size = BlockAt(i, end, &level);
        if (level == 0) {
            if ((m_samples[i].present >> channel) & 1)
                Merge(result, SampleBlock(i, channel));
        } else {
            Merge(result, m_levels[level - 1][channel][i / size]);
        }
        i += size;
    }
    return result;
}

std::vector<ChartColumn> ChartData::Columns(int channel, double t0, double t1, int width) const {
    std::vector<ChartColumn> columns;
    if (width <= 0 || !(t1 > t0))
        return columns;
    columns.reserve(static_cast<std::size_t>(width));
    std::size_t begin = LowerBound(t0);
    for (int x = 0; x < width; ++x) {
        const double edge = t0 + (t1 - t0) * (x + 1) / width;
        const std::size_t end = x + 1 == width ? LowerBound(t1) : LowerBound(edge);
        columns.push_back(Summary(channel, begin, end));
        begin = end;
    }
    return columns;
}

std::vector<ChartColumn> ChartData::AllColumns(double t0, double t1, int width) const {
    std::vector<ChartColumn> columns;
    if (width <= 0 || !(t1 > t0))
        return columns;
    const std::size_t w = static_cast<std::size_t>(width);
    columns.assign(w * kKvfChannels, EmptyBlock());
    std::size_t begin = LowerBound(t0);
    for (std::size_t x = 0; x < w; ++x) {
        const double edge = t0 + (t1 - t0) * static_cast<double>(x + 1) / width;
        const std::size_t end = std::min(m_samples.size(), x + 1 == w ? LowerBound(t1) : LowerBound(edge));
        for (std::size_t i = begin; i < end;) {
            std::size_t level;
            const std::size_t size = BlockAt(i, end, &level);
            if (level == 0) {
                for (int c = 0; c < kKvfChannels; ++c)
                    if ((m_samples[i].present >> c) & 1)
                        Merge(columns[c * w + x], SampleBlock(i, c));
            } else {
                for (int c = 0; c < kKvfChannels; ++c)
                    Merge(columns[c * w + x], m_levels[level - 1][c][i / size]);
            }
            i += size;
        }
        begin = end;
    }
    return columns;
}

ChartStats ChartData::Stats(int channel, double t0, double t1) const {
    ChartStats st = {0, 0.0, 0.0, 0.0};
    if (t1 < t0)
        std::swap(t0, t1);
    double sum = 0.0;
    for (std::size_t i = LowerBound(t0); i < m_samples.size() && m_samples[i].seconds <= t1; ++i) {
        const KvfSample& s = m_samples[i];
        if (!((s.present >> channel) & 1))
            continue;
        const double v = s.value[channel];
        if (st.count == 0)
            st.minimum = st.maximum = v;
        st.minimum = std::min(st.minimum, v);
        st.maximum = std::max(st.maximum, v);
        sum += v;
        ++st.count;
    }
    if (st.count)
        st.mean = sum / static_cast<double>(st.count);
    return st;
}

std::size_t ChartData::PyramidBytes() const {
    std::size_t bytes = 0;
    for (const auto& level : m_levels)
        for (const auto& blocks : level)
            bytes += blocks.capacity() * sizeof(ChartBlock);
    return bytes;
}

ChartPolyline BuildPolyline(const ChartData& data, int channel, const ChartColumn* columns, std::size_t count,
                            int left, double top, double height, double v0, double v1, std::int64_t interval) {
    ChartPolyline line;
    const double span = v1 - v0;
    auto toY = [&](float v) {
        const double y = span > 0 ? top + (v1 - v) * height / span : top + height / 2;
        // GDI coordinates are 32-bit; keep far-off values well inside.
        return static_cast<int>(std::lround(std::max(-1.0e6, std::min(1.0e6, y))));
    };
    std::uint32_t runStart = 0;
    std::uint32_t previous = ChartBlock::kNone;
    auto closeRun = [&]() {
        const std::uint32_t n = static_cast<std::uint32_t>(line.x.size()) - runStart;
        if (n == 0)
            return;
        if (n == 1) {
            line.x.push_back(line.x.back() + 1);
            line.y.push_back(line.y.back());
        }
        line.counts.push_back(static_cast<std::uint32_t>(line.x.size()) - runStart);
        runStart = static_cast<std::uint32_t>(line.x.size());
    };
    auto add = [&](int x, int y) {
        // Repeated points add nothing to a run.
        if (line.x.size() > runStart && line.x.back() == x && line.y.back() == y)
            return;
        line.x.push_back(x);
        line.y.push_back(y);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const ChartColumn& col = columns[i];
        if (col.Empty())
            continue;
        if (previous == ChartBlock::kNone || !data.Joined(previous, col.firstIndex, interval))
            closeRun();
        const int x = left + static_cast<int>(i);
        add(x, toY(col.first));
        if (col.firstIndex != col.lastIndex) {
            // The column's whole range, ending at its last value.
            const bool rising = col.last >= col.first;
            add(x, toY(rising ? col.minimum : col.maximum));
            add(x, toY(rising ? col.maximum : col.minimum));
            add(x, toY(col.last));
        }
        previous = col.lastIndex;
    }
    closeRun();
    return line;
}
