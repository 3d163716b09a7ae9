// The port dialog from the main window, under Wine. Wine's probe answers for
// COM1 to COM9 whether or not they exist, and the bench's pairs start at
// COM11, so the test setup maps COM7 onto the pair COM17 <-> COM18: bytes
// written into COM18 reach a program that chose COM7.
#include "serial/port_dialog.h"
#include "tests/app/program_harness.h"

#include <atomic>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace qm487test;

namespace {

const wchar_t kTitle[] = L"Porty";
const wchar_t kNothingChosen[] = L"Nie wybrano \x017C" L"adnego portu.";
const wchar_t kNoPortInUse[] = L"Aktualnie \x017C" L"aden port nie jest u\x017Cywany";
const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";

InstrumentReading Reading321() {
    InstrumentReading r;
    r.channel = 3;
    r.value = 21.5;
    r.serialNumber = 4660;
    return r;
}

// A visible dialog of the program's thread with this title or, with bOther,
// with any other title (a message box) that is not the main window.
HWND FindDialog(DWORD threadId, const std::wstring& title, bool bOther = false) {
    struct Search {
        const std::wstring* title;
        bool other;
        HWND found;
    } search = {&title, bOther, nullptr};
    EnumThreadWindows(
        threadId,
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t cls[32] = {};
            GetClassNameW(hWnd, cls, 32);
            const bool titled = WindowText(hWnd) == *s->title;
            const bool main = GetDlgItem(hWnd, IDC_STATUS) != nullptr;
            const bool untitled = WindowText(hWnd).empty();
            if (std::wstring(cls) == L"#32770" && IsWindowVisible(hWnd) && !main && !untitled && titled != s->other) {
                s->found = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(const RunningProgram& program, const std::wstring& title, DWORD timeoutMs = 15000) {
    HWND hWnd = nullptr;
    WaitFor([&] { return (hWnd = FindDialog(program.GuiThreadId(), title)) != nullptr; }, timeoutMs);
    return hWnd;
}

// A message box over the port dialog (or without it).
HWND WaitForBox(const RunningProgram& program) {
    HWND hWnd = nullptr;
    WaitFor([&] { return (hWnd = FindDialog(program.GuiThreadId(), kTitle, true)) != nullptr; }, 10000);
    return hWnd;
}

std::vector<std::wstring> Entries(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_PORT_LIST);
    std::vector<std::wstring> entries;
    const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        wchar_t text[300] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

std::wstring Selected(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_PORT_LIST);
    const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (i < 0)
        return std::wstring();
    wchar_t text[300] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    return text;
}

// Selects the entry as a user would and presses OK.
void Choose(HWND dialog, const std::wstring& entry) {
    HWND combo = GetDlgItem(dialog, IDC_PORT_LIST);
    SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

bool WaitUntilGone(HWND hWnd) {
    return WaitFor([&] { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); }, 10000);
}

int SavedPort(const RunningProgram& program) {
    CIniFile ini;
    if (!ini.Load(program.IniPath().string()))
        return -1;
    return ini.GetInt("GENERAL", "PORT_NR", -1);
}

}  // namespace

TEST(PortDialog, WithNoPortTheDialogComesAtStartAndTheChosenPortIsUsedAndSaved) {
    HANDLE instrument =
        CreateFileW(L"\\\\.\\COM18", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(instrument, INVALID_HANDLE_VALUE);
    RunningProgram program;
    program.OfferPortDialog();
    ASSERT_TRUE(program.Start());
    HWND dialog = WaitForDialog(program, kTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PORT_CURRENT)), kNoPortInUse);
    const std::vector<std::wstring> entries = Entries(dialog);
    ASSERT_NE(std::find(entries.begin(), entries.end(), L"COM7"), entries.end());
    EXPECT_EQ(Selected(dialog), L"");

    Choose(dialog, L"COM7");
    ASSERT_TRUE(WaitUntilGone(dialog));
    ASSERT_TRUE(WaitFor([&] { return SavedPort(program) == 7; }, 10000));

    // The link works: a line written into the far end shows.
    const std::string line = Line(Reading321());
    bool heard = false;
    for (int attempt = 0; attempt < 20 && !heard; ++attempt) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(instrument, line.data(), static_cast<DWORD>(line.size()), &written, nullptr));
        heard = WaitFor([&] { return program.Status().find(L"QM-487 nr 4660.") == 0; }, 1000);
    }
    CloseHandle(instrument);
    EXPECT_TRUE(heard) << testing::PrintToString(program.Status());
    EXPECT_TRUE(program.Close());
}

