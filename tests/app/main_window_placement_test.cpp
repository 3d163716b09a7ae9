// Where the main window is saved and where it opens again: minimised,
// on a monitor left of the main one, from a damaged or hostile file.
#include "tests/app/program_harness.h"

using namespace qm487test;

namespace {

RECT SavedRect(const RunningProgram& program) {
    CIniFile ini;
    EXPECT_TRUE(ini.Load(program.IniPath().string()));
    return {ini.GetInt("GENERAL", "WINDOW_LEFT", 0), ini.GetInt("GENERAL", "WINDOW_TOP", 0),
            ini.GetInt("GENERAL", "WINDOW_RIGHT", 0), ini.GetInt("GENERAL", "WINDOW_BOTTOM", 0)};
}

std::string WindowKeys(int left, int top, int right, int bottom) {
    return "[GENERAL]\r\nWINDOW_LEFT=" + std::to_string(left) + "\r\nWINDOW_TOP=" + std::to_string(top) +
           "\r\nWINDOW_RIGHT=" + std::to_string(right) + "\r\nWINDOW_BOTTOM=" + std::to_string(bottom) + "\r\n";
}

RECT WorkArea() {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void ExpectInside(const RECT& rc, const RECT& area) {
    EXPECT_GE(rc.left, area.left);
    EXPECT_GE(rc.top, area.top);
    EXPECT_LE(rc.right, area.right);
    EXPECT_LE(rc.bottom, area.bottom);
}

// Where the window opened; inside the work area when bInside.
RECT OpenedRect(const RunningProgram& program, bool bInside) {
    RECT rc;
    GetWindowRect(program.Main(), &rc);
    if (bInside)
        ExpectInside(rc, WorkArea());
    return rc;
}

}  // namespace

TEST(MainWindowPlacement, ClosedOrLoggedOffWhileMinimisedItKeepsTheRectangleItHadBefore) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    // A new size, so the window reports it and records where it is.
    SetWindowPos(program.Main(), nullptr, 150, 120, 610, 420, SWP_NOZORDER);
    ShowWindow(program.Main(), SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(program.Main()) != FALSE; }, 10000));
    // Activated and deactivated while minimised, as the taskbar does.
    SendMessageW(program.Main(), WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, TRUE), 0);
    SendMessageW(program.Main(), WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, TRUE), 0);
    // Windows ending the session ends the process without closing the
    // window: the place and the minimised state are written then.
    SendMessageW(program.Main(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(SavedRect(program).left, 150);
    CIniFile ini;
    ini.Load(program.IniPath().string());
    EXPECT_EQ(ini.GetInt("GENERAL", "MINIMIZED", 0), 1);
    // The taskbar's "Close window".
    PostMessageW(program.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(program.Close());
    const RECT saved = SavedRect(program);
    EXPECT_EQ(saved.left, 150);
    EXPECT_EQ(saved.top, 120);
    EXPECT_EQ(saved.right, 760);
    EXPECT_EQ(saved.bottom, 540);
}

TEST(MainWindowPlacement, AWindowLeftOfTheMainMonitorIsSavedWhereItWas) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    SetWindowPos(program.Main(), nullptr, -1500, 100, 620, 410, SWP_NOZORDER);
    ASSERT_TRUE(program.Close());
    const RECT saved = SavedRect(program);
    EXPECT_EQ(saved.left, -1500);
    EXPECT_EQ(saved.right, -880);
    EXPECT_EQ(saved.top, 100);
    EXPECT_EQ(saved.bottom, 510);
}

TEST(MainWindowPlacement, ARectangleOffEveryMonitorOpensOnTheScreenAtItsSize) {
    // That monitor is gone (the test machine has one).
    RunningProgram program(WindowKeys(-1500, 100, -880, 510));
    ASSERT_TRUE(program.Start());
    const RECT rc = OpenedRect(program, true);
    EXPECT_EQ(rc.right - rc.left, 620);
    EXPECT_EQ(rc.bottom - rc.top, 410);
    EXPECT_EQ(rc.top, 100);
    ASSERT_TRUE(program.Close());
}

TEST(MainWindowPlacement, ACollapsedRectangleOpensAtTheDefaultSize) {
    // What an earlier version left after closing while minimised.
    RunningProgram program(WindowKeys(0, 0, -31840, -31976));
    ASSERT_TRUE(program.Start());
    const RECT rc = OpenedRect(program, true);
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 400);
    ASSERT_TRUE(program.Close());
    const RECT saved = SavedRect(program);
    EXPECT_EQ(saved.right - saved.left, 600);
    EXPECT_EQ(saved.bottom - saved.top, 400);
}

TEST(MainWindowPlacement, AWindowHangingPastTheRightEdgeOpensAsSaved) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    RunningProgram program(WindowKeys(width - 300, -5, width + 300, 395));
    ASSERT_TRUE(program.Start());
    const RECT rc = OpenedRect(program, false);
    EXPECT_EQ(rc.left, width - 300);
    EXPECT_EQ(rc.top, -5);
    EXPECT_EQ(rc.right, width + 300);
    ASSERT_TRUE(program.Close());
}

TEST(MainWindowPlacement, AHostileFileStartsTheProgramWithUsableValues) {
    std::string text;
    for (int k = 0; k <= 8; ++k)
        text += "[TEMP" + std::to_string(k) + "]\r\nFONT_HEIGHT_TEMP" + std::to_string(k) +
                "=-2147483648\r\nFONT_WEIGHT_TEMP" + std::to_string(k) + "=2147483647\r\n";
    text += WindowKeys(-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647);
    text += "[LOG]\r\nFILE_INTERVAL=-2147483648\r\nFILE_SEP_FORMAT=-2147483648\r\n";
    RunningProgram program(text);
    ASSERT_TRUE(program.Start());
    const RECT rc = OpenedRect(program, true);
    EXPECT_GT(rc.right - rc.left, 0);
    EXPECT_GT(rc.bottom - rc.top, 0);
    CMainDialog* dlg = program.Dialog();
    EXPECT_EQ(dlg->Recorder().Settings().nInterval, 1);
    EXPECT_EQ(dlg->Recorder().Settings().nSeparator, -2147483647 - 1)
        << "any separator code is safe: unknown ones write tabs";
    for (int channel = 0; channel <= 8; ++channel) {
        const LOGFONTA& lf = dlg->Panel().Field(channel).m_lfValue;
        EXPECT_GT(lf.lfHeight, -10000) << channel;
        EXPECT_LE(lf.lfWeight, 1000) << channel;
    }
    ASSERT_TRUE(program.Close());
}

TEST(MainWindowPlacement, ASettingsFileOfManyMegabytesIsLeftAlone) {
    const std::string text = WindowKeys(200, 200, 800, 600) + ";" + std::string(3 * 1024 * 1024, 'x') + "\r\n";
    RunningProgram program(text);
    ASSERT_TRUE(program.Start());
    const RECT rc = OpenedRect(program, false);
    EXPECT_EQ(rc.left, 100) << "the window's own values, not the file's";
    ASSERT_TRUE(program.Close());
    EXPECT_EQ(ReadFileBytes(program.IniPath()), text);
}
