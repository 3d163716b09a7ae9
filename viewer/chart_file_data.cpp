#include "viewer/chart_file_data.h"

#include "viewer/kvf_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Bytes of one file mapped at once to read back a stretch of chunks.
const std::uint64_t kReadBackBytes = 8u << 20;

ChartColumn EmptyColumn() {
    ChartColumn column;
    column.minimum = column.maximum = column.first = column.last = 0.0f;
    column.firstIndex = column.lastIndex = ChartColumn::kNone;
    return column;
}

// Values are taken in sample order: the first stays, the last moves on.
void Take(ChartColumn& column, float value, std::size_t index) {
    if (column.Empty()) {
        column.minimum = column.maximum = column.first = value;
        column.firstIndex = static_cast<std::uint32_t>(index);
    }
    column.minimum = std::min(column.minimum, value);
    column.maximum = std::max(column.maximum, value);
    column.last = value;
    column.lastIndex = static_cast<std::uint32_t>(index);
}

void Take(ChartColumn& column, const ChartChunkChannel& chunk, std::size_t start) {
    if (chunk.count == 0)
        return;
    if (column.Empty()) {
        column.minimum = chunk.minimum;
        column.maximum = chunk.maximum;
        column.first = chunk.first;
        column.firstIndex = static_cast<std::uint32_t>(start + chunk.firstAt);
    }
    column.minimum = std::min(column.minimum, chunk.minimum);
    column.maximum = std::max(column.maximum, chunk.maximum);
    column.last = chunk.last;
    column.lastIndex = static_cast<std::uint32_t>(start + chunk.lastAt);
}

ChartChunkChannel EmptyChunkChannel() {
    ChartChunkChannel e = {};
    return e;
}

std::uint64_t EndOf(const ChartChunk& chunk) { return chunk.begin + chunk.bytes; }

// Collects the records of a stretch of chunks, each into its chunk's list by
// where it lies.
class ReadBackSink : public KvfSink {
public:
    ReadBackSink(const ChartChunk* chunks, std::size_t n, std::vector<KvfSample>* out)
        : m_pChunks(chunks), m_n(n), m_pOut(out), m_k(0) {}
    void OnRecord(const KvfRecord& record) override {
        while (m_k < m_n && record.offset >= EndOf(m_pChunks[m_k]))
            ++m_k;
        if (m_k < m_n && record.offset >= m_pChunks[m_k].begin && m_pOut[m_k].size() < m_pChunks[m_k].count)
            m_pOut[m_k].push_back(MakeSample(record));
    }
    void OnDamage(std::uint64_t, std::uint64_t, const char*) override {}

private:
    const ChartChunk* m_pChunks;
    std::size_t m_n;
    std::vector<KvfSample>* m_pOut;
    std::size_t m_k;
};

}  // namespace

ChartFileData::ChartFileData(Opener opener)
    : m_opener(std::move(opener)), m_nSize(0), m_nRoom(0), m_nSeen(0), m_nIntervalCache(0), m_nIntervalAt(0) {}

void ChartFileData::Reserve(std::size_t records) {
    m_nRoom = m_chunks.size() + records / kChartChunk + 16;
    m_chunks.reserve(m_nRoom);
    for (int c = 0; c < kKvfChannels; ++c)
        if ((m_nSeen >> c) & 1)
            m_channels[c].reserve(m_nRoom);
}

// ---- taking records in ----

void ChartFileData::StartChunk(const KvfSample& s, std::int64_t shift, const KvfPlace& place, std::uint16_t file) {
    ChartChunk chunk;
    chunk.firstTime = chunk.lastTime = s.seconds;
    chunk.shift = shift;
    chunk.begin = place.offset;
    chunk.bytes = 0;
    chunk.start = static_cast<std::uint32_t>(m_nSize);
    chunk.file = file;
    chunk.count = 0;
    m_chunks.push_back(chunk);
    for (int c = 0; c < kKvfChannels; ++c)
        if ((m_nSeen >> c) & 1)
            m_channels[c].push_back(EmptyChunkChannel());
}

