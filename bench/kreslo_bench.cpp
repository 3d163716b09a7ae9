// The chart viewer on a generated log of a million records (nine channels,
// a tick every ten seconds: eleven and a half days). Prints figures only.
//   qm487-bench-kreslo [FILE] [RECORDS] [FILES]   (RECORDS 0: the files exist, are only read)
// FILES > 1: the records spread over that many files, FILE_0001.kvf ... (365:
// a file a day), read as one series.
// Natively and under Wine: reading the file into its chunks as Kreslo does
// (on all processors, and on one), the anonymous memory (the mapped file's
// pages are the page cache's), the file's bytes merely touched for
// comparison, and the column summaries of a 1000-pixel redraw at several
// zooms, the first at each zoom and the next ones. Under Wine also Kreslo's own window:
// the first chart drawn while the file is read, the whole file open and
// drawn, and redraws after zoom and pan (through WM_PAINT, double-buffered).
#include "generated_log.h"
#include "recording/binary_log.h"
#include "viewer/chart_file_data.h"
#include "viewer/chart_summary.h"
#include "viewer/host_zone.h"
#include "viewer/kvf_parallel.h"
#include "viewer/kvf_reader.h"
#include "viewer/kvf_timeline.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <psapi.h>

#include "framework/win_app.h"
#include "viewer/app/chart_document.h"
#include "viewer/app/chart_window.h"
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Processor time of the whole process (all threads), seconds: shows what the
// elapsed figures owe to other load on the machine.
double ProcessorSeconds() {
#if defined(_WIN32)
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto sec = [](const FILETIME& f) {
        return (static_cast<double>(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7;
    };
    return sec(kernel) + sec(user);
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

#if defined(_WIN32)
class FileSource : public CKvfFileSource {
public:
    explicit FileSource(const char* path) : CKvfFileSource(std::wstring(path, path + std::strlen(path))) {}
};
// Private bytes: what the process holds beyond mapped files and code.
long AnonymousKb() {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<long>(pmc.PagefileUsage / 1024);
}
long PeakWorkingSetKb() {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<long>(pmc.PeakWorkingSetSize / 1024);
}
#else
// The file mapped a window at a time, as Kreslo maps it under Windows.
class FileSource : public KvfSource {
public:
    explicit FileSource(const char* path) : m_fd(open(path, O_RDONLY)), m_nSize(0) {
        struct stat st;
        if (m_fd >= 0 && fstat(m_fd, &st) == 0)
            m_nSize = static_cast<std::uint64_t>(st.st_size);
    }
    ~FileSource() override {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    std::uint64_t Size() const override { return m_nSize; }
    std::unique_ptr<View> Map(std::uint64_t offset, std::size_t size) override {
        const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
        const std::uint64_t start = offset - offset % page;
        const std::size_t length = static_cast<std::size_t>(offset - start) + size;
        void* base = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, m_fd, static_cast<off_t>(start));
        if (base == MAP_FAILED)
            return nullptr;
        madvise(base, length, MADV_SEQUENTIAL);
        std::unique_ptr<MappedView> view(new MappedView(base, length));
        view->data = static_cast<const unsigned char*>(base) + (offset - start);
        return view;
    }

private:
    struct MappedView : View {
        MappedView(void* base, std::size_t length) : m_pBase(base), m_nLength(length) {}
        ~MappedView() override { munmap(m_pBase, m_nLength); }
        void* m_pBase;
        std::size_t m_nLength;
    };
    int m_fd;
    std::uint64_t m_nSize;
};
// Resident anonymous pages (heap, stacks): the mapped file's pages are not among them.
long AnonymousKb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = 0;
    char line[256];
    while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr)
        if (std::sscanf(line, "RssAnon: %ld", &kb) == 1)
            break;
    if (f != nullptr)
        std::fclose(f);
    return kb;
}
#endif

// The highest anonymous memory seen where it was looked at (after each piece and redraw).
long g_nPeakAnonymousKb = 0;
long NoteMemory() {
    g_nPeakAnonymousKb = std::max(g_nPeakAnonymousKb, AnonymousKb());
    return g_nPeakAnonymousKb;
}



int Processors() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 8u));
}

