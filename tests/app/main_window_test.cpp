// The main window as a user meets it: start-up state, menus, messages, and
// the configuration file it leaves behind.
#include "tests/app/install_record.h"
#include "tests/app/program_harness.h"
#include "tests/config/first_run_ini.h"
#include "framework/text.h"
#include "framework/record_file.h"

#include <cstring>

using namespace qm487test;

namespace {

const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";

struct MenuItem {
    int popup;
    UINT id;
    const wchar_t* text;
};

// Every command of the menu bar, where it stands and what it says.
const MenuItem kMenu[] = {
    {0, ID_UNINSTALL, L"Odinstaluj"},          {0, ID_RUN_CHART_VIEWER, L"Uruchom Kreslo"},
    {0, ID_CLOSE_PROGRAM, L"Zamknij"},         {1, ID_COLOURS, L"Kolory"},
    {1, ID_FONTS, L"Czcionki"},                {1, ID_ALWAYS_ON_TOP, L"Zawsze na wierzchu"},
    {2, ID_SERIAL_PORT, L"Port szeregowy"},    {2, ID_RECORDING, L"Rejestracja do pliku"},
    {2, ID_EXTRA_SETTINGS, L"Ustawienia dodatkowe"}, {3, ID_HELP_CONTENTS, L"Pomoc"},
    {3, ID_ABOUT, L"O programie"},             {3, ID_PROMOTION, L"Program NIMBO"},
    {0, ID_ACKNOWLEDGE_ALARMS, L"Potwierd\x017A alarmy"}, {2, ID_ALARMS, L"Alarmy..."},
    {2, ID_DATABASE, L"Baza danych..."},         {2, ID_MQTT, L"MQTT..."},
    {0, ID_NEW_INSTRUMENT, L"Nowy przyrz\x0105" L"d..."}, {2, ID_NOTIFY, L"Powiadomienia..."},
};

// The configuration file's bytes when the window's last message came: what
// anything that waits for the window to go (an installer, the session's end)
// finds before it may end the process.
std::filesystem::path g_iniPath;
std::string g_iniAtWindowGone;
WNDPROC g_windowProc = nullptr;
LRESULT CALLBACK NoteIniAtWindowGone(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCDESTROY)
        g_iniAtWindowGone = ReadFileBytes(g_iniPath);
    return CallWindowProcW(g_windowProc, hWnd, msg, wParam, lParam);
}

std::wstring MenuText(HMENU menu, UINT item, UINT flag) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, item, text, 64, flag);
    return text;
}

}  // namespace

TEST(MainWindow, FirstRunShowsTheLostLinkAndWritesEveryKeyAtExit) {
    // The status text must not pass through the ANSI code page: this runs
    // under a Western one, where its Polish letter does not exist.
    EXPECT_NE(GetACP(), 1250u);
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(program.WaitForStatus(kLostLink));
    CMainDialog* dlg = program.Dialog();
    for (int channel = 0; channel <= 8; ++channel) {
        EXPECT_TRUE(dlg->Instrument().Channels()[channel].bNoValue) << channel;
        EXPECT_TRUE(dlg->Instrument().Channels()[channel].bAlert) << channel;
    }
    EXPECT_EQ(WindowText(program.Main()), L"QM487");
    RECT rc;
    GetWindowRect(program.Main(), &rc);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 100);
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 400);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(program.GuiThreadId(), &info));
    EXPECT_EQ(info.hwndFocus, program.Item(IDC_TEMP1)) << "the keyboard focus rests on the field of channel 1";
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(program.Item(IDC_STATUS), EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    EXPECT_EQ(selStart, selEnd) << "the status text is not shown selected";

    g_iniPath = program.IniPath();
    g_windowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(program.Main(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoteIniAtWindowGone)));
    ASSERT_TRUE(program.Close());
    EXPECT_EQ(g_iniAtWindowGone, kFirstRunFile) << "written before the window went";
    EXPECT_EQ(ReadFileBytes(program.IniPath()), kFirstRunFile);
}

