// The binary log reader on a generated log of a million records (all nine
// channels, as a full recording writes them): time to read and check it,
// and the memory a chart holding every record needs. Prints figures only.
//   qm487-bench-kvf [FILE] [RECORDS]   (FILE is written, then read)
#include "generated_log.h"
#include "recording/binary_log.h"
#include "viewer/kvf_reader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace {

long PeakRssKb() {
#if defined(_WIN32)
    return -1;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

struct Counting : KvfSink {
    std::uint64_t records = 0, damage = 0;
    std::int64_t checksum = 0;
    std::vector<KvfSample>* keep = nullptr;
    void OnRecord(const KvfRecord& r) override {
        ++records;
        checksum += r.hundredths[1];
        if (keep)
            keep->push_back(MakeSample(r));
    }
    void OnDamage(std::uint64_t, std::uint64_t, const char*) override { ++damage; }
};

// Processor time of the last ReadOnce: the machine's load stretches the
// elapsed time, not this.
double g_lastCpu = 0;

double ReadOnce(const char* path, Counting* sink) {
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return -1;
    KvfReader reader(sink);
    std::vector<char> buffer(1 << 20);
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
        reader.Feed(buffer.data(), n);
    reader.Finish();
    std::fclose(f);
    g_lastCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "qm487-bench.kvf";
    const long records = argc > 2 ? std::atol(argv[2]) : 1000000;

    auto start = std::chrono::steady_clock::now();
    const auto value = [](long i, int c) { return 20.0 + c + (i % 1000) * 0.01; };
    if (!GenerateLog(path, records, 2009, 3, value)) {
        std::fprintf(stderr, "qm487-bench-kvf: cannot write %s\n", path);
        return 2;
    }
    std::FILE* f = std::fopen(path, "rb");
    std::fseek(f, 0, SEEK_END);
    const double megabytes = static_cast<double>(std::ftell(f)) / 1e6;
    std::fclose(f);
    std::printf("generated %s: %ld records, %.1f MB in %.2f s\n", path, records, megabytes,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    std::vector<double> times, cpu;
    Counting sink;
    for (int run = 0; run < 5; ++run) {
        sink = Counting();
        times.push_back(ReadOnce(path, &sink));
        cpu.push_back(g_lastCpu);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("read and check (file in the page cache), median of 5: %.3f s elapsed, %.3f s processor time"
                " (%.0f MB/s, %.2f M records/s of processor time); %llu records, %llu damaged\n",
                times[2], cpu[2], megabytes / cpu[2], static_cast<double>(sink.records) / cpu[2] / 1e6,
                static_cast<unsigned long long>(sink.records), static_cast<unsigned long long>(sink.damage));

    const long rssBefore = PeakRssKb();
    std::vector<KvfSample> samples;
    samples.reserve(static_cast<std::size_t>(records));
    Counting keeping;
    keeping.keep = &samples;
    const double keepTime = ReadOnce(path, &keeping);
    const long rssAfter = PeakRssKb();
    std::printf("read into memory: %.3f s; %zu bytes per record held (%zu records, %.1f MB)",
                keepTime, sizeof(KvfSample), samples.size(),
                static_cast<double>(samples.capacity() * sizeof(KvfSample)) / 1e6);
    if (rssBefore >= 0)
        std::printf("; peak resident set %ld kB before, %ld kB after (%.1f bytes per record)", rssBefore, rssAfter,
                    static_cast<double>(rssAfter - rssBefore) * 1024.0 / static_cast<double>(samples.size()));
    std::printf("\n");
    return 0;
}