// Reads the file as Kreslo opens it: pieces parsed on `threads` threads,
// placed on the time axis with this computer's zone and summed up into
// chunks in order. Prints the figures; false when unreadable.
bool Load(const std::vector<std::string>& paths, int threads, ChartFileData* data) {
    const Clock::time_point start = Clock::now();
    const double cpu = ProcessorSeconds();
    g_nPeakAnonymousKb = 0;
    const long before = NoteMemory();
    double firstPiece = -1, storing = 0;
    const std::unique_ptr<ZoneRules> zone = MakeHostZoneRules();
    KvfTimeline timeline(*zone);
    std::vector<std::int64_t> wall;
    std::vector<std::unique_ptr<FileSource>> files;
    std::vector<KvfSource*> sources;
    std::uint64_t total = 0;
    for (const std::string& path : paths) {
        files.emplace_back(new FileSource(path.c_str()));
        if (!files.back()->IsOpen())
            return false;
        sources.push_back(files.back().get());
        total += files.back()->Size();
    }
    std::vector<KvfParallelResult> each;
    const KvfParallelResult r = ReadKvfFilesInParallel(
        sources, std::vector<std::uint64_t>(paths.size(), 0), threads, 4u << 20,
        [&](KvfPiece& piece) {
            const Clock::time_point stored = Clock::now();
            wall.resize(piece.samples.size());
            for (std::size_t i = 0; i < wall.size(); ++i)
                wall[i] = piece.samples[i].seconds;
            timeline.Place(piece.samples.data(), piece.samples.size());
            data->Extend(piece.samples.data(), wall.data(), piece.places.data(), wall.size(), piece.file);
            storing += Since(stored);
            if (firstPiece < 0 && data->Size() > 0) {
                firstPiece = Since(start);
                // Room for all, as Kreslo makes it from its first piece.
                data->Reserve(static_cast<std::size_t>(static_cast<double>(piece.samples.size()) * total /
                                                       std::max<std::uint64_t>(1, piece.end - piece.begin) * 1.03));
            }
            if (piece.begin % (64u << 20) < (4u << 20))
                NoteMemory();
        },
        nullptr, &each);
    const std::uint64_t records = r.records;
    const bool failed = r.outcome != KvfParallelResult::kRead;
    const double load = Since(start);
    std::printf("read into chunks, %d thread%s, file%s mapped: %.3f s (processor %.3f s; first piece ready after "
                "%.3f s; placing and summing up in order on one thread %.3f s); %llu records%s; chunks %.1f MB "
                "(%.2f bytes per record); anonymous memory: %.1f MB before, peak %.1f MB while reading\n",
                threads, threads == 1 ? "" : "s", paths.size() == 1 ? "" : "s", load, ProcessorSeconds() - cpu,
                firstPiece, storing, static_cast<unsigned long long>(records), failed ? " (FAILED)" : "",
                data->ChunkBytes() / 1048576.0,
                static_cast<double>(data->ChunkBytes()) / std::max<std::size_t>(1, data->Size()), before / 1024.0,
                NoteMemory() / 1024.0);
    return true;
}

// The physical floor: the file's bytes touched once, mapped, on all threads.
void TouchFile(const char* path, int threads) {
    FileSource source(path);
    const std::uint64_t size = source.Size();
    if (size == 0)
        return;
    const Clock::time_point start = Clock::now();
    std::atomic<std::uint64_t> sum{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            const std::uint64_t piece = 4u << 20;
            std::uint64_t local = 0;
            for (std::uint64_t at = static_cast<std::uint64_t>(t) * piece; at < size; at += piece * threads) {
                const std::size_t n = static_cast<std::size_t>(std::min(piece, size - at));
                std::unique_ptr<KvfSource::View> view = source.Map(at, n);
                if (!view)
                    return;
                for (std::size_t i = 0; i < n; i += 64)
                    local += view->data[i];
            }
            sum += local;
        });
    for (std::thread& w : workers)
        w.join();
    const double s = Since(start);
    std::printf("the file's bytes alone, mapped and touched once on %d threads: %.3f s (%.2f GB/s; %llu)\n", threads,
                s, size / s / 1e9, static_cast<unsigned long long>(sum.load() & 1));
}