TEST(MainWindow, MenusCarryEveryCommandAndTheSystemMenuItsAboutItem) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    HMENU bar = GetMenu(program.Main());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    const wchar_t* popups[] = {L"Program", L"Widok", L"Ustawienia", L"Pomoc"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(MenuText(bar, i, MF_BYPOSITION), popups[i]);
    for (const MenuItem& item : kMenu) {
        HMENU popup = GetSubMenu(bar, item.popup);
        EXPECT_EQ(MenuText(popup, item.id, MF_BYCOMMAND), item.text) << item.id;
    }
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 6);  // with its separator
    HMENU settings = GetSubMenu(bar, 2);
    EXPECT_EQ(GetMenuItemID(settings, 3), static_cast<UINT>(ID_ALARMS)) << "after the settings there were";
    EXPECT_EQ(GetMenuItemID(settings, 4), static_cast<UINT>(ID_DATABASE)) << "after the alarms";
    EXPECT_EQ(GetMenuItemID(settings, 5), static_cast<UINT>(ID_MQTT)) << "after the database";
    EXPECT_EQ(GetMenuItemID(settings, 6), static_cast<UINT>(ID_NOTIFY)) << "after MQTT";
    EXPECT_EQ(GetMenuItemID(settings, 7), static_cast<UINT>(ID_CHANNELS)) << "last";
    EXPECT_EQ(GetMenuItemCount(settings), 8);
    // Nothing to acknowledge yet.
    EXPECT_TRUE(GetMenuState(bar, ID_ACKNOWLEDGE_ALARMS, MF_BYCOMMAND) & MF_GRAYED);

    // Recording is offered only after the start-up recording's turn.
    EXPECT_TRUE(GetMenuState(bar, ID_RECORDING, MF_BYCOMMAND) & MF_GRAYED);

    HMENU sys = GetSystemMenu(program.Main(), FALSE);
    const int last = GetMenuItemCount(sys) - 1;
    EXPECT_EQ(GetMenuItemID(sys, last), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(MenuText(sys, IDM_ABOUTBOX, MF_BYCOMMAND), L"&About QM487...");
    EXPECT_TRUE(GetMenuState(sys, last - 1, MF_BYPOSITION) & MF_SEPARATOR);
}

TEST(MainWindow, StayOnTopTwiceReturnsToNormal) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    HMENU bar = GetMenu(program.Main());
    EXPECT_FALSE(GetWindowLongW(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    program.Command(ID_ALWAYS_ON_TOP);
    EXPECT_TRUE(GetWindowLongW(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetMenuState(bar, ID_ALWAYS_ON_TOP, MF_BYCOMMAND) & MF_CHECKED);
    program.Command(ID_ALWAYS_ON_TOP);
    EXPECT_FALSE(GetWindowLongW(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetMenuState(bar, ID_ALWAYS_ON_TOP, MF_BYCOMMAND) & MF_CHECKED);
    ASSERT_TRUE(program.Close());
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program.IniPath().string()));
    EXPECT_EQ(ini.GetInt("GENERAL", "TOPMOST", -1), 0);
}

TEST(MainWindow, StayOnTopFromTheSettingsIsAppliedAtStart) {
    RunningProgram program("[GENERAL]\r\nTOPMOST=1\r\n");
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(GetWindowLongW(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetMenuState(GetMenu(program.Main()), ID_ALWAYS_ON_TOP, MF_BYCOMMAND) & MF_CHECKED);
}

TEST(MainWindow, EnterAndEscapeDoNotCloseIt) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(program.GuiThreadId(), &info));
    HWND target = info.hwndFocus ? info.hwndFocus : program.Main();
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }
    // Posted after the keys, so handled after them: once the window is on
    // top, the keys have had their turn.
    PostMessageW(program.Main(), WM_COMMAND, ID_ALWAYS_ON_TOP, 0);
    ASSERT_TRUE(WaitFor([&] { return (GetWindowLongW(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 10000));
    EXPECT_TRUE(IsWindowVisible(program.Main()));
}

TEST(MainWindow, AMissingChartViewerIsReported) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.MessageBoxOfCommand(ID_RUN_CHART_VIEWER), L"Nie mo\x017Cna odnale\x017A\x0107 programu Kreslo.exe");
}

TEST(MainWindow, UninstallSaysWhichFilesToRemove) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    const std::wstring text = program.MessageBoxOfCommand(ID_UNINSTALL);
    EXPECT_EQ(text.rfind(L"Program QM487 nie jest instalowany", 0), 0u) << testing::PrintToString(text);
    EXPECT_NE(text.find(program.IniPath().wstring()), std::wstring::npos);
}

TEST(MainWindow, UninstallOfTheInstalledCopyAsksFirstAndNoKeepsItRunning) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ScopedInstallRecord record(std::filesystem::path(exe).parent_path().native(),
                               "{6C3F0B8E-0000-4000-8000-000000000487}");
    // The installed copy starts in Documents; the rest of this process does not.
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    RunningProgram program;
    // Documents named with a letter outside the ANSI code page (1252 here).
    const std::filesystem::path documents = program.IniPath().parent_path() / L"Dokumenty-\x0142";
    std::filesystem::create_directories(documents);
    ScopedShellFolder moved(L"Personal", documents.native());
    struct Restore {
        const wchar_t* dir;
        ~Restore() { SetCurrentDirectoryW(dir); }
    } restore = {before};
    ASSERT_TRUE(program.Start());
    wchar_t now[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(std::filesystem::path(now), documents);
    EXPECT_EQ(AbsoluteFilePath(std::string("wyniki.txt")), afx::Narrow1250((documents / "wyniki.txt").native()))
        << "a report named without a folder goes to Documents";
    PostMessageW(program.Main(), WM_COMMAND, ID_UNINSTALL, 0);
    HWND box = program.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    const std::wstring text = RunningProgram::MessageBoxText(box);
    EXPECT_EQ(text.rfind(L"Czy odinstalowa\x0107 program QM487?", 0), 0u) << testing::PrintToString(text);
    EXPECT_NE(text.find(program.IniPath().wstring()), std::wstring::npos) << "names the settings that stay";
    ASSERT_NE(GetDlgItem(box, IDYES), nullptr);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
    EXPECT_TRUE(IsWindowVisible(program.Main())) << "No leaves the program running";
}

