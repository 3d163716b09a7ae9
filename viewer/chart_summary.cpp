#include "viewer/chart_summary.h"

#include <algorithm>
#include <cstring>

namespace {

const char kMagic[8] = {'K', 'V', 'F', 'S', 'U', 'M', '0', '1'};
// Counts beyond these are no summary this program writes.
const std::uint64_t kMaxFiles = 65535, kMaxTimeline = 1u << 26, kMaxChunks = (std::uint64_t(1) << 32) / kChartChunk;

std::uint64_t Fnv(const void* data, std::size_t size, std::uint64_t hash = 1469598103934665603ull) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

// Little-endian numbers, whatever the machine, handed on a megabyte at a
// time with the checksum kept as they go.
class Writer {
public:
    explicit Writer(const std::function<bool(const void*, std::size_t)>& write) : m_write(write), m_bOk(true) {}
    void U(std::uint64_t v, int bytes = 8) {
        for (int i = 0; i < bytes; ++i)
            m_buffer.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        if (m_buffer.size() >= (1u << 20))
            Flush();
    }
    void F(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U(bits, 4);
    }
    void S(const std::string& s) {
        U(s.size(), 4);
        m_buffer += s;
    }
    void Raw(const void* data, std::size_t size) { m_buffer.append(static_cast<const char*>(data), size); }
    // The checksum of all before it, then the last bytes out.
    bool Finish() {
        Flush();
        U(m_nHash);
        Flush();
        return m_bOk;
    }

private:
    void Flush() {
        m_nHash = Fnv(m_buffer.data(), m_buffer.size(), m_nHash);
        m_bOk = m_bOk && (m_buffer.empty() || m_write(m_buffer.data(), m_buffer.size()));
        m_buffer.clear();
    }
    const std::function<bool(const void*, std::size_t)>& m_write;
    std::string m_buffer;
    std::uint64_t m_nHash = 1469598103934665603ull;
    bool m_bOk;
};

class Reader {
public:
    Reader(const unsigned char* bytes, std::size_t size) : m_s(bytes), m_size(size), m_at(0), m_bOk(true) {}
    std::uint64_t U(int bytes = 8) {
        if (m_size - m_at < static_cast<std::size_t>(bytes)) {
            m_bOk = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<std::uint64_t>(m_s[m_at + i]) << (8 * i);
        m_at += bytes;
        return v;
    }
    float F() {
        const std::uint32_t bits = static_cast<std::uint32_t>(U(4));
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    std::string S() {
        const std::size_t n = static_cast<std::size_t>(U(4));
        if (!m_bOk || m_size - m_at < n) {
            m_bOk = false;
            return std::string();
        }
        m_at += n;
        return std::string(reinterpret_cast<const char*>(m_s) + m_at - n, n);
    }
    // Whether n items of at least `bytes` each can still be there.
    bool Room(std::uint64_t n, std::size_t bytes) {
        m_bOk = m_bOk && n <= (m_size - m_at) / bytes;
        return m_bOk;
    }
    void Skip(std::size_t n) { m_at = std::min(m_size, m_at + n); }
    bool Ok() const { return m_bOk; }
    bool AtEnd() const { return m_at == m_size; }

private:
    const unsigned char* m_s;
    std::size_t m_size;
    std::size_t m_at;
    bool m_bOk;
};

}  // namespace

bool WriteChartSummary(const ChartSummary& head, const std::vector<ChartChunk>& chunks,
                       const std::vector<ChartChunkChannel> channels[kKvfChannels],
                       const std::function<bool(const void*, std::size_t)>& write) {
    Writer w(write);
    w.Raw(kMagic, sizeof kMagic);
    w.U(head.zone);
    w.U(head.files.size(), 4);
    for (const ChartSummaryFile& f : head.files) {
        w.S(f.name);
        w.U(f.size);
        w.U(f.length);
        w.U(f.records);
        w.U(f.damaged);
        w.U(f.fingerprint);
    }
    w.U(head.timeline.size(), 4);
    for (std::int64_t v : head.timeline)
        w.U(static_cast<std::uint64_t>(v));
    w.U(chunks.size());
    for (const ChartChunk& c : chunks) {
        w.U(static_cast<std::uint64_t>(c.firstTime));
        w.U(static_cast<std::uint64_t>(c.lastTime));
        w.U(static_cast<std::uint64_t>(c.shift));
        w.U(c.begin);
        w.U(c.bytes, 4);
        w.U(c.start, 4);
        w.U(c.file, 2);
        w.U(c.count, 2);
    }
    std::uint16_t seen = 0;
    for (int c = 0; c < kKvfChannels; ++c)
        if (!channels[c].empty())
            seen = static_cast<std::uint16_t>(seen | (1u << c));
    w.U(seen, 2);
    for (int c = 0; c < kKvfChannels; ++c) {
        for (const ChartChunkChannel& e : channels[c]) {
            w.F(e.minimum);
            w.F(e.maximum);
            w.F(e.first);
            w.F(e.last);
            w.U(static_cast<std::uint32_t>(e.sum), 4);
            w.U(e.count, 2);
            w.U(e.firstAt, 1);
            w.U(e.lastAt, 1);
        }
    }
    return w.Finish();
}

bool ParseChartSummary(const unsigned char* bytes, std::size_t size, ChartSummary* pSummary) {
    if (size < sizeof kMagic + 8 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        return false;
    const std::size_t body = size - 8;
    std::uint64_t sum = 0;
    for (int i = 0; i < 8; ++i)
        sum |= static_cast<std::uint64_t>(bytes[body + i]) << (8 * i);
    if (sum != Fnv(bytes, body))
        return false;
    Reader r(bytes, body);
    r.Skip(sizeof kMagic);
    ChartSummary s;
    s.zone = r.U();
    const std::uint64_t files = r.U(4);
    if (files > kMaxFiles || !r.Room(files, 44))
        return false;
    for (std::uint64_t i = 0; i < files; ++i) {
        ChartSummaryFile f;
        f.name = r.S();
        f.size = r.U();
        f.length = r.U();
        f.records = r.U();
        f.damaged = r.U();
        f.fingerprint = r.U();
        if (f.size > f.length)
            return false;
        s.files.push_back(f);
    }
    const std::uint64_t numbers = r.U(4);
    if (numbers > kMaxTimeline || !r.Room(numbers, 8))
        return false;
    for (std::uint64_t i = 0; i < numbers; ++i)
        s.timeline.push_back(static_cast<std::int64_t>(r.U()));
    const std::uint64_t chunks = r.U();
    if (chunks > kMaxChunks || !r.Room(chunks, 44))
        return false;
    s.chunks.resize(static_cast<std::size_t>(chunks));
    for (ChartChunk& c : s.chunks) {
        c.firstTime = static_cast<std::int64_t>(r.U());
        c.lastTime = static_cast<std::int64_t>(r.U());
        c.shift = static_cast<std::int64_t>(r.U());
        c.begin = r.U();
        c.bytes = static_cast<std::uint32_t>(r.U(4));
        c.start = static_cast<std::uint32_t>(r.U(4));
        c.file = static_cast<std::uint16_t>(r.U(2));
        c.count = static_cast<std::uint16_t>(r.U(2));
        if (c.file >= s.files.size() || c.begin > s.files[c.file].size || c.bytes > s.files[c.file].size - c.begin)
            return false;
    }
    const std::uint64_t seen = r.U(2);
    for (int c = 0; c < kKvfChannels; ++c) {
        if (!((seen >> c) & 1))
            continue;
        if (!r.Room(chunks, 24))
            return false;
        s.channels[c].resize(static_cast<std::size_t>(chunks));
        for (ChartChunkChannel& e : s.channels[c]) {
            e.minimum = r.F();
            e.maximum = r.F();
            e.first = r.F();
            e.last = r.F();
            e.sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(r.U(4)));
            e.count = static_cast<std::uint16_t>(r.U(2));
            e.firstAt = static_cast<std::uint8_t>(r.U(1));
            e.lastAt = static_cast<std::uint8_t>(r.U(1));
        }
    }
    bool consistent = false;
    ChartFileData::Consistent(s.chunks, s.channels, &consistent);
    if (!r.Ok() || !r.AtEnd() || !consistent)
        return false;
    *pSummary = std::move(s);
    return true;
}

std::uint64_t LogFingerprint(KvfSource& source, std::uint64_t size) {
    size = std::min(size, source.Size());
    const std::uint64_t head = std::min<std::uint64_t>(size, 4096), tailFrom = size - std::min<std::uint64_t>(size, 4096);
    std::uint64_t hash = Fnv(&size, sizeof size);
    for (const std::uint64_t from : {std::uint64_t(0), tailFrom}) {
        const std::size_t n = static_cast<std::size_t>(from == 0 ? head : size - tailFrom);
        if (n == 0)
            continue;
        std::unique_ptr<KvfSource::View> view = source.Map(from, n);
        if (!view)
            return 0;
        hash = Fnv(view->data, n, hash);
    }
    return hash;
}

std::uint64_t ZoneFingerprint(const ZoneRules& rules, const std::vector<ChartChunk>& chunks) {
    if (chunks.empty())
        return 0;
    // The years of the records' wall clocks, and one either side; a record's year has four digits.
    auto year = [](std::int64_t local) {
        return CivilYear(std::max<std::int64_t>(-62167219200LL, std::min<std::int64_t>(local, 253402300799LL)));
    };
    const int first = year(chunks.front().firstTime - chunks.front().shift) - 1,
              last = year(chunks.back().lastTime - chunks.back().shift) + 1;
    std::uint64_t hash = Fnv(&first, sizeof first);
    for (int y = first; y <= last; ++y) {
        const ZoneYear z = rules.Year(y);
        const std::int64_t numbers[5] = {z.standard, z.daylight, z.hasDaylight, z.daylightFrom, z.daylightTo};
        hash = Fnv(numbers, sizeof numbers, hash);
    }
    return hash;
}
