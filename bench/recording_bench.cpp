// Figures of the recording writers alone: the cost of one recording tick
// (a report row with all nine channels and a binary record, each appended
// with one write and flushed to its own file) and the process's memory
// while 100,000 ticks are written. Natively the files go through POSIX
// calls; the Windows build uses the program's own file object (run under
// Wine by scripts/measure-recording.sh). Prints figures; judges nothing.
//   qm487-bench-recording [DIR (the temp folder)] [TICKS (100000)] [TIMED TICKS (2000)]
#include "recording/binary_log.h"
#include "common/record_sink.h"
#include "recording/report_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include "framework/record_file.h"

#include <windows.h>
#include <psapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#endif

namespace {

#ifdef _WIN32
class BenchFile {
public:
    explicit BenchFile(const std::string& path) {
        BOOL existed = FALSE;
        m_file = CRecordFile::Open(path, &existed, nullptr);
        if (m_file)
            m_file->Empty();
    }
    bool IsOpen() const { return m_file != nullptr; }
    bool Append(const std::string& context, const std::string& bytes) { return m_file->Append(context, bytes); }

private:
    std::unique_ptr<CRecordFile> m_file;
};

// Three figures in MB, named by kMemoryColumns.
struct Memory {
    double a, b, c;
};
Memory ReadMemory() {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    return {pmc.WorkingSetSize / 1048576.0, pmc.PagefileUsage / 1048576.0, pmc.PeakWorkingSetSize / 1048576.0};
}
const char kMemoryColumns[] = "working set MB, committed MB, peak working set MB";
std::string TempDir() {
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}
const char kSlash[] = "\\";
#else
// The same sink over a POSIX file: write, fsync, ftruncate.
class PosixIo : public CRecordFileIo {
public:
    explicit PosixIo(const std::string& path) : m_path(path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    }
    ~PosixIo() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const std::string& bytes) override {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    bool Flush() override { return ::fsync(m_fd) == 0; }
    bool SetEnd(std::uint64_t size) override {
        return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0 &&
               ::lseek(m_fd, static_cast<off_t>(size), SEEK_SET) == static_cast<off_t>(size);
    }
    bool Reopen(std::uint64_t* size) override {
        struct stat st;
        if (::fstat(m_fd, &st) != 0)
            return false;
        *size = static_cast<std::uint64_t>(st.st_size);
        return ::lseek(m_fd, 0, SEEK_END) >= 0;
    }

private:
    std::string m_path;
    int m_fd;
};

class BenchFile {
public:
    explicit BenchFile(const std::string& path) : m_io(path), m_sink(m_io, 0) {}
    bool IsOpen() const { return m_io.IsOpen(); }
    bool Append(const std::string& context, const std::string& bytes) { return m_sink.Append(context, bytes); }

private:
    PosixIo m_io;
    CRecordSink m_sink;
};

struct Memory {
    double a, b, c;
};
double StatusMb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string word;
    while (in >> word)
        if (word == key) {
            double kb = 0;
            in >> kb;
            return kb / 1024.0;
        }
    return 0;
}
Memory ReadMemory() { return {StatusMb("VmRSS:"), StatusMb("VmHWM:"), StatusMb("VmData:")}; }
const char kMemoryColumns[] = "RSS MB, peak RSS MB, data segment MB";
std::string TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp ? tmp : "/tmp";
}
const char kSlash[] = "/";
#endif

// A tick's readings: all nine channels, values that move a little.
void Samples(ChannelSamples samples, int tick) {
    for (int c = 0; c < 9; ++c)
        samples[c] = {20.0 + c + (tick % 100) * 0.01, FALSE, FALSE, (tick & 1) != 0};
}

RecordTime Time(int tick) {
    const int s = tick % 86400;
    return {2024, 5, 1 + tick / 86400 % 28, s / 3600, s / 60 % 60, s % 60};
}

struct Writers {
    BenchFile report;
    BenchFile binary;
    BOOL record[9] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    int headerMask = kHeaderMaskNone;
    bool ok = true;

    Writers(const std::string& dir) : report(dir + kSlash + "bench-report.csv"), binary(dir + kSlash + "bench.kvf") {}

    void Tick(int tick) {
        ChannelSamples samples;
        Samples(samples, tick);
        const std::string header = FormatReportHeader(record, 1, headerMask);
        ok &= report.Append(header, FormatReportRow(Time(tick), samples, record, 1));
        Samples(samples, tick);
        ok &= binary.Append(std::string(), FormatBinaryRecord(Time(tick), samples, 4660));
    }
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : TempDir();
    const int ticks = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int timed = argc > 3 ? std::atoi(argv[3]) : 2000;
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    Writers writers(dir);
    if (!writers.report.IsOpen() || !writers.binary.IsOpen()) {
        std::printf("cannot create the bench files in %s\n", dir.c_str());
        return 2;
    }
    std::printf("recording writers: files in %s, 9 channels, comma separator\n", dir.c_str());

    using Clock = std::chrono::steady_clock;
    {
        // The bytes alone, without the files: what a tick costs the CPU.
        const int n = 100000;
        BOOL record[9] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
        int mask = kHeaderMaskNone;
        std::size_t bytes = 0;
        const Clock::time_point t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            ChannelSamples samples;
            Samples(samples, i);
            bytes += FormatReportHeader(record, 1, mask).size() + FormatReportRow(Time(i), samples, record, 1).size();
            bytes += FormatBinaryRecord(Time(i), samples, 4660).size();
        }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / n;
        std::printf("building one row and one record (no file): %.2f us (%zu bytes a tick)\n", us, bytes / n);
    }
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(timed));
    for (int i = 0; i < timed; ++i) {
        const Clock::time_point t0 = Clock::now();
        writers.Tick(i);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    double sum = 0;
    for (double m : micros)
        sum += m;
    std::printf("one tick (row + record, each written and flushed), %d ticks: mean %.1f us, median %.1f us, "
                "p99 %.1f us, max %.1f us\n",
                timed, sum / timed, Percentile(micros, 0.5), Percentile(micros, 0.99), Percentile(micros, 1.0));

    std::printf("memory while writing %d more ticks (%s):\n", ticks, kMemoryColumns);
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i <= ticks; ++i) {
        if (i % (ticks / 10 > 0 ? ticks / 10 : 1) == 0) {
            const Memory m = ReadMemory();
            std::printf("  %7d ticks: %.1f, %.1f, %.1f\n", i, m.a, m.b, m.c);
        }
        if (i < ticks)
            writers.Tick(timed + i);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("%d ticks in %.1f s (%.1f us a tick)%s\n", ticks, seconds, ticks > 0 ? seconds * 1e6 / ticks : 0.0,
                writers.ok ? "" : "; some writes FAILED");
    return writers.ok ? 0 : 1;
}
