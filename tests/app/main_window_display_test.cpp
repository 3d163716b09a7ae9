// What the window shows: where its controls go for every size, and which
// pixels blinking changes.
#include "app/main_layout.h"
#include "tests/app/program_harness.h"

#include <vector>

using namespace qm487test;

namespace {

RECT ChildRect(HWND parent, HWND child) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void ExpectAt(HWND parent, HWND child, const LayoutRect& r, const char* what) {
    const RECT rc = ChildRect(parent, child);
    EXPECT_EQ(rc.left, r.x) << what;
    EXPECT_EQ(rc.top, r.y) << what;
    EXPECT_EQ(rc.right - rc.left, r.cx) << what;
    EXPECT_EQ(rc.bottom - rc.top, r.cy) << what;
}

// The controls stand where the layout puts them for the current client size.
void ExpectLaidOut(RunningProgram& program) {
    HWND main = program.Main();
    RECT client;
    GetClientRect(main, &client);
    const MainLayout layout = ComputeMainLayout(client.right, client.bottom,
                                                ClampLayoutGap(GetSystemMetrics(SM_CXDLGFRAME)),
                                                program.Dialog()->Panel().StatusHeight(), 0x8B);
    ExpectAt(main, program.Item(IDC_STATUS), layout.status, "status line");
    for (int i = 0; i < 9; ++i) {
        HWND field = program.Item(i < 8 ? IDC_TEMP1 + i : IDC_TEMP0);
        EXPECT_EQ(IsWindowVisible(field) != FALSE, layout.shown[i]) << i;
        if (layout.shown[i])
            ExpectAt(main, field, layout.fields[i], i < 8 ? "channel 1-8" : "channel 0");
    }
}

// The title strip is one line of the title font, whatever font stands in for it.
int StripHeight(HWND field, CReadingView& view) {
    HDC dc = GetDC(field);
    HGDIOBJ old = SelectObject(dc, view.m_fontLabel);
    RECT r = {0, 0, 90, 20};
    DrawTextW(dc, L"Temperatura", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SelectObject(dc, old);
    ReleaseDC(field, dc);
    return r.bottom - r.top;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The client area as it is on screen, one COLORREF-like value a pixel.
std::vector<DWORD> Capture(HWND hWnd, int& width, int& height) {
    RECT rc;
    GetClientRect(hWnd, &rc);
    width = rc.right;
    height = rc.bottom;
    HDC screen = GetDC(hWnd);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    GetDIBits(mem, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(hWnd, screen);
    return pixels;
}

}  // namespace

TEST(MainWindowLayout, ControlsFollowEverySizeRestoredAndMaximised) {
    // Channel 2 named, channels 1, 2, 4 and 8 in use.
    RunningProgram program("[TEMP2]\r\nNAME_TEMP2=Zamra\277arka 1\r\n[TEMP3]\r\nIN_USE_TEMP3=0\r\n[TEMP5]\r\n"
                           "IN_USE_TEMP5=0\r\n[TEMP6]\r\nIN_USE_TEMP6=0\r\n[TEMP7]\r\nIN_USE_TEMP7=0\r\n");
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Dialog()->Panel().Field(2).m_strLabel, "Zamra\277arka 1");
    HWND main = program.Main();
    CMainDialog* dlg = program.Dialog();
    ExpectLaidOut(program);
    for (SIZE size : {SIZE{800, 600}, SIZE{320, 240}, SIZE{1000, 700}, SIZE{601, 403}}) {
        SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ExpectLaidOut(program);
        RECT rc;
        GetWindowRect(main, &rc);
        EXPECT_TRUE(SameRect(rc, dlg->Placement().Rect())) << size.cx << "x" << size.cy;
        RECT client;
        GetClientRect(main, &client);
        EXPECT_EQ(dlg->Placement().NormalSize().cx, client.right);
        EXPECT_EQ(dlg->Placement().NormalSize().cy, client.bottom);
    }

    const RECT restored = dlg->Placement().Rect();
    ShowWindow(main, SW_MAXIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(main) && dlg->Placement().IsMaximized(); }, 5000));
    ExpectLaidOut(program);
    RECT client;
    GetClientRect(main, &client);
    EXPECT_EQ(dlg->Placement().MaximizedSize().cx, client.right);
    EXPECT_EQ(dlg->Placement().MaximizedSize().cy, client.bottom);
    EXPECT_TRUE(SameRect(dlg->Placement().Rect(), restored)) << "maximising keeps the rectangle that is saved";

