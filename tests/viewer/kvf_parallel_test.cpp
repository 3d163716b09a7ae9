// A log read in pieces on several threads gives what one reader fed the
// whole file gives: the same records, damage counted the same, the same
// place to go on from; foreign files are told; a clock set back is sorted
// once, in bounded work; a log kept in its files answers as one held in
// memory.
#include "chart_column_check.h"
#include "kvf_test_data.h"
#include "viewer/chart_data.h"
#include "viewer/chart_file_data.h"
#include "viewer/chart_summary.h"
#include "viewer/kvf_parallel.h"

#include <gtest/gtest.h>

#include <random>

using namespace kvftest;

namespace {

class StringSource : public KvfSource {
public:
    explicit StringSource(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    std::unique_ptr<View> Map(std::uint64_t offset, std::size_t size) override {
        if (offset + size > m_bytes.size())
            return nullptr;
        std::unique_ptr<View> view(new View);
        view->data = reinterpret_cast<const unsigned char*>(m_bytes.data()) + offset;
        return view;
    }

private:
    std::string m_bytes;
};

struct Serial {
    std::vector<KvfSample> samples;
    std::uint64_t records = 0, damaged = 0, end = 0;
    bool foreign = false;
};

Serial ReadSerially(const std::string& log) {
    Collected sink;
    KvfReader reader(&sink);
    reader.Feed(log.data(), log.size());
    reader.Finish();
    Serial s;
    for (const KvfRecord& r : sink.records)
        s.samples.push_back(MakeSample(r));
    s.records = reader.RecordCount();
    s.damaged = reader.DamageCount();
    s.end = reader.BytesFed() - reader.PendingBytes();
    s.foreign = reader.IsForeign();
    return s;
}

struct Parallel {
    std::vector<KvfSample> samples;
    KvfParallelResult result;
};

Parallel ReadInPieces(const std::string& log, int threads, std::size_t pieceBytes) {
    StringSource source(log);
    Parallel p;
    std::uint64_t reached = 0;
    p.result = ReadKvfInParallel(source, threads, pieceBytes, [&](KvfPiece& piece) {
        EXPECT_EQ(piece.begin, reached);  // pieces come in file order, without gaps
        reached = piece.end;
        p.samples.insert(p.samples.end(), piece.samples.begin(), piece.samples.end());
    });
    return p;
}

void ExpectSameSamples(const std::vector<KvfSample>& a, const std::vector<KvfSample>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].seconds, b[i].seconds) << i;
        ASSERT_EQ(a[i].present, b[i].present) << i;
        for (int c = 0; c < kKvfChannels; ++c)
            ASSERT_EQ(a[i].value[c], b[i].value[c]) << i;
    }
}

}  // namespace

TEST(KvfParallel, PiecesOnThreadsReadAsOneReaderDoes) {
    std::mt19937 rng(487);
    std::string log = Log(3000);
    // Damage of every kind: flipped bytes, cut records, garbage runs longer
    // than a piece's search for a record start; and a last record not complete.
    for (int k = 0; k < 40; ++k)
        log[rng() % log.size()] ^= static_cast<char>(1 + rng() % 255);
    log.erase(log.size() / 3, 37);
    log.insert(log.size() / 2, std::string(5000, '\x33'));
    log += Tick(5000).substr(0, 20);
    const Serial serial = ReadSerially(log);
    ASSERT_GT(serial.damaged, 10u);
    for (int threads : {1, 2, 3}) {
        for (std::size_t piece : {1024u, 1500u, 4096u, 1u << 20}) {
            const Parallel p = ReadInPieces(log, threads, piece);
            SCOPED_TRACE(testing::Message() << threads << " threads, pieces of " << piece);
            ASSERT_EQ(p.result.outcome, KvfParallelResult::kRead);
            EXPECT_EQ(p.result.records, serial.records);
            EXPECT_EQ(p.result.damaged, serial.damaged);
            EXPECT_EQ(p.result.end, serial.end);
            ExpectSameSamples(p.samples, serial.samples);
        }
    }
}