TEST(MainWindow, ACopyInAFolderNamedBeyondTheCodePageKeepsItsSettingsBesideItself) {
    RunningProgram program;
    const std::filesystem::path folder = program.RunFromFolder(L"Pomiary-\x0142");
    std::ofstream(folder / "qm487cfg.ini", std::ios::binary) << "[GENERAL]\r\nTOPMOST=1\r\n";
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Dialog()->Start().strSettingsPath, (folder / "qm487cfg.ini").native());
    EXPECT_TRUE(GetWindowLongW(program.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST) << "read";
    ASSERT_TRUE(program.Close());
    const std::string ini = ReadFileBytes(folder / "qm487cfg.ini");
    EXPECT_NE(ini.find("TOPMOST=1\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("PORT_NR=0\r\n"), std::string::npos) << "written back: " << ini;
}

TEST(MainWindow, AConfiguredPortThatCannotBeOpenedIsReportedAndKept) {
    RunningProgram program("[GENERAL]\r\nPORT_NR=99\r\n");
    ASSERT_TRUE(program.Start(false));
    HWND box = program.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), L"Nie mo\x017Cna otworzy\x0107 portu COM99");
    RunningProgram::Dismiss(box);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(program.Main()); }, 10000));
    ASSERT_TRUE(program.Close());
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program.IniPath().string()));
    EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", -1), 99);
}

TEST(MainWindow, AHandEditedFileKeepsItsOrderCaseAndExtras) {
    const std::string hand =
        "; my settings\r\n[general]\r\nwindow_left=120\r\nEXTRA=kept\r\nport_nr=0\r\n"
        "[TEMP3]\r\nBACKGROUND_TEMP3=255\r\nFONT_NAME_TEMP3=Liberation Serif\r\nFONT_ITALIC_TEMP3=255\r\n"
        "[MINE]\r\nx=1\r\n";
    RunningProgram program(hand);
    ASSERT_TRUE(program.Start());
    CMainDialog* dlg = program.Dialog();
    EXPECT_EQ(dlg->Panel().Field(3).m_crBackground, 255u);
    EXPECT_STREQ(dlg->Panel().Field(3).m_lfValue.lfFaceName, "Liberation Serif");
    EXPECT_EQ(dlg->Panel().Field(3).m_lfValue.lfItalic, 255);
    RECT rc;
    GetWindowRect(program.Main(), &rc);
    EXPECT_EQ(rc.left, 120);
    ASSERT_TRUE(program.Close());

    const std::string file = ReadFileBytes(program.IniPath());
    EXPECT_EQ(file.rfind("; my settings\r\n[general]\r\nwindow_left=120\r\nEXTRA=kept\r\nport_nr=0\r\n", 0), 0u)
        << file;
    EXPECT_NE(file.find("[TEMP3]\r\nBACKGROUND_TEMP3=255\r\nFONT_NAME_TEMP3=Liberation Serif\r\nFONT_ITALIC_TEMP3=255\r\n"
                        "TEXT_TEMP3=8030\r\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("[MINE]\r\nx=1\r\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("WINDOW_LEFT"), std::string::npos) << "a key found in lower case is written in its own case";
}

TEST(MainWindow, AWindowBeyondTheScreenIsSavedBackOnIt) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    // A new size, so the window reports it and records where it is.
    SetWindowPos(program.Main(), nullptr, screenWidth + 50 - 610, -20, 610, 410, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(program.Close());
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program.IniPath().string()));
    EXPECT_EQ(ini.GetInt("GENERAL", "WINDOW_RIGHT", 0), screenWidth);
    EXPECT_EQ(ini.GetInt("GENERAL", "WINDOW_LEFT", 0), screenWidth - 610);
    EXPECT_EQ(ini.GetInt("GENERAL", "WINDOW_TOP", 0), 0);
    EXPECT_EQ(ini.GetInt("GENERAL", "WINDOW_BOTTOM", 0), 390);
}
