// Measures a window program from outside, the same way for QM487.exe and for
// the hello window, so that neither program is changed for it. Run by
// scripts/measure-app.sh; prints "key=value" lines and judges nothing.
//
//   qm487-app-probe start TITLE TIMEOUT_S SETTLE_S EXE [ARGS...]
//     Starts EXE and times, from just before CreateProcess, until a visible
//     top-level window of that process titled TITLE is painted: its client
//     area, and the area of every visible child window, read back from the
//     screen, hold more than one colour. Polls every 2 ms, so the figure is
//     good to a few milliseconds (one poll plus one read-back). SETTLE_S
//     seconds later it reads the process's peak working set, then closes the
//     window (WM_CLOSE) and waits for the process to end (killed after 10 s).
//   qm487-app-probe painted TITLE TIMEOUT_S
//     Waits until such a window (of any process) is painted.
//   qm487-app-probe memory TITLE
//     Peak working set of the process of that window.
//   qm487-app-probe repaint TITLE ROUNDS [FIRST_ID LAST_ID]
//     Times full repaints of the window's children FIRST_ID..LAST_ID (or of
//     the window itself) in two ways, see Repaint() below.
//   qm487-app-probe close TITLE TIMEOUT_S
//     Waits for a window of that title (a main window, else a dialog such
//     as the port dialog), posts WM_CLOSE and waits until it has gone.
// Exit status: 0 measured; 1 the window did not come (or go); 2 usage.
#include "bench/bench_clock.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Widen(const char* s) {
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], n);
    return w;
}

struct Search {
    std::wstring title;
    DWORD pid;  // 0: any process
    HWND found;
    bool owned;  // a dialog owned by a main window counts too
};

// The program's main window, not a message box it owns that may carry the
// same title.
BOOL CALLBACK MatchTopLevel(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if (!IsWindowVisible(hWnd) || (!search->owned && GetWindow(hWnd, GW_OWNER) != nullptr))
        return TRUE;
    if (search->pid != 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hWnd, &pid);
        if (pid != search->pid)
            return TRUE;
    }
    wchar_t title[128] = {};
    GetWindowTextW(hWnd, title, 128);
    if (search->title != title)
        return TRUE;
    search->found = hWnd;
    return FALSE;
}

HWND FindVisible(const std::wstring& title, DWORD pid, bool owned = false) {
    Search search = {title, pid, nullptr, owned};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The client area as it is on the screen, read back through a DC of the
// window; in Wine a window of another process is read from its X window,
// so this is what has really been painted, not what is about to be.
class ClientPixels {
public:
    bool Capture(HWND hWnd) {
        RECT client;
        if (!GetClientRect(hWnd, &client) || client.right <= 0 || client.bottom <= 0)
            return false;
        m_width = client.right;
        m_height = client.bottom;
        HDC hdc = GetDC(hWnd);
        if (hdc == nullptr)
            return false;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = m_width;
        bi.bmiHeader.biHeight = -m_height;  // top-down rows
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = CreateCompatibleDC(hdc);
        bool ok = false;
        if (bitmap != nullptr && memory != nullptr) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            ok = BitBlt(memory, 0, 0, m_width, m_height, hdc, 0, 0, SRCCOPY) != FALSE;
            GdiFlush();
            if (ok) {
                const auto* p = static_cast<const DWORD*>(bits);
                m_pixels.assign(p, p + static_cast<size_t>(m_width) * m_height);
            }
            SelectObject(memory, old);
        }
        if (memory != nullptr)
            DeleteDC(memory);
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        ReleaseDC(hWnd, hdc);
        return ok;
    }

    // More than one colour within r (client coordinates)?
    bool Varied(RECT r) const {
        r.left = std::max<LONG>(r.left, 0);
        r.top = std::max<LONG>(r.top, 0);
        r.right = std::min<LONG>(r.right, m_width);
        r.bottom = std::min<LONG>(r.bottom, m_height);
        if (r.left >= r.right || r.top >= r.bottom)
            return true;  // nothing of it is visible: nothing to wait for
        const DWORD first = At(r.left, r.top);
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x)
                if (At(x, y) != first)
                    return true;
        return false;
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    DWORD At(LONG x, LONG y) const { return m_pixels[static_cast<size_t>(y) * m_width + x] & 0xFFFFFF; }

    int m_width = 0, m_height = 0;
    std::vector<DWORD> m_pixels;
};

struct ChildAreas {
    HWND parent;
    std::vector<RECT> rects;
};

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
    auto* areas = reinterpret_cast<ChildAreas*>(lParam);
    if (GetParent(hWnd) != areas->parent || !IsWindowVisible(hWnd))
        return TRUE;
    RECT r;
    GetWindowRect(hWnd, &r);
    MapWindowPoints(nullptr, areas->parent, reinterpret_cast<POINT*>(&r), 2);
    areas->rects.push_back(r);
    return TRUE;
}