void ChartFileData::Extend(const KvfSample* samples, const std::int64_t* wallClocks, const KvfPlace* places,
                           std::size_t n, std::uint32_t file) {
    if (file > 0xFFFF)
        return;
    for (std::size_t i = 0; i < n; ++i) {
        // Sample numbers are 32-bit in a column; a log beyond that is read to there.
        if (m_nSize >= 0xFFFFFFFEu)
            return;
        KvfSample s = samples[i];
        if (!m_chunks.empty() && s.seconds < m_chunks.back().lastTime)
            s.seconds = m_chunks.back().lastTime;
        const std::int64_t shift = s.seconds - wallClocks[i];
        const KvfPlace& place = places[i];
        if (m_chunks.empty() || m_chunks.back().count == kChartChunk || m_chunks.back().file != file ||
            m_chunks.back().shift != shift || place.offset != EndOf(m_chunks.back()))
            StartChunk(s, shift, place, static_cast<std::uint16_t>(file));
        ChartChunk& chunk = m_chunks.back();
        const std::uint8_t at = static_cast<std::uint8_t>(chunk.count);
        for (int c = 0; c < kKvfChannels; ++c) {
            if (!((s.present >> c) & 1))
                continue;
            if (!((m_nSeen >> c) & 1)) {
                m_channels[c].reserve(std::max(m_nRoom, m_chunks.size()));
                m_channels[c].resize(m_chunks.size(), EmptyChunkChannel());
                m_nSeen = static_cast<std::uint16_t>(m_nSeen | (1u << c));
            }
            ChartChunkChannel& e = m_channels[c].back();
            const float v = s.value[c];
            if (e.count == 0) {
                e.minimum = e.maximum = e.first = v;
                e.firstAt = at;
                e.sum = 0;
            }
            e.minimum = std::min(e.minimum, v);
            e.maximum = std::max(e.maximum, v);
            e.last = v;
            e.lastAt = at;
            ++e.count;
            // A log's value is the float of whole hundredths, which rounding
            // its hundredfold gives back (below 80,000 exactly): no division
            // per value to check it.
            const double scaled = static_cast<double>(v) * 100.0;
            const std::int64_t h = static_cast<std::int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
            if (e.sum != ChartChunkChannel::kNoSum && std::fabs(scaled) < 8.0e6 &&
                e.sum + h > ChartChunkChannel::kNoSum && e.sum + h <= std::numeric_limits<std::int32_t>::max())
                e.sum = static_cast<std::int32_t>(e.sum + h);
            else
                e.sum = ChartChunkChannel::kNoSum;
        }
        chunk.lastTime = s.seconds;
        chunk.bytes = static_cast<std::uint32_t>(place.offset + place.length - chunk.begin);
        ++chunk.count;
        ++m_nSize;
    }
}

std::uint16_t ChartFileData::Consistent(const std::vector<ChartChunk>& chunks,
                                        const std::vector<ChartChunkChannel> channels[kKvfChannels], bool* pOk) {
    *pOk = false;
    std::uint64_t size = 0;
    // Its records' wall clocks, and its times no further from them than a log's: a chunk's times become dates.
    auto timely = [](const ChartChunk& ch) {
        const std::int64_t most = KvfTimeline::kMaxShift, low = KvfTimeline::kFirstLocal - most,
                           high = KvfTimeline::kLastLocal + most;
        return ch.shift >= -most && ch.shift <= most && ch.firstTime >= low && ch.lastTime <= high &&
               ch.firstTime - ch.shift >= KvfTimeline::kFirstLocal && ch.lastTime - ch.shift <= KvfTimeline::kLastLocal;
    };
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        const ChartChunk& ch = chunks[k];
        if (ch.count == 0 || ch.count > kChartChunk || ch.start != size || ch.firstTime > ch.lastTime ||
            (k > 0 && ch.firstTime < chunks[k - 1].lastTime) || ch.begin > ~std::uint64_t(0) - ch.bytes || !timely(ch))
            return 0;
        // As a reading leaves them: no longer than their records can be (a
        // chunk is read back whole), in file order, each after the one before.
        if (ch.bytes > std::uint64_t(ch.count) * KvfReader::kMaxRecord ||
            (k > 0 &&
             (ch.file < chunks[k - 1].file || (ch.file == chunks[k - 1].file && ch.begin < EndOf(chunks[k - 1])))))
            return 0;
        size += ch.count;
    }
    if (size > 0xFFFFFFFEu)  // as many as Extend takes
        return 0;
    std::uint16_t seen = 0;
    for (int c = 0; c < kKvfChannels; ++c) {
        if (channels[c].empty())
            continue;
        if (channels[c].size() != chunks.size())
            return 0;
        for (std::size_t k = 0; k < chunks.size(); ++k) {
            const ChartChunkChannel& e = channels[c][k];
            if (e.count == 0)
                continue;
            if (e.count > chunks[k].count || e.firstAt > e.lastAt || e.lastAt >= chunks[k].count ||
                !std::isfinite(e.minimum) || !std::isfinite(e.maximum) || !(e.minimum <= e.maximum) ||
                !(e.first >= e.minimum && e.first <= e.maximum) || !(e.last >= e.minimum && e.last <= e.maximum))
                return 0;
            seen = static_cast<std::uint16_t>(seen | (1u << c));
        }
    }
    *pOk = true;
    return seen;
}

