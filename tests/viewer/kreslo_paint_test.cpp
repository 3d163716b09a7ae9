// Kreslo's window in the test process: what it draws (legend, axes, each
// channel's line in its colour), and how following a log treats the view.
#include "tests/viewer/clock_change_logs.h"
#include "tests/viewer/kreslo_test_log.h"
#include "viewer/app/chart_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Write(const fs::path& path, const std::string& bytes, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

KresloSettings Settings() {
    KresloSettings s = {};
    for (int c = 0; c < 9; ++c)
        s.crChannel[c] = RGB(20 + 25 * c, 200 - 20 * c, 60 + 15 * c);
    s.nInterval = 10;
    return s;
}

class KresloWindow : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qm487_kreslo_paint_" + std::to_string(GetTickCount64()));
        fs::create_directories(dir);
        window.reset(new CChartWindow(Settings()));
        ASSERT_TRUE(window->Create());
        ShowWindow(*window, SW_SHOW);
    }
    void TearDown() override {
        window.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    // Opens the log and waits (bounded) until the worker has read it.
    bool Open(const fs::path& path) {
        window->OpenFile(path.wstring());
        return Loaded();
    }
    bool Loaded() {
        const ULONGLONG end = GetTickCount64() + 30000;
        while (window->IsLoading() || window->Document() == nullptr) {
            if (GetTickCount64() > end)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            Pump();
        }
        return true;
    }
    // The chart as Paint draws it, 0x00RRGGBB, top row first.
    std::vector<std::uint32_t> Picture(int* pw, int* ph) {
        RECT rc;
        GetClientRect(*window, &rc);
        rc.bottom -= 22;  // the status line
        const int w = rc.right, h = rc.bottom;
        HDC hScreen = GetDC(*window);
        HDC hMem = CreateCompatibleDC(hScreen);
        HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, w, h);
        ReleaseDC(*window, hScreen);
        HGDIOBJ hOld = SelectObject(hMem, hBitmap);
        window->Paint(hMem, rc);
        SelectObject(hMem, hOld);
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        GetDIBits(hMem, hBitmap, 0, static_cast<UINT>(h), pixels.data(), &bi, DIB_RGB_COLORS);
        DeleteObject(hBitmap);
        DeleteDC(hMem);
        for (std::uint32_t& p : pixels)
            p &= 0xFFFFFF;
        *pw = w;
        *ph = h;
        return pixels;
    }
    static std::uint32_t Rgb(COLORREF cr) { return GetRValue(cr) << 16 | GetGValue(cr) << 8 | GetBValue(cr); }
    // Pixels of that colour in the rectangle.
    static int Count(const std::vector<std::uint32_t>& px, int w, RECT r, std::uint32_t colour) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += px[static_cast<std::size_t>(y) * w + x] == colour;
        return n;
    }
    static int CountNot(const std::vector<std::uint32_t>& px, int w, RECT r, std::uint32_t colour) {
        return (r.right - r.left) * (r.bottom - r.top) - Count(px, w, r, colour);
    }

    fs::path dir;
    std::unique_ptr<CChartWindow> window;
};

}  // namespace

TEST_F(KresloWindow, DrawsLegendAxesAndEveryChannelInItsColour) {
    Write(dir / "demo.kvf", kreslotest::Log(0, 2000));
    Write(dir / "demo.kvf.names", "T1=Zamra\xBF"
                                  "arka 1\r\n");  // the legend names channel 1 so
    ASSERT_TRUE(Open(dir / "demo.kvf"));
    EXPECT_EQ(window->Document()->Records(), 2000u);
    EXPECT_EQ(window->Document()->Names().strName[1], "Zamra\xBF"
                                                      "arka 1");
    int w = 0, h = 0;
    const std::vector<std::uint32_t> px = Picture(&w, &h);
    ASSERT_GT(w, 700);
    ASSERT_GT(h, 300);
    const KresloSettings s = Settings();
    for (int c = 0; c < 9; ++c) {
        // The legend's swatch above the plot, and the line inside it.
        EXPECT_GT(Count(px, w, RECT{0, 0, w, 34}, Rgb(s.crChannel[c])), 100) << "legend of channel " << c;
        EXPECT_GT(Count(px, w, RECT{62, 40, w - 250, h - 40}, Rgb(s.crChannel[c])), 200) << "line of channel " << c;
    }
    // Labels left of the plot (values) and below it (times and the date).
    EXPECT_GT(CountNot(px, w, RECT{0, 60, 55, h - 60}, 0xFFFFFF), 100);
    EXPECT_GT(CountNot(px, w, RECT{62, h - 34, w - 250, h}, 0xFFFFFF), 100);

    // A hidden channel leaves the plot (a legend click switches it).
    const int legendX = 62 + 5, legendY = 6 + 8;  // the first entry: channel 1
    SendMessageW(*window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(legendX, legendY));
    SendMessageW(*window, WM_LBUTTONUP, 0, MAKELPARAM(legendX, legendY));
    const std::vector<std::uint32_t> after = Picture(&w, &h);
    EXPECT_EQ(Count(after, w, RECT{62, 40, w - 250, h - 40}, Rgb(s.crChannel[1])), 0);
    EXPECT_GT(Count(after, w, RECT{62, 40, w - 250, h - 40}, Rgb(s.crChannel[2])), 200);
}