// Several files are one stream of pieces: each file read as one reader
// reads it, its pieces marked with it, an empty file among them.
TEST(KvfParallel, FilesReadOneAfterAnotherAsEachReaderReadsThem) {
    std::string damaged = Log(300);
    damaged.insert(2000, std::string(3000, '\x41'));
    const std::vector<std::string> logs = {Log(500), "", damaged, Log(40) + Tick(41).substr(0, 30)};
    std::vector<std::unique_ptr<StringSource>> owned;
    std::vector<KvfSource*> sources;
    std::vector<KvfSample> expected;
    for (const std::string& log : logs) {
        owned.emplace_back(new StringSource(log));
        sources.push_back(owned.back().get());
        const Serial serial = ReadSerially(log);
        expected.insert(expected.end(), serial.samples.begin(), serial.samples.end());
    }
    std::vector<KvfSample> got;
    std::vector<KvfParallelResult> files;
    std::uint32_t lastFile = 0;
    const KvfParallelResult r = ReadKvfFilesInParallel(sources, std::vector<std::uint64_t>(4, 0), 2, 1024,
                                                       [&](KvfPiece& piece) {
                                                           EXPECT_GE(piece.file, lastFile);
                                                           lastFile = piece.file;
                                                           got.insert(got.end(), piece.samples.begin(),
                                                                      piece.samples.end());
                                                       },
                                                       nullptr, &files);
    ASSERT_EQ(r.outcome, KvfParallelResult::kRead);
    ASSERT_EQ(files.size(), 4u);
    for (std::size_t f = 0; f < 4; ++f) {
        const Serial serial = ReadSerially(logs[f]);
        EXPECT_EQ(files[f].records, serial.records) << f;
        EXPECT_EQ(files[f].damaged, serial.damaged) << f;
        EXPECT_EQ(files[f].end, serial.end) << f;
    }
    EXPECT_EQ(lastFile, 3u);
    ExpectSameSamples(got, expected);
}

TEST(KvfParallel, ForeignFilesAndEmptyOnesAsOneReaderTellsThem) {
    std::string text(20000, 'x');
    EXPECT_EQ(ReadInPieces(text, 2, 1024).result.outcome, KvfParallelResult::kForeign);
    EXPECT_TRUE(ReadSerially(text).foreign);
    // A sound record after the first 4 KB does not make it a log.
    EXPECT_EQ(ReadInPieces(text + Log(50), 2, 1024).result.outcome, KvfParallelResult::kForeign);
    // One within them does, and everything after it is read.
    const std::string late = std::string(3000, 'x') + Log(50);
    const Parallel p = ReadInPieces(late, 2, 1024);
    ASSERT_EQ(p.result.outcome, KvfParallelResult::kRead);
    EXPECT_EQ(p.result.records, 50u);
    EXPECT_EQ(p.result.damaged, 1u);
    const Parallel none = ReadInPieces("", 2, 1024);
    EXPECT_EQ(none.result.outcome, KvfParallelResult::kRead);
    EXPECT_EQ(none.result.records, 0u);
}

TEST(KvfParallel, AbortStopsReading) {
    const std::string log = Log(2000);
    StringSource source(log);
    std::atomic<bool> abort{false};
    int pieces = 0;
    const KvfParallelResult r = ReadKvfInParallel(source, 2, 1024, [&](KvfPiece&) {
        if (++pieces == 3)
            abort = true;
    }, &abort);
    EXPECT_EQ(r.outcome, KvfParallelResult::kAborted);
    EXPECT_LE(pieces, 4);
}

