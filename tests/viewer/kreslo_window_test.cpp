// Kreslo.exe as a user starts it: with a file, without arguments beside a
// qm487cfg.ini, on a log being recorded, on a damaged log, and from the main
// program's menu. The program runs in a process of its own, copied into a
// temporary folder with its INI; the test reads its window's title and
// status line from outside.
#include "tests/app/child_process.h"
#include "tests/viewer/kreslo_test_log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

const DWORD kWaitMs = 30000;
// The viewer's timer that reads what was added to the file.
const WPARAM kFollowTimer = 1;

struct Found {
    DWORD pid;
    const wchar_t* cls;
    HWND hWnd;
};

// A visible top-level window of the process with that class ("#32770": a dialog or message box).
HWND FindWindowOf(DWORD pid, const wchar_t* cls) {
    Found f = {pid, cls, nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            Found* f = reinterpret_cast<Found*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            wchar_t name[64] = {};
            GetClassNameW(h, name, 64);
            if (owner == f->pid && IsWindowVisible(h) && wcscmp(name, f->cls) == 0) {
                f->hWnd = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.hWnd;
}

std::wstring TextOf(HWND h) {
    wchar_t text[1024] = {};
    // WM_GETTEXT is carried across processes, with a bound on the wait.
    DWORD_PTR n = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &n);
    return text;
}

// Polls until pred holds; false when the time is up.
bool WaitFor(const std::function<bool()>& pred, DWORD ms = kWaitMs) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!pred()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(50);
    }
    return true;
}

void Write(const fs::path& path, const std::string& bytes, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Kreslo : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qm487_kreslo_" + std::to_string(GetTickCount64()));
        fs::create_directories(dir);
        fs::copy_file(QM487_KRESLO_EXE, dir / "Kreslo.exe");
    }
    void TearDown() override {
        child.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void Start(const std::string& args) {
        child.reset(new qm487test::ChildProcess);
        ASSERT_TRUE(child->Start((dir / "Kreslo.exe").string(), args));
        pid = GetProcessId(child->Process());
    }
    HWND Window() {
        HWND h = nullptr;
        WaitFor([&] { return (h = FindWindowOf(pid, L"QM487Kreslo")) != nullptr; });
        return h;
    }
    std::wstring Status(HWND h) { return TextOf(GetDlgItem(h, 100)); }
    bool StatusStartsWith(HWND h, const std::wstring& start) {
        return WaitFor([&] { return Status(h).rfind(start, 0) == 0; });
    }

    fs::path dir;
    std::unique_ptr<qm487test::ChildProcess> child;
    DWORD pid = 0;
};

}  // namespace

TEST_F(Kreslo, OpensTheFileOnItsCommandLineAndNamesItInTheTitle) {
    fs::create_directories(dir / "z odstepem");
    const fs::path log = dir / "z odstepem" / "wykres.kvf";
    Write(log, kreslotest::Log(0, 1000));
    Start("\"" + qm487test::WindowsPath(log.string()) + "\"");
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(WaitFor([&] { return TextOf(h) == L"wykres.kvf - Kreslo"; }));
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 1000, od 2026-12-08 06:00:00 do ")) << Status(h).size();
    EXPECT_EQ(Status(h).find(L"pomini"), std::wstring::npos);
    // Plik -> Zakończ ends the program.
    PostMessageW(h, WM_COMMAND, 40004, 0);
    EXPECT_TRUE(child->WaitForExit(kWaitMs));
}