TEST_F(KresloWindow, FollowingMovesOnlyAViewThatShowsTheLiveEnd) {
    const fs::path log = dir / "live.kvf";
    Write(log, kreslotest::Log(0, 100));
    ASSERT_TRUE(Open(log));
    // Everything in view, so the live end too: new records move the view along.
    Write(log, kreslotest::Log(100, 200), true);
    SendMessageW(*window, WM_TIMER, TIMER_KRESLO_FOLLOW, 0);
    ASSERT_EQ(window->Document()->Records(), 300u);
    const double last = static_cast<double>(window->Document()->Data().LastTime());
    EXPECT_GE(window->View().t1, last);
    EXPECT_LE(window->View().t0, last);

    // Zoomed into the beginning: more records come, the view stays put.
    ChartView& v = window->View();
    v.t0 = static_cast<double>(window->Document()->Data().FirstTime());
    v.t1 = v.t0 + 300;
    const ChartView before = v;
    Write(log, kreslotest::Log(300, 50), true);
    SendMessageW(*window, WM_TIMER, TIMER_KRESLO_FOLLOW, 0);
    EXPECT_EQ(window->Document()->Records(), 350u);
    EXPECT_EQ(window->View().t0, before.t0);
    EXPECT_EQ(window->View().t1, before.t1);

    // Home shows everything again, the new end included.
    SendMessageW(*window, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_GE(window->View().t1, static_cast<double>(window->Document()->Data().LastTime()));
}

// The window keeps its chart between paints and draws only the cursor anew
// when the mouse moves: what reaches the screen must still be what Paint
// draws for the state of the moment, after a hover, a zoom, a hover again
// and a zoom box.
TEST_F(KresloWindow, TheScreenShowsTheCurrentChartAfterHoverAndZoom) {
    Write(dir / "kept.kvf", kreslotest::Log(0, 2000));
    ASSERT_TRUE(Open(dir / "kept.kvf"));
    SetWindowPos(*window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The client area as the screen holds it, in the form Picture gives.
    auto screen = [&](int w, int h) {
        RedrawWindow(*window, nullptr, nullptr, RDW_UPDATENOW);
        GdiFlush();
        HDC hWindow = GetDC(*window);
        HDC hMem = CreateCompatibleDC(hWindow);
        HBITMAP hBitmap = CreateCompatibleBitmap(hWindow, w, h);
        HGDIOBJ hOld = SelectObject(hMem, hBitmap);
        BitBlt(hMem, 0, 0, w, h, hWindow, 0, 0, SRCCOPY);
        ReleaseDC(*window, hWindow);
        SelectObject(hMem, hOld);
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        GetDIBits(hMem, hBitmap, 0, static_cast<UINT>(h), pixels.data(), &bi, DIB_RGB_COLORS);
        DeleteObject(hBitmap);
        DeleteDC(hMem);
        for (std::uint32_t& p : pixels)
            p &= 0xFFFFFF;
        return pixels;
    };
    int w = 0, h = 0;
    std::vector<std::uint32_t> expected = Picture(&w, &h);
    EXPECT_TRUE(screen(w, h) == expected) << "first paint";

    SendMessageW(*window, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
    expected = Picture(&w, &h);
    const std::vector<std::uint32_t> hovered = screen(w, h);
    EXPECT_TRUE(hovered == expected) << "after the mouse moved";

    SendMessageW(*window, WM_KEYDOWN, VK_UP, 0);  // zoom in
    expected = Picture(&w, &h);
    EXPECT_TRUE(expected != hovered);
    EXPECT_TRUE(screen(w, h) == expected) << "after a zoom";

    SendMessageW(*window, WM_MOUSEMOVE, 0, MAKELPARAM(420, 260));
    expected = Picture(&w, &h);
    EXPECT_TRUE(screen(w, h) == expected) << "after the mouse moved again";

    // A zoom box dragged with the right button: dotted, in the cursor blue.
    SendMessageW(*window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 150));
    SendMessageW(*window, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(450, 250));
    expected = Picture(&w, &h);
    EXPECT_GT(Count(expected, w, RECT{300, 150, 451, 151}, Rgb(RGB(30, 90, 200))), 30) << "the box's top edge";
    EXPECT_TRUE(screen(w, h) == expected) << "while a zoom box is dragged";
    SendMessageW(*window, WM_RBUTTONUP, 0, MAKELPARAM(450, 250));
    expected = Picture(&w, &h);
    EXPECT_TRUE(screen(w, h) == expected) << "after the box zoomed";
}

// A crafted log whose times only go down (each record older than all read
// before it) opens in bounded work: each step back starts a stretch of its
// own, laid after the one before, never put in its place record by record
// (which took hours at this size).
TEST_F(KresloWindow, ALogWhoseTimesGoBackOpensInBoundedWork) {
    const int n = 600000;
    std::string log;
    log.reserve(static_cast<std::size_t>(n) * 18);
    long long t = kreslotest::kStart + n;
    for (int i = 0; i < n; ++i, --t) {
        int y, mo, d, hh, mi, ss;
        std::sscanf(FormatCivilSeconds(t).c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &hh, &mi, &ss);
        ChannelSamples none;
        for (int c = 0; c < 9; ++c)
            none[c] = {0.0, TRUE, TRUE, FALSE};
        log += FormatBinaryRecord(RecordTime{y, mo, d, hh, mi, ss}, none, 1);
    }
    Write(dir / "backwards.kvf", log);
    ASSERT_TRUE(Open(dir / "backwards.kvf"));
    const ChartSamples& data = window->Document()->Data();
    ASSERT_EQ(data.Size(), static_cast<std::size_t>(n));
    EXPECT_EQ(window->Document()->Records(), static_cast<std::uint64_t>(n));
    EXPECT_EQ(window->Document()->Timeline().Steps().size(), static_cast<std::size_t>(n - 1));
    EXPECT_EQ(data.LastTime() - data.FirstTime(), n - 1);
    for (std::size_t i = 1; i < data.Size(); i += 997)
        ASSERT_LT(data.Time(i - 1), data.Time(i));
}

// Logs recorded in Poland across both clock changes of 2026 and one with the
// clock set back by hand, viewed in Poland (the test's TZ): channel 1 rises
// steadily, so the chart must show one rising line from edge to edge, never
// a band filled by two hours woven together, nor a gap.
TEST_F(KresloWindow, ClockChangesDrawOneRisingLine) {
    const struct {
        const char* name;
        std::vector<std::int64_t> locals;
        const wchar_t* status;
        bool stepMarked;
    } rows[] = {
        {"autumn", clocklogs::Autumn(),
         L" Rekord\u00f3w: 1081, od 2026-10-25 01:00:00 UTC+2 do 2026-10-25 03:00:00 UTC+1, interwa\u0142 00:00:10.",
         false},
        {"spring", clocklogs::Spring(),
         L" Rekord\u00f3w: 721, od 2026-03-29 01:00:00 UTC+1 do 2026-03-29 04:00:00 UTC+2, interwa\u0142 00:00:10.",
         false},
        {"set back", clocklogs::SetBack(),
         L" Rekord\u00f3w: 721, od 2026-10-10 01:00:00 do 2026-10-10 02:55:30, interwa\u0142 00:00:10. Zegar "
         L"cofni\u0119ty o 00:04:30 o 2026-10-10 01:59:50.",
         true},
    };
    const std::uint32_t line = Rgb(Settings().crChannel[1]), step = Rgb(RGB(220, 110, 0));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path path = dir / (std::string(row.name) + ".kvf");
        Write(path, clocklogs::Log(row.locals));
        ASSERT_TRUE(Open(path));
        wchar_t status[512] = {};
        GetDlgItemTextW(*window, IDC_KRESLO_STATUS, status, 512);
        EXPECT_EQ(std::wstring(status), row.status);
        int w = 0, h = 0;
        const std::vector<std::uint32_t> px = Picture(&w, &h);
        // Per column of the plot: the line's top row and its height.
        int columns = 0, previousTop = h, first = -1, last = -1;
        for (int x = 62; x < w - 250; ++x) {
            int top = -1, bottom = -1;
            for (int y = 40; y < h - 40; ++y)
                if (px[static_cast<std::size_t>(y) * w + x] == line) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
            if (top < 0)
                continue;
            first = first < 0 ? x : first;
            last = x;
            ++columns;
            EXPECT_LE(bottom - top, 6) << "a filled band at x " << x;
            EXPECT_LE(top, previousTop + 1) << "not rising at x " << x;
            previousTop = top;
        }
        EXPECT_GT(last - first, w - 400);
        EXPECT_EQ(columns, last - first + 1) << "a gap in the line";
        EXPECT_EQ(Count(px, w, RECT{62, 40, w - 250, h - 40}, step) > 20, row.stepMarked);
    }
    // The cursor in the repeated hour says which of the two it is.
    Write(dir / "autumn2.kvf", clocklogs::Log(clocklogs::Autumn()));
    ASSERT_TRUE(Open(dir / "autumn2.kvf"));
    RECT client;
    GetClientRect(*window, &client);
    const int left = 62, right = client.right - 236 - 14;  // the plot, beside the panel
    const ChartView& v = window->View();
    for (const auto& at : {std::make_pair(90 * 6, " UTC+2"), std::make_pair(90 * 6 + 360, " UTC+1"),
                           std::make_pair(60, "")}) {
        const double t = static_cast<double>(window->Document()->Data().Time(static_cast<std::size_t>(at.first)));
        const int x = left + static_cast<int>(std::lround((t - v.t0) * (right - left) / (v.t1 - v.t0)));
        SendMessageW(*window, WM_MOUSEMOVE, 0, MAKELPARAM(x, 200));
        const std::string shown = window->CursorTime();
        EXPECT_EQ(shown.substr(0, 14), at.first == 60 ? "2026-10-25 01:" : "2026-10-25 02:") << shown;
        EXPECT_EQ(shown.substr(19), at.second) << shown;
    }
    // Read as UTC ("Czas" -> "UTC"): the hour the clock went back is a step of its own.
    SendMessageW(*window, WM_COMMAND, ID_KRESLO_ZONE_FIXED, 0);
    ASSERT_TRUE(Loaded());
    wchar_t status[512] = {};
    GetDlgItemTextW(*window, IDC_KRESLO_STATUS, status, 512);
    EXPECT_EQ(std::wstring(status), L" Rekord\u00f3w: 1081, od 2026-10-25 01:00:00 UTC do 2026-10-25 03:00:00 UTC, "
                                    L"interwa\u0142 00:00:10. Zegar cofni\u0119ty o 01:00:00 o 2026-10-25 02:59:50.");
}

// Rows of the plot where the colour runs across most of the width: a limit
// line (dashed), never a channel's wave.
static int LimitRows(const std::vector<std::uint32_t>& px, int w, int h, std::uint32_t colour) {
    int rows = 0;
    for (int y = 40; y < h - 40; ++y) {
        int n = 0;
        for (int x = 62; x < w - 250; ++x)
            n += px[static_cast<std::size_t>(y) * w + x] == colour;
        rows += n > (w - 312) / 3;
    }
    return rows;
}

TEST_F(KresloWindow, DrawsTheAlarmLimitsOfEveryShownChannelAsDashedLines) {
    Write(dir / "demo.kvf", kreslotest::Log(0, 2000));
    ASSERT_TRUE(Open(dir / "demo.kvf"));
    int w = 0, h = 0;
    const std::uint32_t colour4 = Rgb(Settings().crChannel[4]);
    EXPECT_EQ(LimitRows(Picture(&w, &h), w, h, colour4), 0) << "no limits, no lines";

    KresloSettings s = Settings();
    s.limits[4].bHasLow = true;
    s.limits[4].dLow = 20.0;
    s.limits[4].bHasHigh = true;
    s.limits[4].dHigh = 22.0;
    window.reset(new CChartWindow(s));
    ASSERT_TRUE(window->Create());
    ShowWindow(*window, SW_SHOW);
    ASSERT_TRUE(Open(dir / "demo.kvf"));
    const std::vector<std::uint32_t> px = Picture(&w, &h);
    EXPECT_EQ(LimitRows(px, w, h, colour4), 2);
    // A hidden channel's limits go with its line: a click on its swatch.
    const int legendY = 6 + 8;
    int legendX = 0;
    while (legendX < w && px[static_cast<std::size_t>(legendY) * w + legendX] != colour4)
        ++legendX;
    ASSERT_LT(legendX, w) << "the legend shows channel 4";
    SendMessageW(*window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(legendX, legendY));
    SendMessageW(*window, WM_LBUTTONUP, 0, MAKELPARAM(legendX, legendY));
    EXPECT_EQ(LimitRows(Picture(&w, &h), w, h, colour4), 0);
}

// A long log's summary beside it opens it again without reading it (damage
// the summary does not cover stays unseen: it is believed), is read on from
// where it stopped when the log has grown, and is not believed once the
// log's end is not what it summed up, nor when it is cut short.
TEST_F(KresloWindow, ALogsSummaryStandsForWhatItCoversAndNoMore) {
    window->SetSummaryBytes(0);
    const fs::path log = dir / "rok.kvf", summary = dir / "rok.kvf.summary";
    std::string bytes = kreslotest::Log(0, 3000);
    Write(log, bytes);
    ASSERT_TRUE(Open(log));
    ASSERT_TRUE(fs::exists(summary));
    const CChartDocument* doc = window->Document();
    const double t0 = static_cast<double>(doc->Data().FirstTime()), t1 = t0 + 3000;
    auto columns = [&] { return doc->Data().AllColumns(t0, t1, 50); };
    const std::vector<ChartColumn> before = columns();
    bytes[bytes.size() / 2] ^= 0x55;
    Write(log, bytes);
    struct Row {
        const char* change;
        std::uint64_t records, damaged;
    };
    for (const Row& row : {Row{"middle", 3000, 0}, Row{"grown", 3100, 0}, Row{"end", 3098, 2}, Row{"cut", 3098, 2}}) {
        SCOPED_TRACE(row.change);
        if (std::string(row.change) == "grown")
            Write(log, kreslotest::Log(3000, 100), true);
        if (std::string(row.change) == "end") {
            bytes += kreslotest::Log(3000, 100);
            bytes[bytes.size() - 5] ^= 0x55;
            Write(log, bytes);
        }
        if (std::string(row.change) == "cut")
            fs::resize_file(summary, fs::file_size(summary) - 1);
        ASSERT_TRUE(Open(log));
        doc = window->Document();
        EXPECT_EQ(doc->Records(), row.records);
        EXPECT_EQ(doc->Damaged(), row.damaged);
    }
    // Read whole again, and summed up as the first time where nothing changed.
    const std::vector<ChartColumn> after = columns();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[5 * 50 + 3].minimum, before[5 * 50 + 3].minimum);
    EXPECT_EQ(after[5 * 50 + 40].lastIndex, before[5 * 50 + 40].lastIndex);

    // The CSV of a range across a series' two files: each record of it once,
    // read again from the file it is in.
    Write(dir / "b_2026-12-08.kvf", kreslotest::Log(0, 50));
    Write(dir / "b_2026-12-09.kvf", kreslotest::Log(50, 50));
    window->OpenFiles({(dir / "b_2026-12-08.kvf").wstring(), (dir / "b_2026-12-09.kvf").wstring()});
    ASSERT_TRUE(Loaded());
    doc = window->Document();
    std::uint64_t rows = 0;
    const double from = static_cast<double>(doc->Data().Time(10)), to = static_cast<double>(doc->Data().Time(89));
    ASSERT_TRUE(doc->ExportCsv(from, to, CsvFormat(), (dir / "b.csv").wstring(), &rows));
    EXPECT_EQ(rows, 80u);
    std::ifstream csv(dir / "b.csv", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("time,T,T1,"), 0u);
    EXPECT_NE(text.find("\n2026-12-08 06:01:40,"), std::string::npos);  // record 10
    EXPECT_NE(text.find("\n2026-12-08 06:14:50,"), std::string::npos);  // record 89, in the second file
}