bool ChartFileData::Restore(std::vector<ChartChunk> chunks, std::vector<ChartChunkChannel> channels[kKvfChannels]) {
    bool ok;
    const std::uint16_t seen = Consistent(chunks, channels, &ok);
    if (!ok)
        return false;
    m_nSize = chunks.empty() ? 0 : chunks.back().start + std::size_t(chunks.back().count);
    m_chunks = std::move(chunks);
    for (int c = 0; c < kKvfChannels; ++c) {
        m_channels[c].clear();
        if ((seen >> c) & 1)
            m_channels[c] = std::move(channels[c]);
    }
    m_nSeen = seen;
    m_cache.clear();
    m_sources.clear();
    m_nIntervalAt = 0;
    return true;
}

// ---- reading records back ----

std::shared_ptr<KvfSource> ChartFileData::Source(std::uint16_t file, std::uint64_t end) const {
    if (m_sources.size() <= file)
        m_sources.resize(file + 1u);
    std::shared_ptr<KvfSource>& source = m_sources[file];
    // The file followed has grown since it was opened: open it as it is now.
    if ((!source || source->Size() < end) && m_opener)
        source = m_opener(file);
    return source;
}

bool ChartFileData::Scan(std::uint16_t file, std::uint64_t from, std::uint64_t to, KvfSink* sink, bool text) const {
    const std::shared_ptr<KvfSource> source = Source(file, to);
    const std::uint64_t size = source ? std::min(source->Size(), to + KvfReader::kMaxRecord) : 0;
    std::unique_ptr<KvfSource::View> view =
        size > from ? source->Map(from, static_cast<std::size_t>(size - from)) : nullptr;
    if (!view)
        return false;
    KvfReader reader(sink);
    if (!text)
        reader.LeaveOutText();
    reader.Resume(from, 0, 0);
    reader.ScanStored(view->data, static_cast<std::size_t>(size - from), from,
                      static_cast<std::size_t>(std::min(to, size) - from));
    return true;
}