ChartFileData::Opener Opener(const std::vector<std::string>& paths) {
    return [paths](std::uint16_t file) -> std::shared_ptr<KvfSource> {
        auto source = std::make_shared<FileSource>(paths[file].c_str());
        return source->IsOpen() ? source : nullptr;
    };
}

// The summary written beside the first file.
void WriteSummary(const std::vector<std::string>& paths, const ChartFileData& data) {
    const std::string path = paths[0] + kChartSummarySuffix;
    const Clock::time_point t = Clock::now();
    ChartSummary head;
    for (const std::string& p : paths) {
        FileSource source(p.c_str());
        head.files.push_back(ChartSummaryFile{p, source.Size(), source.Size(), 0, 0, LogFingerprint(source, source.Size())});
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f != nullptr && WriteChartSummary(head, data.Chunks(), data.ChunkChannels(),
                                                           [f](const void* p, std::size_t n) {
                                                               return std::fwrite(p, 1, n, f) == n;
                                                           });
    if (f != nullptr && std::fclose(f) == 0 && written)
        std::printf("summary beside the log: %.1f MB written in %.3f s\n", FileSource(path.c_str()).Size() / 1048576.0,
                    Since(t));
}

// The summary taken back as Kreslo takes it when the log is opened again
// (the log read before let go): the first full chart without the chunks
// computed anew.
void SummaryFigures(const std::vector<std::string>& paths) {
    const std::string path = paths[0] + kChartSummarySuffix;
    g_nPeakAnonymousKb = 0;
    const long before = NoteMemory();
    const Clock::time_point t = Clock::now();
    ChartFileData again(Opener(paths));
    {
        FileSource file(path.c_str());
        std::unique_ptr<KvfSource::View> view = file.Map(0, static_cast<std::size_t>(file.Size()));
        ChartSummary summary;
        if (!view || !ParseChartSummary(view->data, static_cast<std::size_t>(file.Size()), &summary))
            return;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            FileSource source(paths[i].c_str());
            if (LogFingerprint(source, summary.files[i].size) != summary.files[i].fingerprint)
                return;
        }
        again.Restore(std::move(summary.chunks), summary.channels);
    }
    const double taken = Since(t);
    const std::vector<ChartColumn> all = again.AllColumns(static_cast<double>(again.FirstTime()),
                                                          static_cast<double>(again.LastTime()) + 1, 1000);
    std::printf("opened again from the summary: %.3f s to take it back (read, checked against the files, chunks "
                "restored), %.3f s to the first full chart; anonymous memory peak %.1f MB (%.1f MB before)\n",
                taken, Since(t), NoteMemory() / 1024.0, before / 1024.0);
    std::remove(path.c_str());
}