// Files given together are one log in time order, named as a series; the
// newest is the one followed.
TEST_F(Kreslo, ASeriesOfDailyFilesIsOneLogAndItsLastFileIsFollowed) {
    Write(dir / "pomiar_2026-12-09.kvf", kreslotest::Log(100, 50));
    Write(dir / "pomiar_2026-12-08.kvf", kreslotest::Log(0, 100));
    Start("\"" + qm487test::WindowsPath((dir / "pomiar_2026-12-09.kvf").string()) + "\" \"" +
          qm487test::WindowsPath((dir / "pomiar_2026-12-08.kvf").string()) + "\"");
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(WaitFor([&] { return TextOf(h) == L"pomiar_2026-12-08.kvf ... pomiar_2026-12-09.kvf (2 pliki) - Kreslo"; }))
        << testing::PrintToString(TextOf(h));
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 150, od 2026-12-08 06:00:00 do ")) << Status(h).size();
    Write(dir / "pomiar_2026-12-09.kvf", kreslotest::Record(150), true);
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 151,"));
    // Midnight: the recorder goes on in the next day's file, which is followed once seen.
    Write(dir / "pomiar_2026-12-10.kvf", kreslotest::Log(151, 2));
    for (int i = 0; i < 21; ++i)
        ASSERT_TRUE(SendMessageTimeoutW(h, WM_TIMER, kFollowTimer, 0, SMTO_ABORTIFHUNG, kWaitMs, nullptr));
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 153,")) << testing::PrintToString(Status(h));
    EXPECT_EQ(TextOf(h), L"pomiar_2026-12-08.kvf ... pomiar_2026-12-10.kvf (3 pliki) - Kreslo");
    // A file that begins before the one before it ends is told.
    Write(dir / "pomiar_2026-12-11.kvf", kreslotest::Log(100, 3));
    for (int i = 0; i < 21; ++i)
        ASSERT_TRUE(SendMessageTimeoutW(h, WM_TIMER, kFollowTimer, 0, SMTO_ABORTIFHUNG, kWaitMs, nullptr));
    EXPECT_NE(Status(h).find(L" Pliki nak\u0142adaj\u0105 si\u0119 w czasie: pomiar_2026-12-11.kvf zaczyna si\u0119 "
                             L"przed ko\u0144cem pomiar_2026-12-10.kvf."),
              std::wstring::npos)
        << testing::PrintToString(Status(h));
}

TEST_F(Kreslo, FollowsAFileBeingRecorded) {
    const fs::path log = dir / "live.kvf";
    Write(log, kreslotest::Log(0, 100));
    Start(qm487test::WindowsPath(log.string()));
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 100,"));
    // One record, then half of one (still being written), then its rest.
    Write(log, kreslotest::Record(100), true);
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 101,"));
    const std::string next = kreslotest::Record(101);
    Write(log, next.substr(0, 20), true);
    // Two reads of the file as the follow timer makes them, done when the
    // sends return: the half record has been seen, and not counted.
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(SendMessageTimeoutW(h, WM_TIMER, kFollowTimer, 0, SMTO_ABORTIFHUNG, kWaitMs, nullptr));
    EXPECT_EQ(Status(h).rfind(L" Rekord\u00f3w: 101,", 0), 0u) << testing::PrintToString(Status(h));
    EXPECT_EQ(Status(h).find(L"pomini"), std::wstring::npos) << "a record cut short is not damage";
    Write(log, next.substr(20) + kreslotest::Log(102, 8), true);
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 110,"));
    EXPECT_EQ(Status(h).find(L"pomini"), std::wstring::npos);
}

TEST_F(Kreslo, WithoutArgumentsOpensTheBinaryLogOfTheIni) {
    const fs::path log = dir / "rejestr.kvf";
    Write(log, kreslotest::Log(0, 50));
    Write(dir / "qm487cfg.ini", "[LOG]\r\nFILE_NAME_BIN=" + qm487test::WindowsPath(log.string()) + "\r\n");
    Start("");
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(WaitFor([&] { return TextOf(h) == L"rejestr.kvf - Kreslo"; }));
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 50,"));
}

TEST_F(Kreslo, WithoutArgumentsOrIniEntryItSaysSoAndOffersTheOpenDialog) {
    Write(dir / "qm487cfg.ini", "[LOG]\r\nFILE_NAME_BIN=\r\n");
    Start("");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowOf(pid, L"#32770")) != nullptr; }));
    // The message box's text is its static control.
    HWND text = FindWindowExW(box, nullptr, L"Static", nullptr);
    std::wstring said;
    for (; text != nullptr; text = FindWindowExW(box, text, L"Static", nullptr))
        said += TextOf(text);
    EXPECT_NE(said.find(L"nie wskazano pliku rejestracji binarnej"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Then the open dialog, titled as such.
    EXPECT_TRUE(WaitFor([&] {
        HWND dlg = FindWindowOf(pid, L"#32770");
        return dlg != nullptr && dlg != box && TextOf(dlg).find(L"Otw\u00f3rz plik") == 0;
    }));
}

TEST_F(Kreslo, ADamagedFileShowsWhatCouldBeReadAndHowManyRecordsWereSkipped) {
    std::string bytes = kreslotest::Log(0, 40);
    std::string broken = kreslotest::Record(40);
    broken[20] ^= 0x55;  // a check byte no longer fits
    bytes += broken + kreslotest::Log(41, 10);
    Write(dir / "uszkodzony.kvf", bytes);
    Start(qm487test::WindowsPath((dir / "uszkodzony.kvf").string()));
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(StatusStartsWith(h, L" Rekord\u00f3w: 50,"));
    EXPECT_NE(Status(h).find(L"pomini\u0119to rekord\u00f3w: 1."), std::wstring::npos);
}

TEST_F(Kreslo, AFileOfOtherContentIsRefusedWithAMessage) {
    Write(dir / "notatki.kvf", std::string(5000, 'x'));
    Start(qm487test::WindowsPath((dir / "notatki.kvf").string()));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowOf(pid, L"#32770")) != nullptr; }));
    std::wstring said;
    for (HWND t = FindWindowExW(box, nullptr, L"Static", nullptr); t; t = FindWindowExW(box, t, L"Static", nullptr))
        said += TextOf(t);
    EXPECT_NE(said.find(L"nie jest plikiem rejestracji binarnej"), std::wstring::npos);
}