void ChartFileData::ReadBack(std::size_t k0, std::size_t k1) const {
    if (m_cache.size() < kCacheSlots)
        m_cache.resize(kCacheSlots);
    auto held = [this](std::size_t k) { return m_cache[k % kCacheSlots].chunk == k; };
    std::size_t k = k0;
    while (k < k1) {
        if (held(k)) {
            ++k;
            continue;
        }
        const ChartChunk& first = m_chunks[k];
        std::size_t e = k + 1;
        while (e < k1 && e - k < kCacheSlots && !held(e) && m_chunks[e].file == first.file &&
               m_chunks[e].begin >= EndOf(m_chunks[e - 1]) && EndOf(m_chunks[e]) - first.begin <= kReadBackBytes)
            ++e;
        std::vector<std::vector<KvfSample>> out(e - k);
        ReadBackSink sink(&m_chunks[k], e - k, out.data());
        Scan(first.file, first.begin, EndOf(m_chunks[e - 1]), &sink, false);
        for (std::size_t j = k; j < e; ++j) {
            const ChartChunk& chunk = m_chunks[j];
            std::vector<KvfSample>& samples = out[j - k];
            // A file changed since (or a summary not of it): its records
            // still count as the chunk says, within its times.
            KvfSample none = {};
            none.seconds = chunk.lastTime - chunk.shift;
            samples.resize(chunk.count, none);
            std::int64_t previous = chunk.firstTime;
            for (KvfSample& s : samples) {
                s.seconds = std::min(chunk.lastTime, std::max(previous, s.seconds + chunk.shift));
                previous = s.seconds;
            }
            Cached& slot = m_cache[j % kCacheSlots];
            slot.chunk = j;
            slot.samples.swap(samples);
        }
        k = e;
    }
}

const std::vector<KvfSample>& ChartFileData::Records(std::size_t k) const {
    if (m_cache.size() < kCacheSlots || m_cache[k % kCacheSlots].chunk != k)
        ReadBack(k, k + 1);
    return m_cache[k % kCacheSlots].samples;
}

std::size_t ChartFileData::ChunkOf(std::size_t sample) const {
    const auto it = std::partition_point(m_chunks.begin(), m_chunks.end(),
                                         [sample](const ChartChunk& c) { return c.start <= sample; });
    return static_cast<std::size_t>(it - m_chunks.begin()) - 1;
}

std::int64_t ChartFileData::Time(std::size_t i) const {
    const std::size_t k = ChunkOf(i);
    const ChartChunk& chunk = m_chunks[k];
    if (i == chunk.start)
        return chunk.firstTime;
    if (i + 1 == chunk.start + std::size_t(chunk.count))
        return chunk.lastTime;
    return Records(k)[i - chunk.start].seconds;
}

KvfSample ChartFileData::Sample(std::size_t i) const {
    const std::size_t k = ChunkOf(i);
    return Records(k)[i - m_chunks[k].start];
}

// ---- what a drawing asks ----

std::int64_t ChartFileData::Interval(std::int64_t fallback) const {
    if (m_nSize < 3)
        return fallback > 0 ? fallback : 1;
    if (m_nIntervalAt == 0 || m_nSize >= 2 * m_nIntervalAt) {
        // Every step of a few hundred chunks spread over the log, and those between them.
        const std::size_t n = m_chunks.size(), stride = std::max<std::size_t>(1, n / 400);
        std::vector<std::int64_t> steps;
        for (std::size_t k = 0; k < n; k += stride) {
            const std::vector<KvfSample>& records = Records(k);
            for (std::size_t j = 1; j < records.size(); ++j)
                steps.push_back(records[j].seconds - records[j - 1].seconds);
            if (k + 1 < n)
                steps.push_back(m_chunks[k + 1].firstTime - m_chunks[k].lastTime);
        }
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        m_nIntervalCache = std::max<std::int64_t>(1, steps[steps.size() / 2]);
        m_nIntervalAt = m_nSize;
    }
    return m_nIntervalCache;
}

std::size_t ChartFileData::LowerBound(double t) const {
    const auto it = std::partition_point(m_chunks.begin(), m_chunks.end(),
                                         [t](const ChartChunk& c) { return static_cast<double>(c.lastTime) < t; });
    if (it == m_chunks.end())
        return m_nSize;
    if (static_cast<double>(it->firstTime) >= t)
        return it->start;
    const std::vector<KvfSample>& records = Records(static_cast<std::size_t>(it - m_chunks.begin()));
    const auto at = std::partition_point(records.begin(), records.end(),
                                         [t](const KvfSample& s) { return static_cast<double>(s.seconds) < t; });
    return it->start + static_cast<std::size_t>(at - records.begin());
}