void PortableFigures(const std::vector<std::string>& paths) {
    const int threads = Processors();
    if (threads > 1) {
        // First and let go, so that the peak printed after each load is that load's.
        ChartFileData one(Opener(paths));
        Load(paths, 1, &one);
    }
    ChartFileData data(Opener(paths));
    if (!Load(paths, threads, &data))
        return;
    if (paths.size() == 1)
        TouchFile(paths[0].c_str(), threads);
    const double first = static_cast<double>(data.FirstTime()), last = static_cast<double>(data.LastTime());
    // The last zoom: half a chunk's records a column, the most read back at once.
    const double closest = kChartChunk / 2.0 * 1000 / std::max<std::size_t>(1, data.Size());
    for (double share : {1.0, 0.1, closest, 0.001, 0.00005}) {
        const double span = (last - first) * share;
        const double t0 = first + (last - first - span) / 2;
        const int rounds = 20;
        std::vector<double> ms;
        const double cpuLines = ProcessorSeconds();
        std::size_t points = 0;
        for (int r = 0; r < rounds; ++r) {
            const Clock::time_point t = Clock::now();
            const std::vector<ChartColumn> all = data.AllColumns(t0 + r, t0 + r + span, 1000);
            for (int c = 0; c < kKvfChannels; ++c)
                points += BuildPolyline(data, c, &all[c * 1000], 1000, 0, 0, 400, 15, 35, 10).x.size();
            ms.push_back(Since(t) * 1000);
        }
        std::sort(ms.begin() + 1, ms.end());
        std::printf("  9 channels x 1000 columns, %.5g%% of the file in view: first %.2f ms, then median %.2f ms, "
                    "max %.2f ms a redraw's lines (processor %.2f ms; %zu points); anonymous memory %.1f MB\n",
                    share * 100, ms[0], ms[rounds / 2], ms.back(), (ProcessorSeconds() - cpuLines) * 1000 / rounds,
                    points / rounds, AnonymousKb() / 1024.0);
    }
    std::printf("chunks read back and held: %.1f MB; peak anonymous memory %.1f MB\n", data.CacheBytes() / 1048576.0,
                NoteMemory() / 1024.0);
    WriteSummary(paths, data);
}

#if defined(_WIN32)
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Opened twice: the first time it is read whole (and a summary is left
// beside it), the second time the summary stands for it.
void WindowFigures(const std::vector<std::string>& paths, bool again) {
    KresloSettings settings = {};
    for (int c = 0; c < 9; ++c)
        settings.crChannel[c] = RGB(30 * c, 100, 200 - 20 * c);
    settings.nInterval = 10;
    CChartWindow window(settings);
    if (!window.Create())
        return;
    ShowWindow(window, SW_SHOW);
    Pump();
    std::vector<std::wstring> wpaths;
    for (const std::string& path : paths) {
        char full[MAX_PATH];
        GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
        wpaths.emplace_back(full, full + std::strlen(full));
    }
    const Clock::time_point start = Clock::now();
    const double cpu = ProcessorSeconds();
    window.OpenFiles(wpaths);
    // Bounded: a minute at most.
    double firstChart = -1;
    while ((window.IsLoading() || !window.Document()) && Since(start) < 60) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
        if (firstChart < 0 && window.Document() && window.Document()->Data().Size() > 0) {
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            GdiFlush();
            firstChart = Since(start);
        }
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    std::printf("Kreslo window%s: first chart (of what is read so far) drawn after %.3f s; the whole file open and "
                "drawn in %.3f s (processor %.3f s; %llu records); peak working set %.1f MB (the file's pages "
                "counted), private memory %.1f MB\n",
                again ? ", opened again (its summary beside it)" : "", firstChart, Since(start), ProcessorSeconds() - cpu,
                window.Document() ? static_cast<unsigned long long>(window.Document()->Records()) : 0ull,
                PeakWorkingSetKb() / 1024.0, AnonymousKb() / 1024.0);
    if (again) {
        window.DestroyWindow();
        return;
    }
    std::vector<double> times;
    double cpuRedraw = ProcessorSeconds();
    for (int i = 0; i < 60; ++i) {
        ChartView& v = window.View();
        if (i % 3 == 0)
            v.ZoomTime((v.t0 + v.t1) / 2, i < 30 ? 0.7 : 1.4);
        else
            v.Pan((v.t1 - v.t0) * (i % 2 ? 0.1 : -0.07));
        const Clock::time_point t = Clock::now();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        GdiFlush();
        times.push_back(Since(t) * 1000);
    }
    std::sort(times.begin(), times.end());
    cpuRedraw = ProcessorSeconds() - cpuRedraw;
    std::printf("redraw after zoom or pan (60, window 960 x 600): median %.2f ms, 90%% %.2f ms, max %.2f ms; "
                "processor %.2f ms a redraw\n",
                times[times.size() / 2], times[times.size() * 9 / 10], times.back(), cpuRedraw * 1000 / 60);
    // The mouse moving over the plot: only the cursor line and the readout
    // change, the chart itself is kept.
    RECT client;
    GetClientRect(window, &client);
    times.clear();
    double cpuHover = ProcessorSeconds();
    for (int i = 0; i < 60; ++i) {
        const LPARAM at = MAKELPARAM(80 + (i * 37) % (client.right - 400), client.bottom / 2);
        SendMessageW(window, WM_MOUSEMOVE, 0, at);
        const Clock::time_point t = Clock::now();
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW);
        GdiFlush();
        times.push_back(Since(t) * 1000);
    }
    std::sort(times.begin(), times.end());
    cpuHover = ProcessorSeconds() - cpuHover;
    std::printf("redraw after the mouse moved (60): median %.2f ms, 90%% %.2f ms, max %.2f ms; "
                "processor %.2f ms a redraw\n",
                times[times.size() / 2], times[times.size() * 9 / 10], times.back(), cpuHover * 1000 / 60);
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    // The same drawing into a memory bitmap: what the drawing itself costs,
    // without the window's paint cycle and the copy to the screen.
    RECT rc;
    GetClientRect(window, &rc);
    rc.bottom -= 22;
    HDC hScreen = GetDC(window);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, rc.right, rc.bottom);
    ReleaseDC(window, hScreen);
    HGDIOBJ hOld = SelectObject(hMem, hBitmap);
    times.clear();
    double cpuMem = ProcessorSeconds();
    for (int i = 0; i < 60; ++i) {
        ChartView& v = window.View();
        v.Pan((v.t1 - v.t0) * (i % 2 ? 0.1 : -0.07));
        const Clock::time_point t = Clock::now();
        window.Paint(hMem, rc);
        GdiFlush();
        times.push_back(Since(t) * 1000);
    }
    SelectObject(hMem, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMem);
    std::sort(times.begin(), times.end());
    cpuMem = ProcessorSeconds() - cpuMem;
    std::printf("the same drawing into a memory bitmap: median %.2f ms, 90%% %.2f ms, max %.2f ms; "
                "processor %.2f ms a drawing\n",
                times[times.size() / 2], times[times.size() * 9 / 10], times.back(), cpuMem * 1000 / 60);
    window.DestroyWindow();
}