// "Program -> Uruchom Kreslo" in the main program starts the viewer by its
// plain name: found beside QM487.exe, it opens the binary log of the INI.
TEST_F(Kreslo, TheMainProgramsCommandStartsTheViewerOnItsBinaryLog) {
    fs::copy_file(QM487_EXE, dir / "QM487.exe");
    const std::string name = "uruchom" + std::to_string(GetTickCount64() % 100000) + ".kvf";
    Write(dir / name, kreslotest::Log(0, 30));
    // COM99 does not exist: the program says so once and goes on without a port.
    Write(dir / "qm487cfg.ini", "[GENERAL]\r\nPORT_NR=99\r\nSHOW_ADV=0\r\n[LOG]\r\nFILE_LOG=0\r\nFILE_LOG_BIN=0\r\n"
                                "FILE_NAME_BIN=" + qm487test::WindowsPath((dir / name).string()) + "\r\n");
    child.reset(new qm487test::ChildProcess);
    ASSERT_TRUE(child->Start((dir / "QM487.exe").string(), ""));
    pid = GetProcessId(child->Process());
    // The main window is the dialog with a menu; the port's message box and
    // the port dialog that follows it have none.
    struct Dialog {
        DWORD pid;
        bool withMenu;
        HWND hWnd;
    };
    auto find = [](DWORD pid, bool withMenu) {
        Dialog d = {pid, withMenu, nullptr};
        EnumWindows(
            [](HWND h, LPARAM lp) -> BOOL {
                Dialog* d = reinterpret_cast<Dialog*>(lp);
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                wchar_t cls[64] = {};
                GetClassNameW(h, cls, 64);
                if (owner == d->pid && IsWindowVisible(h) && wcscmp(cls, L"#32770") == 0 &&
                    (GetMenu(h) != nullptr) == d->withMenu) {
                    d->hWnd = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&d));
        return d.hWnd;
    };
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = find(pid, false)) != nullptr; }));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = find(pid, true)) != nullptr; }));
    PostMessageW(main, WM_COMMAND, 32795 /* ID_RUN_CHART_VIEWER */, 0);

    // The viewer is a process of its own: found by its window's class and title.
    struct Search {
        std::wstring title;
        HWND hWnd;
    } search = {std::wstring(name.begin(), name.end()) + L" - Kreslo", nullptr};
    const bool started = WaitFor([&] {
        EnumWindows(
            [](HWND h, LPARAM lp) -> BOOL {
                Search* s = reinterpret_cast<Search*>(lp);
                wchar_t cls[64] = {};
                GetClassNameW(h, cls, 64);
                if (wcscmp(cls, L"QM487Kreslo") == 0 && IsWindowVisible(h) && TextOf(h) == s->title) {
                    s->hWnd = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.hWnd != nullptr;
    });
    ASSERT_TRUE(started) << "no Kreslo window titled with the log";
    DWORD viewerPid = 0;
    GetWindowThreadProcessId(search.hWnd, &viewerPid);
    EXPECT_NE(viewerPid, pid);
    HANDLE viewer = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, viewerPid);
    PostMessageW(search.hWnd, WM_COMMAND, 40004 /* Plik -> Zakończ */, 0);
    if (viewer != nullptr) {
        const bool ended = WaitForSingleObject(viewer, kWaitMs) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(viewer, 99);
        CloseHandle(viewer);
        EXPECT_TRUE(ended);
    }
}
