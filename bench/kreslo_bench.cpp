// The chart viewer on a generated log of a million records (nine channels,
// a tick every ten seconds: eleven and a half days). Prints figures only.
//   qm487-bench-kreslo [FILE] [RECORDS]   (RECORDS 0: FILE exists, is only read)
// Natively and under Wine: reading the file into samples and pyramid, and
// the column summaries of a 1000-pixel redraw at several zooms. Under Wine
// also Kreslo's own window: open and first drawn, and redraws after zoom
// and pan (painted through the window's WM_PAINT, double-buffered).
#include "generated_log.h"
#include "recording/binary_log.h"
#include "viewer/chart_data.h"
#include "viewer/kvf_reader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include "framework/win_app.h"
#include "viewer/app/kreslo_window.h"
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

struct Loader : KvfSink {
    std::vector<KvfSample> pending;
    void OnRecord(const KvfRecord& r) override { pending.push_back(MakeSample(r)); }
    void OnDamage(std::uint64_t, std::uint64_t, const char*) override {}
};

void PortableFigures(const char* path) {
    const Clock::time_point start = Clock::now();
    const double cpu = ProcessorSeconds();
    ChartData data;
    Loader sink;
    KvfReader reader(&sink);
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return;
    std::vector<char> buffer(1 << 22);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) {
        reader.Feed(buffer.data(), n);
        data.Append(sink.pending.data(), sink.pending.size());
        sink.pending.clear();
    }
    std::fclose(f);
    reader.Finish();
    const double load = Since(start);
    std::printf("read into samples and pyramid: %.3f s (processor %.3f s); %zu records; pyramid %.1f MB (%.1f bytes per record) "
                "besides the samples' %zu bytes each\n",
                load, ProcessorSeconds() - cpu, data.Size(), data.PyramidBytes() / 1048576.0,
                static_cast<double>(data.PyramidBytes()) / std::max<std::size_t>(1, data.Size()), sizeof(KvfSample));
    const double first = static_cast<double>(data.FirstTime()), last = static_cast<double>(data.LastTime());
    for (double share : {1.0, 0.1, 0.001, 0.00005}) {
        const double span = (last - first) * share;
        const double t0 = first + (last - first - span) / 2;
        const int rounds = 20;
        const Clock::time_point t = Clock::now();
        const double cpuLines = ProcessorSeconds();
        std::size_t points = 0;
        for (int r = 0; r < rounds; ++r)
        {
            const std::vector<ChartColumn> all = data.AllColumns(t0 + r, t0 + r + span, 1000);
            for (int c = 0; c < kKvfChannels; ++c)
                points += BuildPolyline(data, c, &all[c * 1000], 1000, 0, 0, 400, 15, 35, 10).x.size();
        }
        std::printf("  9 channels x 1000 columns, %.5g%% of the file in view: %.2f ms a redraw's lines "
                    "(processor %.2f ms; %zu points)\n",
                    share * 100, Since(t) * 1000 / rounds, (ProcessorSeconds() - cpuLines) * 1000 / rounds,
                    points / rounds);
    }
}

#if defined(_WIN32)
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void WindowFigures(const char* path) {
    KresloSettings settings = {};
    for (int c = 0; c < 9; ++c)
        settings.crChannel[c] = RGB(30 * c, 100, 200 - 20 * c);
    settings.nInterval = 10;
    CChartWindow window(settings);
    if (!window.Create())
        return;
    ShowWindow(window, SW_SHOW);
    Pump();
    char full[MAX_PATH];
    GetFullPathNameA(path, MAX_PATH, full, nullptr);
    std::wstring wpath(full, full + std::strlen(full));
    const Clock::time_point start = Clock::now();
    const double cpu = ProcessorSeconds();
    window.OpenFile(wpath);
    // Bounded: a minute at most.
    while ((window.IsLoading() || !window.Document()) && Since(start) < 60) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    std::printf("Kreslo window: open and first drawn in %.3f s (processor %.3f s; %llu records)\n", Since(start),
                ProcessorSeconds() - cpu,
                window.Document() ? static_cast<unsigned long long>(window.Document()->Records()) : 0ull);
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
    const Clock::time_point start = Clock::now();
    if (records > 0) {
        const auto value = [](long i, int c) { return 20.0 + c + ((i * (c + 3)) % 997) * 0.01; };
        if (!GenerateLog(path, records, 2026, 1, value)) {
            std::fprintf(stderr, "qm487-bench-kreslo: cannot write %s\n", path);
            return 2;
        }
        std::printf("generated %s: %ld records in %.2f s\n", path, records, Since(start));
    }
    PortableFigures(path);
#if defined(_WIN32)
    WindowFigures(path);
#endif
    return 0;
}
