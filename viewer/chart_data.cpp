#include "viewer/chart_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

ChartBlock EmptyBlock() {
    ChartBlock b;
    b.minimum = b.maximum = 0.0f;
    b.firstIndex = b.lastIndex = ChartBlock::kNone;
    return b;
}

const float kNoWide = std::numeric_limits<float>::quiet_NaN();

}  // namespace

bool ChartHundredths(float value, std::int64_t* pHundredths) {
    const double scaled = static_cast<double>(value) * 100.0;
    if (!(std::fabs(scaled) < 9.0e15))
        return false;
    const std::int64_t h = static_cast<std::int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
    const float back = static_cast<float>(h) / 100.0f;
    if (back != value || std::signbit(back) != std::signbit(value))
        return false;
    *pHundredths = h;
    return true;
}

// ---- one channel's values ----

void ChartChannel::PadTo(std::size_t i) {
    if (m_bWide)
        m_wide.resize(i, kNoWide);
    else
        m_small.resize(i, kNoSmall);
    m_nSize = i;
}

void ChartChannel::Put(std::size_t i, float value) {
    const bool first = m_nSize == 0;
    if (i != m_nSize)
        PadTo(i);
    std::int64_t h = 0;
    if (!m_bWide && ChartHundredths(value, &h)) {
        if (first)
            m_nBase = h;
        const std::int64_t d = h - m_nBase;
        if (d > kNoSmall && d <= 32767) {
            m_small.push_back(static_cast<std::int16_t>(d));
            ++m_nSize;
            return;
        }
    }
    if (!m_bWide)
        Widen();
    m_wide.push_back(value);
    ++m_nSize;
}

void ChartChannel::Widen() {
    std::vector<float> wide;
    wide.reserve(std::max(m_small.capacity(), m_small.size() + 1));
    for (std::size_t i = 0; i < m_small.size(); ++i)
        wide.push_back(m_small[i] == kNoSmall ? kNoWide : Value(i));
    std::vector<std::int16_t>().swap(m_small);
    m_wide.swap(wide);
    m_bWide = true;
}

bool ChartChannel::Has(std::size_t i) const {
    if (i >= m_nSize)
        return false;
    return m_bWide ? !std::isnan(m_wide[i]) : m_small[i] != kNoSmall;
}

float ChartChannel::Value(std::size_t i) const {
    return m_bWide ? m_wide[i] : static_cast<float>(m_nBase + m_small[i]) / 100.0f;
}

ChartBlock ChartChannel::Block(std::size_t begin, std::size_t end) const {
    ChartBlock block = EmptyBlock();
    end = std::min(end, m_nSize);
    if (m_bWide) {
        for (std::size_t i = begin; i < end; ++i) {
            const float v = m_wide[i];
            if (std::isnan(v))
                continue;
            if (block.Empty()) {
                block.minimum = block.maximum = v;
                block.firstIndex = static_cast<std::uint32_t>(i);
            }
            block.minimum = std::min(block.minimum, v);
            block.maximum = std::max(block.maximum, v);
            block.lastIndex = static_cast<std::uint32_t>(i);
        }
        return block;
    }
    // Steps compared as integers: a float of more hundredths is never smaller.
    int lo = 32767, hi = kNoSmall;
    for (std::size_t i = begin; i < end; ++i) {
        const int v = m_small[i];
        if (v == kNoSmall)
            continue;
        if (block.Empty())
            block.firstIndex = static_cast<std::uint32_t>(i);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        block.lastIndex = static_cast<std::uint32_t>(i);
    }
    if (!block.Empty()) {
        block.minimum = static_cast<float>(m_nBase + lo) / 100.0f;
        block.maximum = static_cast<float>(m_nBase + hi) / 100.0f;
    }
    return block;
}