// Painted: the client area and each visible child's area hold more than one
// colour. A window not yet drawn is one flat colour, as is a control that
// has only been erased.
bool Painted(HWND hWnd) {
    ClientPixels pixels;
    if (!pixels.Capture(hWnd))
        return false;
    RECT all = {0, 0, pixels.Width(), pixels.Height()};
    if (!pixels.Varied(all))
        return false;
    ChildAreas areas = {hWnd, {}};
    EnumChildWindows(hWnd, CollectChild, reinterpret_cast<LPARAM>(&areas));
    for (const RECT& r : areas.rects)
        if (!pixels.Varied(r))
            return false;
    return true;
}

HWND WaitPainted(const std::wstring& title, DWORD pid, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND hWnd = FindVisible(title, pid);
        if (hWnd != nullptr && Painted(hWnd))
            return hWnd;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(2);
    }
}

SIZE_T PeakWorkingSet(HANDLE hProcess) {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    return GetProcessMemoryInfo(hProcess, &pmc, sizeof pmc) ? pmc.PeakWorkingSetSize : 0;
}

bool CloseAndWait(HWND hWnd, DWORD timeoutMs) {
    PostMessageW(hWnd, WM_CLOSE, 0, 0);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(hWnd)) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
    return true;
}

int Start(const std::wstring& title, DWORD timeoutMs, DWORD settleMs, int argc, char** argv) {
    std::wstring commandLine;
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            commandLine += L' ';
        commandLine += L'"' + Widen(argv[i]) + L'"';
    }
    const std::wstring exe = Widen(argv[0]);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const double perMs = TicksPerMs();
    const LONGLONG t0 = Ticks();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "qm487-app-probe: cannot start %s (error %lu)\n", argv[0], GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    HWND hWnd = WaitPainted(title, pi.dwProcessId, timeoutMs);
    const LONGLONG t1 = Ticks();
    int status = 0;
    if (hWnd == nullptr) {
        std::fprintf(stderr, "qm487-app-probe: no painted window \"%ls\" within %lu ms\n", title.c_str(),
                     timeoutMs);
        status = 1;
    } else {
        std::printf("painted_ms=%.1f\n", (t1 - t0) / perMs);
        Sleep(settleMs);
        std::printf("peak_working_set_kib=%.0f\n", PeakWorkingSet(pi.hProcess) / 1024.0);
        CloseAndWait(hWnd, 10000);
    }
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "qm487-app-probe: the process did not end; killed\n");
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
        status = 1;
    }
    CloseHandle(pi.hProcess);
    std::fflush(stdout);
    return status;
}

int Memory(const std::wstring& title) {
    HWND hWnd = FindVisible(title, 0);
    DWORD pid = 0;
    if (hWnd != nullptr)
        GetWindowThreadProcessId(hWnd, &pid);
    HANDLE hProcess = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
    if (hProcess == nullptr) {
        std::fprintf(stderr, "qm487-app-probe: no process of a window \"%ls\"\n", title.c_str());
        return 1;
    }
    std::printf("peak_working_set_kib=%.0f\n", PeakWorkingSet(hProcess) / 1024.0);
    CloseHandle(hProcess);
    return 0;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}

// One message to the window's thread and back: the thread answers a sent
// message only between two of its own messages, so when this returns every
// message it was handling (a WM_PAINT among them) has been handled.
bool RoundTrip(HWND hWnd) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

// Whether any of the windows still has an update region (kept in the
// wineserver, so it is seen across processes).
bool AnyUpdateLeft(const std::vector<HWND>& windows) {
    for (HWND hWnd : windows)
        if (GetUpdateRect(hWnd, nullptr, FALSE))
            return true;
    return false;
}