// A crafted log whose times only go down: read as the viewer reads it, in
// pieces, each sample is summed into the pyramid a bounded number of times
// (a sort per record, or a pyramid rebuilt per piece, would not be).
TEST(KvfParallel, DescendingTimesAreSortedOnceInBoundedWork) {
    const int n = 200000;
    std::string log;
    log.reserve(static_cast<std::size_t>(n) * 40);
    for (int i = 0; i < n; ++i) {
        const int t = i + 1;  // seconds before 2009-03-31 00:00:00: the times go down
        const RecordTime time = {2009, 3, 30 - t / 86400, 23 - t / 3600 % 24, 59 - t / 60 % 60, 59 - t % 60};
        ChannelSamples samples;
        for (int c = 0; c < 9; ++c)
            samples[c] = {0.0, TRUE, TRUE, FALSE};
        samples[1] = {static_cast<double>(i % 100), FALSE, FALSE, TRUE};
        log += FormatBinaryRecord(time, samples, 1);
    }
    StringSource source(log);
    ChartData data;
    const KvfParallelResult r = ReadKvfInParallel(source, 2, 64 * 1024, [&](KvfPiece& piece) {
        data.Extend(piece.samples.data(), piece.samples.size());
    });
    ASSERT_EQ(r.outcome, KvfParallelResult::kRead);
    EXPECT_LT(data.Size(), static_cast<std::size_t>(n));  // the rest waits for the sort...
    data.Settle();
    ASSERT_EQ(data.Size(), static_cast<std::size_t>(n));
    // Sorted early while little was read (each time at twice the size of
    // the time before), then once for all: a few times each, not once a piece.
    EXPECT_LE(data.SamplesSummed(), 4u * n);
    for (std::size_t i = 1; i < data.Size(); ++i)
        ASSERT_LT(data.Time(i - 1), data.Time(i));
    // ...and the last record written, the earliest time, comes first.
    EXPECT_EQ(data.Value(0, 1), static_cast<float>((n - 1) % 100));
}

