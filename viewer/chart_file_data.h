// A long log's samples as the chart viewer holds them in constant memory:
// records are summed up in runs (chunks) of up to kChartChunk consecutive
// records of one file, each chunk keeping where its records lie, its first
// and last time and per channel the minimum, maximum, first and last value,
// count and sum (about a byte a record in all). The records themselves
// stay in the files: what a drawing zoomed in, a cursor or the statistics'
// edges need is read back from the mapped files (a cache of chunks read).
//
// A pixel column that spans more than a chunk's records is summed from
// whole chunks, each drawn in the column of its first record (at most a
// pixel from where its last lies); nearer in, the visible records are read
// and each lies in its own column. Statistics are exact: whole chunks by
// their sums, the range's edges from the records.
//
// A chunk's records all have one offset between their axis time and their
// wall clock (KvfRecord::Seconds), so reading them back places them again
// without the timeline that placed them first: a chunk ends where that
// offset changes (a change of the zone's time, a clock set back), where the
// file changes or where damage lies between two records.
#pragma once

#include "viewer/chart_samples.h"
#include "viewer/kvf_parallel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum { kChartChunk = 256 };

// One channel of a chunk: empty when count is 0.
struct ChartChunkChannel {
    float minimum, maximum, first, last;
    std::int32_t sum;  // of the values in hundredths; kNoSum when not known so
    std::uint16_t count;
    std::uint8_t firstAt, lastAt;  // records of the chunk holding first and last
    static const std::int32_t kNoSum = -2147483647 - 1;
};

struct ChartChunk {
    std::int64_t firstTime, lastTime;  // axis times of its first and last record
    std::int64_t shift;                // axis time less wall clock, for each of its records
    std::uint64_t begin;               // file offset of its first record
    std::uint32_t bytes;               // from there to the end of its last record
    std::uint32_t start;               // its first sample
    std::uint16_t file;                // which of the log's files
    std::uint16_t count;               // records
};

class ChartFileData final : public ChartSamples {
public:
    // Opens file number `file` of the log as it is now; null when it cannot be read.
    using Opener = std::function<std::shared_ptr<KvfSource>(std::uint16_t file)>;
    explicit ChartFileData(Opener opener = Opener());
    ChartFileData(const ChartFileData&) = delete;
    ChartFileData& operator=(const ChartFileData&) = delete;

    // Records of file `file` in file order: their samples placed on the
    // time axis (never going back), their wall clocks and where they lie.
    // A sample earlier than the one before counts at that one's time. A
    // chunk names its file in 16 bits: a series beyond 65536 files is read
    // to there (a later file's records are not taken).
    void Extend(const KvfSample* samples, const std::int64_t* wallClocks, const KvfPlace* places, std::size_t n,
                std::uint32_t file);

    // Room for about `records` more, so that a long log's chunks are not
    // copied while they grow (nor left with room for twice as many).
    void Reserve(std::size_t records);

    std::size_t Size() const override { return m_nSize; }
    std::int64_t Time(std::size_t i) const override;
    KvfSample Sample(std::size_t i) const override;
    std::int64_t FirstTime() const override { return m_chunks.empty() ? 0 : m_chunks.front().firstTime; }
    std::int64_t LastTime() const override { return m_chunks.empty() ? 0 : m_chunks.back().lastTime; }
    std::uint16_t ChannelsSeen() const override { return m_nSeen; }
    std::int64_t Interval(std::int64_t fallback) const override;
    std::size_t LowerBound(double t) const override;
    ChartColumn Summary(int channel, std::size_t begin, std::size_t end) const override;
    std::vector<ChartColumn> AllColumns(double t0, double t1, int width) const override;
    ChartStats Stats(int channel, double t0, double t1) const override;

    // Every record whose time lies in [t0, t1], read back from the files
    // with its values' text, in order, with its time on the axis; false when
    // a file could not be read (the records read so far were given).
    bool ForEachRecord(double t0, double t1,
                       const std::function<void(const KvfRecord& record, std::int64_t time)>& take) const;

    // Files of a series whose records begin before the file before them
    // ends (by their wall clocks): the first such pair (file before, file)
    // and how many there are; 0 when none.
    std::size_t Overlaps(std::uint32_t* pBefore, std::uint32_t* pFile) const;

    // The chunks as they stand (for a summary file), and taking them back:
    // false, and nothing taken, when they do not hang together.
    const std::vector<ChartChunk>& Chunks() const { return m_chunks; }
    const std::vector<ChartChunkChannel>* ChunkChannels() const { return m_channels; }  // by channel
    bool Restore(std::vector<ChartChunk> chunks, std::vector<ChartChunkChannel> channels[kKvfChannels]);
    // Whether chunks and channels hang together so (*pOk); the channels seen.
    static std::uint16_t Consistent(const std::vector<ChartChunk>& chunks,
                                    const std::vector<ChartChunkChannel> channels[kKvfChannels], bool* pOk);

    // Memory the chunks take, and the chunks read back held now.
    std::size_t ChunkBytes() const;
    std::size_t CacheBytes() const;

    // Chunks read back and kept at most: more than a window's columns, so
    // that a drawing zoomed in reads each of its chunks once.
    enum { kCacheSlots = 2048 };

private:
    struct Cached {
        std::size_t chunk = ~std::size_t(0);
        std::vector<KvfSample> samples;
    };
    std::size_t ChunkOf(std::size_t sample) const;
    // The chunk's samples, read back (count of them, whatever the file now holds).
    const std::vector<KvfSample>& Records(std::size_t k) const;
    // Reads back the chunks [k0, k1) not yet held, a stretch of one file at a time.
    void ReadBack(std::size_t k0, std::size_t k1) const;
    std::shared_ptr<KvfSource> Source(std::uint16_t file, std::uint64_t end) const;
    // The records of a file that begin in [from, to), from a view of it;
    // text: with their values' text. false when the bytes cannot be had.
    bool Scan(std::uint16_t file, std::uint64_t from, std::uint64_t to, KvfSink* sink, bool text) const;
    void StartChunk(const KvfSample& s, std::int64_t shift, const KvfPlace& place, std::uint16_t file);

    Opener m_opener;
    std::vector<ChartChunk> m_chunks;
    std::vector<ChartChunkChannel> m_channels[kKvfChannels];  // by chunk, for the channels seen
    std::size_t m_nSize;
    std::size_t m_nRoom;  // chunks room is made for
    std::uint16_t m_nSeen;
    mutable std::vector<std::shared_ptr<KvfSource>> m_sources;  // by file, opened when first needed
    mutable std::vector<Cached> m_cache;                        // slot: chunk % kCacheSlots
    mutable std::int64_t m_nIntervalCache;
    mutable std::size_t m_nIntervalAt;
};