TEST(PortDialog, FromTheMenuItShowsAndPreselectsThePortInUseAndCancelKeepsIt) {
    RunningProgram program("[GENERAL]\r\nPORT_NR=7\r\n");
    program.OfferPortDialog();
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForStatus(kLostLink));
    PostMessageW(program.Main(), WM_COMMAND, ID_SERIAL_PORT, 0);
    HWND dialog = WaitForDialog(program, kTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PORT_CURRENT)), L"Aktualnie u\x017Cywany port: COM7");
    EXPECT_EQ(Selected(dialog), L"COM7");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    EXPECT_TRUE(program.Dialog()->Port().IsOpen());
    ASSERT_TRUE(program.Close());
    EXPECT_EQ(SavedPort(program), 7);
}

TEST(PortDialog, NothingChosenIsSaidAndAPortThatWillNotOpenIsSaidAndAskedAgain) {
    RunningProgram program;
    program.OfferPortDialog();
    ASSERT_TRUE(program.Start());
    HWND dialog = WaitForDialog(program, kTitle);
    ASSERT_NE(dialog, nullptr);

    // OK with no entry chosen: the message, and the dialog stays.
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND box = WaitForBox(program);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), kNothingChosen);
    RunningProgram::Dismiss(box);
    ASSERT_TRUE(WaitUntilGone(box));
    EXPECT_TRUE(IsWindowVisible(dialog));

    // COM9 is listed under Wine but has no device behind it.
    Choose(dialog, L"COM9");
    ASSERT_TRUE(WaitUntilGone(dialog));
    box = WaitForBox(program);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), L"Nie mo\x017Cna otworzy\x0107 portu COM9");
    RunningProgram::Dismiss(box);
    dialog = WaitForDialog(program, kTitle);
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    EXPECT_FALSE(program.Dialog()->Port().IsOpen());
    ASSERT_TRUE(program.Close());
}

// Prints the time of one full scan (no assertion: figures depend on load).
TEST(PortScan, ListsOncePerPortAndAStoppedScanEndsAtOnce) {
    std::string list;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ListPorts(list));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("port scan: %.1f ms, list: %s\n", ms, list.c_str());
    const std::vector<std::string> entries = PortEntriesFromList(list);
    for (size_t i = 1; i < entries.size(); ++i)
        EXPECT_LT(ParseChosenPort(entries[i - 1]), ParseChosenPort(entries[i]));

    // Cancelled before it starts: the probe asks no port, so where the
    // device list finds nothing the list is empty.
    PortTable table;
    const std::atomic<bool> cancel(true);
    ProbePorts(table, true, &cancel);
    EXPECT_EQ(FormatPortList(table), "");
}

// A scan that throws: the wait window goes all the same, and the failure is
// reported as any thread's (here to a window that a WM_CLOSE destroys).
TEST(PortScan, AScanThatThrowsClosesTheWaitWindowAndIsReported) {
    const HWND hReport = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    CWorkerThread::ReportFailuresTo(hReport, WM_CLOSE);
    std::atomic<bool> returned{false}, closedByTest{false};
    std::thread watchdog([&, thread = GetCurrentThreadId()] {
        if (WaitFor([&] { return returned.load(); }, 10000))
            return;
        closedByTest = true;  // the window stayed up: closed here, so that the test ends
        EnumThreadWindows(
            thread, [](HWND h, LPARAM) { return PostMessageW(h, WM_CLOSE, 0, 0); }, 0);
    });
    const auto entries = ScanPortsWhileWaiting(
        [](std::string&, const std::atomic<bool>*) -> bool { throw std::bad_alloc(); });
    returned = true;
    watchdog.join();
    EXPECT_FALSE(closedByTest);
    EXPECT_TRUE(entries.empty());
    MSG msg;  // the report waits in this thread's queue, or has been handled by the wait window's loop
    EXPECT_TRUE(PeekMessageW(&msg, hReport, WM_CLOSE, WM_CLOSE, PM_REMOVE) || !IsWindow(hReport));
    CWorkerThread::ReportFailuresTo(nullptr, 0);
}