// A full repaint, timed from this process. The targets are invalidated
// (with erasing), then RedrawWindow(RDW_UPDATENOW | RDW_ALLCHILDREN) on the
// top-level window sends WM_PAINT to each window that still needs painting
// and waits for each reply: across processes that is SendMessage, which
// Wine's RedrawWindow uses in a loop until no update region is left. A
// closing WM_NULL round trip covers a paint the program may have begun by
// itself meanwhile (an invalid window is painted whenever its thread is
// idle). So each round is all the painting of the targets plus one message
// round trip per window painted and one more; those round trips are timed
// alone too, so the script can show the painting net of them. After each
// round the targets must have no update region left; rounds where one
// has are counted (a paint that did not happen would flatter the figure).
//
// The same repaint is also timed as the program's own message loop does
// it: the targets are invalidated and left to the program, which paints
// them when its thread is idle (BeginPaint empties each update region);
// this process polls until no region is left, then the closing WM_NULL
// round trip waits for the last paint to end. That costs one wake-up and
// one round trip instead of one per window, plus up to a poll's delay.
int Repaint(const std::wstring& title, int rounds, int firstId, int lastId) {
    HWND hWnd = FindVisible(title, 0);
    if (hWnd == nullptr) {
        std::fprintf(stderr, "qm487-app-probe: no window \"%ls\"\n", title.c_str());
        return 1;
    }
    std::vector<HWND> targets;
    for (int id = firstId; firstId > 0 && id <= lastId; ++id)
        if (HWND child = GetDlgItem(hWnd, id))
            targets.push_back(child);
    if (firstId <= 0)
        targets.push_back(hWnd);
    if (targets.empty() || (firstId > 0 && static_cast<int>(targets.size()) != lastId - firstId + 1)) {
        std::fprintf(stderr, "qm487-app-probe: the window lacks some of controls %d..%d\n", firstId, lastId);
        return 1;
    }
    const double perMs = TicksPerMs();
    std::vector<double> trips, paints, ownPaints;
    int leftOver = 0, timedOut = 0;
    for (int i = 0; i < rounds + 10; ++i) {  // the first ten warm up
        LONGLONG t0 = Ticks();
        RoundTrip(hWnd);
        const double trip = (Ticks() - t0) / perMs;
        Sleep(5);

        t0 = Ticks();
        for (HWND target : targets)
            RedrawWindow(target, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
        RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RoundTrip(hWnd);
        const double paint = (Ticks() - t0) / perMs;
        if (AnyUpdateLeft(targets))
            ++leftOver;
        Sleep(10);

        t0 = Ticks();
        for (HWND target : targets)
            RedrawWindow(target, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
        const ULONGLONG deadline = GetTickCount64() + 5000;
        bool late = false;
        while (AnyUpdateLeft(targets) && !(late = GetTickCount64() >= deadline))
            SwitchToThread();
        RoundTrip(hWnd);
        const double ownPaint = (Ticks() - t0) / perMs;
        if (late)
            ++timedOut;
        if (i >= 10) {
            trips.push_back(trip);
            paints.push_back(paint);
            ownPaints.push_back(ownPaint);
        }
        Sleep(10);
    }
    std::printf("windows=%u\n", static_cast<unsigned>(targets.size()));
    std::printf("rounds=%d\n", rounds);
    std::printf("repaint_median_ms=%.3f\n", Percentile(paints, 0.5));
    std::printf("repaint_p90_ms=%.3f\n", Percentile(paints, 0.9));
    std::printf("repaint_min_ms=%.3f\n", Percentile(paints, 0));
    std::printf("round_trip_median_ms=%.3f\n", Percentile(trips, 0.5));
    std::printf("round_trip_min_ms=%.3f\n", Percentile(trips, 0));
    std::printf("rounds_with_update_left=%d\n", leftOver);
    std::printf("own_loop_median_ms=%.3f\n", Percentile(ownPaints, 0.5));
    std::printf("own_loop_p90_ms=%.3f\n", Percentile(ownPaints, 0.9));
    std::printf("own_loop_min_ms=%.3f\n", Percentile(ownPaints, 0));
    std::printf("own_loop_rounds_timed_out=%d\n", timedOut);
    return 0;
}

// A main window, else a dialog of that title (the port dialog of a first
// start), waited for as it may still be coming.
int Close(const std::wstring& title, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HWND hWnd;
    while ((hWnd = FindVisible(title, 0)) == nullptr && (hWnd = FindVisible(title, 0, true)) == nullptr) {
        if (GetTickCount64() >= deadline)
            return 1;
        Sleep(10);
    }
    return CloseAndWait(hWnd, timeoutMs) ? 0 : 1;
}

DWORD Ms(const char* seconds) { return static_cast<DWORD>(std::atof(seconds) * 1000); }

const char kUsage[] =
    "usage: qm487-app-probe start TITLE TIMEOUT_S SETTLE_S EXE [ARGS...]\n"
    "       qm487-app-probe painted TITLE TIMEOUT_S\n"
    "       qm487-app-probe memory TITLE\n"
    "       qm487-app-probe repaint TITLE ROUNDS [FIRST_ID LAST_ID]\n"
    "       qm487-app-probe close TITLE TIMEOUT_S\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 2 ? argv[1] : "";
    const std::wstring title = argc > 2 ? Widen(argv[2]) : L"";
    if (cmd == "start" && argc >= 6)
        return Start(title, Ms(argv[3]), Ms(argv[4]), argc - 5, argv + 5);
    if (cmd == "painted" && argc == 4) {
        if (WaitPainted(title, 0, Ms(argv[3])) == nullptr) {
            std::fprintf(stderr, "qm487-app-probe: no painted window \"%ls\"\n", title.c_str());
            return 1;
        }
        return 0;
    }
    if (cmd == "memory" && argc == 3)
        return Memory(title);
    if (cmd == "repaint" && (argc == 4 || argc == 6))
        return Repaint(title, std::max(1, std::atoi(argv[3])), argc == 6 ? std::atoi(argv[4]) : 0,
                       argc == 6 ? std::atoi(argv[5]) : 0);
    if (cmd == "close" && argc == 4)
        return Close(title, Ms(argv[3]));
    std::fputs(kUsage, stderr);
    return 2;
}