ChartColumn ChartFileData::Summary(int channel, std::size_t begin, std::size_t end) const {
    ChartColumn column = EmptyColumn();
    end = std::min(end, m_nSize);
    if (begin >= end || !((m_nSeen >> channel) & 1))
        return column;
    for (std::size_t k = ChunkOf(begin); k < m_chunks.size() && m_chunks[k].start < end; ++k) {
        const std::size_t s = m_chunks[k].start, e = s + m_chunks[k].count;
        if (begin <= s && e <= end) {
            Take(column, m_channels[channel][k], s);
            continue;
        }
        const std::vector<KvfSample>& records = Records(k);
        for (std::size_t i = std::max(begin, s); i < std::min(end, e); ++i)
            if ((records[i - s].present >> channel) & 1)
                Take(column, records[i - s].value[channel], i);
    }
    return column;
}

std::vector<ChartColumn> ChartFileData::AllColumns(double t0, double t1, int width) const {
    if (width <= 0 || !(t1 > t0))
        return std::vector<ChartColumn>();
    const std::size_t w = static_cast<std::size_t>(width);
    std::vector<ChartColumn> columns(w * kKvfChannels, EmptyColumn());
    const auto k0 = static_cast<std::size_t>(
        std::partition_point(m_chunks.begin(), m_chunks.end(),
                             [t0](const ChartChunk& c) { return static_cast<double>(c.lastTime) < t0; }) -
        m_chunks.begin());
    const auto k1 = static_cast<std::size_t>(
        std::partition_point(m_chunks.begin(), m_chunks.end(),
                             [t1](const ChartChunk& c) { return static_cast<double>(c.firstTime) < t1; }) -
        m_chunks.begin());
    if (k0 >= k1)
        return columns;
    const double span = (t1 - t0) / width;
    const std::size_t inView = (k1 < m_chunks.size() ? m_chunks[k1].start : m_nSize) - m_chunks[k0].start;
    // Far out a column spans more than a chunk's records: whole chunks.
    const bool whole = static_cast<double>(inView) >= static_cast<double>(w) * kChartChunk;
    if (!whole)
        ReadBack(k0, k1);
    // The column of time t as the columns' edges fall: [edge(x), edge(x + 1)).
    auto edge = [&](std::size_t x) { return x == w ? t1 : t0 + (t1 - t0) * static_cast<double>(x) / width; };
    auto columnOf = [&](double t) {
        std::size_t x = static_cast<std::size_t>(std::min<double>(static_cast<double>(w - 1), (t - t0) / span));
        while (x + 1 < w && t >= edge(x + 1))
            ++x;
        while (x > 0 && t < edge(x))
            --x;
        return x;
    };
    for (std::size_t k = k0; k < k1; ++k) {
        const ChartChunk& chunk = m_chunks[k];
        if (whole && static_cast<double>(chunk.firstTime) >= t0 && static_cast<double>(chunk.lastTime) < t1 &&
            static_cast<double>(chunk.lastTime - chunk.firstTime) <= span) {
            const std::size_t x = columnOf(static_cast<double>(chunk.firstTime));
            for (int c = 0; c < kKvfChannels; ++c)
                if ((m_nSeen >> c) & 1)
                    Take(columns[c * w + x], m_channels[c][k], chunk.start);
            continue;
        }
        const std::vector<KvfSample>& records = Records(k);
        for (std::size_t j = 0; j < records.size(); ++j) {
            const KvfSample& s = records[j];
            const double t = static_cast<double>(s.seconds);
            if (t < t0 || t >= t1)
                continue;
            const std::size_t x = columnOf(t);
            for (int c = 0; c < kKvfChannels; ++c)
                if ((s.present >> c) & 1)
                    Take(columns[c * w + x], s.value[c], chunk.start + j);
        }
    }
    return columns;
}