void ChartChannel::Reorder(const std::vector<std::uint32_t>& order, std::size_t from, std::size_t n) {
    if (m_nSize == 0)
        return;
    PadTo(n);
    if (m_bWide) {
        std::vector<float> moved(order.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            moved[k] = m_wide[order[k]];
        std::copy(moved.begin(), moved.end(), m_wide.begin() + static_cast<std::ptrdiff_t>(from));
    } else {
        std::vector<std::int16_t> moved(order.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            moved[k] = m_small[order[k]];
        std::copy(moved.begin(), moved.end(), m_small.begin() + static_cast<std::ptrdiff_t>(from));
    }
}

void ChartChannel::Reserve(std::size_t n) {
    if (m_bWide)
        m_wide.reserve(n);
    else
        m_small.reserve(n);
}

// ---- the samples and their pyramid ----

ChartData::ChartData()
    : m_nStored(0), m_nSize(0), m_bDisorder(false), m_nSeen(0), m_nSummed(0), m_nIntervalCache(0),
      m_nIntervalAt(0) {}

void ChartData::Clear() { *this = ChartData(); }

void ChartData::Reserve(std::size_t n) {
    m_timeLow.reserve(n);
    m_timeHigh.reserve(n);
    for (int c = 0; c < kKvfChannels; ++c)
        if ((m_nSeen >> c) & 1)
            m_channels[c].Reserve(n);
}

KvfSample ChartData::Sample(std::size_t i) const {
    KvfSample s;
    s.seconds = Time(i);
    s.present = 0;
    for (int c = 0; c < kKvfChannels; ++c) {
        const bool has = m_channels[c].Has(i);
        s.value[c] = has ? m_channels[c].Value(i) : 0.0f;
        s.present = static_cast<std::uint16_t>(s.present | (has ? 1u << c : 0u));
    }
    return s;
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
    into.lastIndex = from.lastIndex;
}

void ChartData::Store(const KvfSample& s) {
    const std::int64_t offset =
        std::min<std::int64_t>(std::max<std::int64_t>(s.seconds - kTimeOrigin, 0), (std::int64_t(1) << 40) - 1);
    if (m_nStored > 0 && s.seconds < Time(m_nStored - 1))
        m_bDisorder = true;
    m_timeLow.push_back(static_cast<std::uint32_t>(offset));
    m_timeHigh.push_back(static_cast<std::uint8_t>(offset >> 32));
    for (int c = 0; c < kKvfChannels; ++c)
        if ((s.present >> c) & 1)
            m_channels[c].Put(m_nStored, s.value[c]);
    m_nSeen |= s.present;
    ++m_nStored;
}

void ChartData::Append(const KvfSample* samples, std::size_t n) {
    Extend(samples, n);
    Settle();
}

void ChartData::Extend(const KvfSample* samples, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        Store(samples[i]);
    if (m_nStored == m_nSize)
        return;
    // In order, or out of order only near the end (a clock set back an
    // hour): counted now. Far out of order: sorted once, by Settle().
    if (!m_bDisorder || m_nStored - SortStart() <= 2 * (m_nStored - m_nSize) + 4096)
        Settle();
}

std::size_t ChartData::SortStart() const {
    // The first settled sample later than the oldest new one.
    std::int64_t oldest = Time(m_nSize);
    for (std::size_t i = m_nSize + 1; i < m_nStored; ++i)
        oldest = std::min(oldest, Time(i));
    std::size_t lo = 0, hi = m_nSize;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (Time(mid) <= oldest)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void ChartData::Settle() {
    if (m_nStored == m_nSize)
        return;
    std::size_t from = m_nSize;
    if (m_bDisorder) {
        from = SortStart();
        std::vector<std::uint32_t> order(m_nStored - from);
        for (std::size_t k = 0; k < order.size(); ++k)
            order[k] = static_cast<std::uint32_t>(from + k);
        std::stable_sort(order.begin(), order.end(),
                         [this](std::uint32_t a, std::uint32_t b) { return Time(a) < Time(b); });
        {
            std::vector<std::uint32_t> low(order.size());
            std::vector<std::uint8_t> high(order.size());
            for (std::size_t k = 0; k < order.size(); ++k) {
                low[k] = m_timeLow[order[k]];
                high[k] = m_timeHigh[order[k]];
            }
            std::copy(low.begin(), low.end(), m_timeLow.begin() + static_cast<std::ptrdiff_t>(from));
            std::copy(high.begin(), high.end(), m_timeHigh.begin() + static_cast<std::ptrdiff_t>(from));
        }
        for (ChartChannel& channel : m_channels)
            channel.Reorder(order, from, m_nStored);
        m_bDisorder = false;
    }
    Rebuild(from);
    m_nSize = m_nStored;
}

// Recomputes every block that covers a stored sample at or after
// fromSample; the blocks before stay as they are, so following a growing
// file is cheap.
void ChartData::Rebuild(std::size_t fromSample) {
    std::size_t below = m_nStored;  // items of the level below
    std::size_t from = fromSample;  // first changed item below
    for (std::size_t level = 0; below > 1 || level == 0; ++level) {
        const std::size_t count = (below + kChartFanOut - 1) / kChartFanOut;
        if (m_levels.size() <= level)
            m_levels.emplace_back(kKvfChannels);
        const std::size_t firstBlock = from / kChartFanOut;
        for (int c = 0; c < kKvfChannels; ++c) {
            if (!((m_nSeen >> c) & 1))
                continue;
            std::vector<ChartBlock>& blocks = m_levels[level][c];
            blocks.resize(count, EmptyBlock());
            for (std::size_t b = firstBlock; b < count; ++b) {
                const std::size_t end = std::min(below, (b + 1) * kChartFanOut);
                if (level == 0) {
                    blocks[b] = m_channels[c].Block(b * kChartFanOut, end);
                    continue;
                }
                ChartBlock block = EmptyBlock();
                for (std::size_t i = b * kChartFanOut; i < end; ++i)
                    Merge(block, m_levels[level - 1][c][i]);
                blocks[b] = block;
            }
        }
        if (level == 0)
            m_nSummed += below - firstBlock * kChartFanOut;
        from = firstBlock;
        below = count;
        if (count <= 1)
            break;
    }
}

std::int64_t ChartData::Interval(std::int64_t fallback) const {
    if (m_nSize < 3)
        return fallback > 0 ? fallback : 1;
    if (m_nIntervalAt == 0 || m_nSize >= 2 * m_nIntervalAt) {
        // A sample of at most 100,001 steps spread over the file is plenty for a median.
        const std::size_t n = m_nSize - 1;
        const std::size_t stride = std::max<std::size_t>(1, n / 100000);
        std::vector<std::int64_t> steps;
        steps.reserve(n / stride + 1);
        for (std::size_t i = 0; i < n; i += stride)
            steps.push_back(Time(i + 1) - Time(i));
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        m_nIntervalCache = std::max<std::int64_t>(1, steps[steps.size() / 2]);
        m_nIntervalAt = m_nSize;
    }
    return m_nIntervalCache;
}

std::size_t ChartData::LowerBound(double t) const {
    std::size_t lo = 0, hi = m_nSize;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (static_cast<double>(Time(mid)) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
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
    one.minimum = one.maximum = m_channels[c].Value(i);
    one.firstIndex = one.lastIndex = static_cast<std::uint32_t>(i);
    return one;
}

ChartColumn ChartData::ToColumn(const ChartBlock& b, int c) const {
    ChartColumn column;
    column.minimum = b.minimum;
    column.maximum = b.maximum;
    column.firstIndex = b.firstIndex;
    column.lastIndex = b.lastIndex;
    column.first = b.Empty() ? 0.0f : m_channels[c].Value(b.firstIndex);
    column.last = b.Empty() ? 0.0f : m_channels[c].Value(b.lastIndex);
    return column;
}

ChartColumn ChartData::Summary(int channel, std::size_t begin, std::size_t end) const {
    ChartBlock result = EmptyBlock();
    end = std::min(end, m_nSize);
    if (!((m_nSeen >> channel) & 1))
        return ToColumn(result, channel);
    // Walks from the left: whole blocks of the highest level that fits,
    // single samples at the ragged edges.
    std::size_t i = begin;
    while (i < end) {
        std::size_t level;
        const std::size_t size = BlockAt(i, end, &level);
        if (level == 0) {
            if (m_channels[channel].Has(i))
                Merge(result, SampleBlock(i, channel));
        } else {
            Merge(result, m_levels[level - 1][channel][i / size]);
        }
        i += size;
    }
    return ToColumn(result, channel);
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
    std::vector<ChartBlock> blocks(w * kKvfChannels, EmptyBlock());
    std::size_t begin = LowerBound(t0);
    for (std::size_t x = 0; x < w; ++x) {
        const double edge = t0 + (t1 - t0) * static_cast<double>(x + 1) / width;
        const std::size_t end = std::min(m_nSize, x + 1 == w ? LowerBound(t1) : LowerBound(edge));
        for (std::size_t i = begin; i < end;) {
            std::size_t level;
            const std::size_t size = BlockAt(i, end, &level);
            for (int c = 0; c < kKvfChannels; ++c) {
                if (!((m_nSeen >> c) & 1))
                    continue;
                if (level > 0)
                    Merge(blocks[c * w + x], m_levels[level - 1][c][i / size]);
                else if (m_channels[c].Has(i))
                    Merge(blocks[c * w + x], SampleBlock(i, c));
            }
            i += size;
        }
        begin = end;
    }
    columns.reserve(blocks.size());
    for (std::size_t k = 0; k < blocks.size(); ++k)
        columns.push_back(ToColumn(blocks[k], static_cast<int>(k / w)));
    return columns;
}

ChartStats ChartData::Stats(int channel, double t0, double t1) const {
    ChartStats st = {0, 0.0, 0.0, 0.0};
    if (t1 < t0)
        std::swap(t0, t1);
    double sum = 0.0;
    const ChartChannel& values = m_channels[channel];
    for (std::size_t i = LowerBound(t0); i < m_nSize && static_cast<double>(Time(i)) <= t1; ++i) {
        if (!values.Has(i))
            continue;
        const double v = values.Value(i);
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

std::size_t ChartData::SampleBytes() const {
    std::size_t bytes = m_timeLow.capacity() * sizeof(std::uint32_t) + m_timeHigh.capacity();
    for (const ChartChannel& channel : m_channels)
        bytes += channel.Bytes();
    return bytes;
}

ChartPolyline BuildPolyline(const ChartSamples& data, int channel, const ChartColumn* columns, std::size_t count,
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