// Damage, a gap and a change of the zone's time cut the runs of records
// the file-kept log sums up; every answer read back from the file is the
// one of the samples in memory (far out, a column is whole runs: the
// extremes in view stay the same).
TEST(KvfParallel, ALogKeptInItsFileAnswersAsOneHeldInMemory) {
    std::mt19937 rng(7);
    std::string log;
    for (int i = 0; i < 3000; ++i)
        if (i < 1000 || i >= 1100)
            log += Tick(i);
    for (int k = 0; k < 10; ++k)
        log[rng() % log.size()] ^= 0x55;
    auto source = std::make_shared<StringSource>(log);
    ChartData memory;
    ChartFileData files([source](std::uint16_t) { return source; });
    std::size_t placed = 0;
    ReadKvfInParallel(*source, 2, 4096, [&](KvfPiece& piece) {
        std::vector<std::int64_t> wall(piece.samples.size());
        for (std::size_t i = 0; i < wall.size(); ++i, ++placed) {
            wall[i] = piece.samples[i].seconds;
            if (placed >= 2000)
                piece.samples[i].seconds += 7200;
        }
        memory.Extend(piece.samples.data(), piece.samples.size());
        files.Extend(piece.samples.data(), wall.data(), piece.places.data(), wall.size(), 0);
    });
    memory.Settle();
    const std::size_t n = memory.Size();
    const KvfSample end = files.Sample(n - 1);
    const KvfPlace place = {0, 40};  // a record of a 65537th file: no chunk could say where it lies
    files.Extend(&end, &end.seconds, &place, 1, 0x10000);
    ASSERT_EQ(files.Size(), n);
    ASSERT_GT(files.Chunks().size(), 14u);
    EXPECT_EQ(files.ChannelsSeen(), memory.ChannelsSeen());
    EXPECT_EQ(files.Interval(1), memory.Interval(1));
    ExpectSameSamples(std::vector<KvfSample>{files.Sample(0), files.Sample(n / 2), files.Sample(n - 1)},
                      std::vector<KvfSample>{memory.Sample(0), memory.Sample(n / 2), memory.Sample(n - 1)});
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(files.Time(i), memory.Time(i)) << i;
    const double first = static_cast<double>(memory.FirstTime()), last = static_cast<double>(memory.LastTime());
    for (double t = first - 5; t <= last + 5; t += 7.3)
        ASSERT_EQ(files.LowerBound(t), memory.LowerBound(t)) << t;
    for (int k = 0; k < 100; ++k) {
        const std::size_t b = rng() % n, e = b + rng() % 2000;
        for (int c = 0; c < kKvfChannels; ++c)
            ExpectSameColumn(files.Summary(c, b, e), memory.Summary(c, b, e));
        const double t0 = first + rng() % 40000, t1 = t0 + rng() % 20000;
        const ChartStats a = files.Stats(2, t0, t1), m = memory.Stats(2, t0, t1);
        ASSERT_EQ(a.count, m.count);
        EXPECT_EQ(a.minimum, m.minimum);
        EXPECT_EQ(a.maximum, m.maximum);
        EXPECT_NEAR(a.mean, m.mean, 1e-6);
    }
    for (int width : {300, 5}) {
        const std::vector<ChartColumn> a = files.AllColumns(first - 100, last + 100, width),
                                       m = memory.AllColumns(first - 100, last + 100, width);
        ASSERT_EQ(a.size(), m.size());
        for (int c = 0; c < kKvfChannels && width == 300; ++c)
            for (int x = 0; x < width; ++x)
                ExpectSameColumn(a[c * width + x], m[c * width + x]);
        float lowA = 1e9f, lowM = 1e9f, highA = -1e9f, highM = -1e9f;
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (!a[k].Empty())
                lowA = std::min(lowA, a[k].minimum), highA = std::max(highA, a[k].maximum);
            if (!m[k].Empty())
                lowM = std::min(lowM, m[k].minimum), highM = std::max(highM, m[k].maximum);
        }
        EXPECT_EQ(lowA, lowM);
        EXPECT_EQ(highA, highM);
    }

    // Its summary reads back as written; one whose checksum is right but
    // whose chunks do not hang together or lie beyond their file is refused.
    ChartSummary head;
    head.files.push_back(ChartSummaryFile{"pomiar.kvf", log.size(), log.size(), n, 10, 0});
    auto write = [&](const std::vector<ChartChunk>& chunks, const std::vector<ChartChunkChannel>* channels) {
        std::string bytes;
        WriteChartSummary(head, chunks, channels, [&bytes](const void* p, std::size_t size) {
            bytes.append(static_cast<const char*>(p), size);
            return true;
        });
        return bytes;
    };
    auto parse = [](const std::string& bytes, ChartSummary* s) {
        return ParseChartSummary(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), s);
    };
    ChartSummary back;
    const std::string bytes = write(files.Chunks(), files.ChunkChannels());
    ASSERT_TRUE(parse(bytes, &back));
    ChartFileData again([source](std::uint16_t) { return source; });
    ASSERT_TRUE(again.Restore(std::move(back.chunks), back.channels));
    for (std::size_t i = 0; i < n; i += 97)
        ASSERT_EQ(again.Time(i), files.Time(i));
    EXPECT_FALSE(parse(bytes.substr(0, bytes.size() - 1), &back));
    for (int k = 0; k < 8; ++k) {
        std::vector<ChartChunk> chunks = files.Chunks();
        std::vector<ChartChunkChannel> channels[kKvfChannels];
        for (int c = 0; c < kKvfChannels; ++c)
            channels[c] = files.ChunkChannels()[c];
        const int last = static_cast<int>(chunks.size()) - 1;
        switch (k) {
        case 0: chunks[last].bytes = 100000; break;              // beyond the file
        case 1: chunks[3].count = 0; break;                      // no records
        case 2: chunks[3].firstTime = chunks[2].lastTime - 1; break;  // back in time
        case 3: channels[1][3].first = channels[1][3].maximum + 1; break;
        case 4: chunks[last].lastTime = 100000000000000000; break;  // no record's year
        case 5: chunks[last].shift = chunks[last].lastTime = chunks[last].firstTime = 1LL << 60; break;  // far off
        case 6: chunks[3].bytes = static_cast<std::uint32_t>(log.size() - chunks[3].begin); break;  // read: the rest
        case 7: chunks[3].begin = chunks[2].begin; break;  // over the one before
        }
        EXPECT_FALSE(parse(write(chunks, channels), &back)) << k;
    }
}