ChartStats ChartFileData::Stats(int channel, double t0, double t1) const {
    ChartStats st = {0, 0.0, 0.0, 0.0};
    if (t1 < t0)
        std::swap(t0, t1);
    if (!((m_nSeen >> channel) & 1))
        return st;
    // Sums in hundredths are exact; a value that is none (not from a log) is summed as it is.
    std::int64_t hundredths = 0;
    double other = 0.0;
    auto take = [&](double minimum, double maximum) {
        st.minimum = st.count == 0 ? minimum : std::min(st.minimum, minimum);
        st.maximum = st.count == 0 ? maximum : std::max(st.maximum, maximum);
    };
    auto k = static_cast<std::size_t>(
        std::partition_point(m_chunks.begin(), m_chunks.end(),
                             [t0](const ChartChunk& c) { return static_cast<double>(c.lastTime) < t0; }) -
        m_chunks.begin());
    for (; k < m_chunks.size() && static_cast<double>(m_chunks[k].firstTime) <= t1; ++k) {
        const ChartChunk& chunk = m_chunks[k];
        const ChartChunkChannel& e = m_channels[channel][k];
        if (static_cast<double>(chunk.firstTime) >= t0 && static_cast<double>(chunk.lastTime) <= t1 &&
            e.sum != ChartChunkChannel::kNoSum) {
            if (e.count > 0) {
                take(e.minimum, e.maximum);
                st.count += e.count;
                hundredths += e.sum;
            }
            continue;
        }
        for (const KvfSample& s : Records(k)) {
            const double t = static_cast<double>(s.seconds);
            if (t < t0 || t > t1 || !((s.present >> channel) & 1))
                continue;
            const float v = s.value[channel];
            take(v, v);
            ++st.count;
            std::int64_t h;
            if (ChartHundredths(v, &h))
                hundredths += h;
            else
                other += v;
        }
    }
    if (st.count)
        st.mean = (static_cast<double>(hundredths) / 100.0 + other) / static_cast<double>(st.count);
    return st;
}

bool ChartFileData::ForEachRecord(double t0, double t1,
                                  const std::function<void(const KvfRecord&, std::int64_t)>& take) const {
    struct Sink : KvfSink {
        const ChartChunk* chunk = nullptr;
        double t0 = 0, t1 = 0;
        const std::function<void(const KvfRecord&, std::int64_t)>* take = nullptr;
        std::uint32_t taken = 0;
        void OnRecord(const KvfRecord& record) override {
            const std::int64_t time = record.Seconds() + chunk->shift;
            if (taken++ < chunk->count && static_cast<double>(time) >= t0 && static_cast<double>(time) <= t1)
                (*take)(record, time);
        }
        void OnDamage(std::uint64_t, std::uint64_t, const char*) override {}
    } sink;
    sink.t0 = t0;
    sink.t1 = t1;
    sink.take = &take;
    auto k = static_cast<std::size_t>(
        std::partition_point(m_chunks.begin(), m_chunks.end(),
                             [t0](const ChartChunk& c) { return static_cast<double>(c.lastTime) < t0; }) -
        m_chunks.begin());
    bool ok = true;
    for (; k < m_chunks.size() && static_cast<double>(m_chunks[k].firstTime) <= t1; ++k) {
        const ChartChunk& chunk = m_chunks[k];
        sink.chunk = &chunk;
        sink.taken = 0;
        ok = Scan(chunk.file, chunk.begin, EndOf(chunk), &sink, true) && ok;
    }
    return ok;
}

std::size_t ChartFileData::Overlaps(std::uint32_t* pBefore, std::uint32_t* pFile) const {
    std::size_t count = 0;
    for (std::size_t k = 1; k < m_chunks.size(); ++k) {
        const ChartChunk &a = m_chunks[k - 1], &b = m_chunks[k];
        if (a.file == b.file || b.firstTime - b.shift >= a.lastTime - a.shift)
            continue;
        if (count++ == 0) {
            *pBefore = a.file;
            *pFile = b.file;
        }
    }
    return count;
}

std::size_t ChartFileData::ChunkBytes() const {
    std::size_t bytes = m_chunks.capacity() * sizeof(ChartChunk);
    for (const auto& channel : m_channels)
        bytes += channel.capacity() * sizeof(ChartChunkChannel);
    return bytes;
}

std::size_t ChartFileData::CacheBytes() const {
    std::size_t bytes = m_cache.capacity() * sizeof(Cached);
    for (const Cached& slot : m_cache)
        bytes += slot.samples.capacity() * sizeof(KvfSample);
    return bytes;
}