    ShowWindow(main, SW_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return !IsZoomed(main) && !dlg->Placement().IsMaximized(); }, 5000));
    ExpectLaidOut(program);
    EXPECT_TRUE(SameRect(dlg->Placement().Rect(), restored));
}

TEST(MainWindowDisplay, BlinkingChangesOnlyTheValuesOfAlertingFields) {
    RunningProgram program("[GENERAL]\r\nPORT_NR=13\r\n");
    HANDLE instrument =
        CreateFileW(L"\\\\.\\COM14", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(instrument, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(program.Start());
    CMainDialog* dlg = program.Dialog();
    HWND main = program.Main();

    InstrumentReading steady;
    steady.channel = 4;
    steady.value = 12.3;
    steady.serialNumber = 7;
    const std::string line = Line(steady);
    auto sendLine = [&] {
        DWORD written = 0;
        WriteFile(instrument, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    };
    // Shows the phase asked for by running blink ticks, then takes the picture;
    // a tick of the window's own timer in between means another try.
    auto captureIn = [&](BOOL phase, std::vector<DWORD>& pixels, int& w, int& h) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            while (dlg->Panel().BlinkPhase() != phase)
                SendMessageW(main, WM_TIMER, CMainDialog::kBlinkTimerId, 0);
            // Returns once the window's thread has finished what it was
            // doing, a repaint included.
            SendMessageW(main, WM_NULL, 0, 0);
            pixels = Capture(main, w, h);
            if (dlg->Panel().BlinkPhase() == phase)
                return true;
        }
        return false;
    };

    bool compared = false;
    for (int attempt = 0; attempt < 10 && !compared; ++attempt) {
        sendLine();
        if (!WaitFor([&] { return !dlg->Instrument().Channels()[4].bNoValue && !dlg->Instrument().Channels()[4].bAlert; }, 1000))
            continue;
        std::vector<DWORD> shown, hidden, shownAgain;
        int w = 0, h = 0;
        const std::wstring statusBefore = program.Status();
        ASSERT_TRUE(captureIn(FALSE, shown, w, h));
        ASSERT_TRUE(captureIn(TRUE, hidden, w, h));
        ASSERT_TRUE(captureIn(FALSE, shownAgain, w, h));
        if (!dlg->Instrument().IsLinkUp() || dlg->Instrument().Channels()[4].bAlert || program.Status() != statusBefore)
            continue;  // a late line or the watchdog changed the window between the pictures: again
        if (shownAgain != shown)
            continue;  // something besides the blinking changed the window (another window on the display): again
        compared = true;
        std::vector<long> changed(9, 0);
        long outside = 0;
        // Each field's value area, below its title strip, once.
        RECT valueArea[9];
        for (int i = 0; i < 9; ++i) {
            HWND field = program.Item(i < 8 ? IDC_TEMP1 + i : IDC_TEMP0);
            valueArea[i] = ChildRect(main, field);
            valueArea[i].top += StripHeight(field, dlg->Panel().FieldAt(i));
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (shown[static_cast<size_t>(y) * w + x] == hidden[static_cast<size_t>(y) * w + x])
                    continue;
                int owner = -1;
                for (int i = 0; i < 9; ++i) {
                    const RECT& rc = valueArea[i];
                    if (x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom)
                        owner = i;
                }
                if (owner < 0)
                    ++outside;
                else
                    ++changed[owner];
            }
        }
        EXPECT_EQ(outside, 0) << "pixels changed outside the value areas";
        for (int i = 0; i < 9; ++i) {
            const int channel = i < 8 ? i + 1 : 0;
            if (channel == 4)
                EXPECT_EQ(changed[i], 0) << "the steady channel blinked";
            else
                EXPECT_GT(changed[i], 0) << "channel " << channel << " did not blink";
        }
    }
    EXPECT_TRUE(compared) << "no steady reading to compare against";
    CloseHandle(instrument);
}