class CBenchApp : public CWinApp {};
CBenchApp theApp;
#endif

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "kreslo-bench.kvf";
    const long records = argc > 2 ? std::atol(argv[2]) : 1000000;
    const long files = argc > 3 ? std::max(1L, std::atol(argv[3])) : 1;
    std::vector<std::string> paths;
    for (long k = 0; k < files; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "_%04ld.kvf", k + 1);
        paths.push_back(files == 1 ? std::string(path) : std::string(path) + name);
    }
    const Clock::time_point start = Clock::now();
    if (records > 0) {
        const auto value = [](long i, int c) { return 20.0 + c + ((i * (c + 3)) % 997) * 0.01; };
        for (long k = 0; k < files; ++k) {
            const long first = records / files * k, count = k + 1 == files ? records - first : records / files;
            if (!GenerateLog(paths[k].c_str(), count, 2026, 1, value, first)) {
                std::fprintf(stderr, "qm487-bench-kreslo: cannot write %s\n", paths[k].c_str());
                return 2;
            }
        }
        std::printf("generated %s%s: %ld records in %.2f s\n", path, files == 1 ? "" : "_*.kvf", records, Since(start));
    }
#if defined(_WIN32)
    // First: the process's peak working set is then the window's.
    WindowFigures(paths, false);
    WindowFigures(paths, true);
    std::remove((paths[0] + kChartSummarySuffix).c_str());
#endif
    PortableFigures(paths);
    SummaryFigures(paths);
    return 0;
}
