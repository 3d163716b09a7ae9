// Several instruments on one PC: copies of QM487.exe started for profiles,
// each a process of its own in a portable folder, with simulated
// instruments 4660 on COM11 <-> COM12 and 4661 on COM13 <-> COM14.
#include "tests/app/child_process.h"
#include "tests/recording/recording_harness.h"

#include "framework/handles.h"

using namespace qm487test;

namespace {

// Another process's control answers only WM_GETTEXT.
std::wstring TextOf(HWND hControl) {
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hControl, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

// The copy's status line shows the instrument's number once lines arrive.
std::wstring StatusOf(HWND hMain) { return TextOf(GetDlgItem(hMain, IDC_STATUS)); }

HWND FindTitled(const std::wstring& title) {
    struct Search {
        const std::wstring* title;
        HWND found;
    } search = {&title, nullptr};
    EnumWindows(
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (WindowText(hWnd) != *s->title || GetDlgItem(hWnd, IDC_STATUS) == nullptr)
                return TRUE;
            s->found = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Visible top-level windows of a process other than its main window: the
// boxes and dialogs it shows.
int OtherWindowsOf(HANDLE process, HWND hMain) {
    struct Search {
        DWORD pid;
        HWND main;
        int count;
    } search = {GetProcessId(process), hMain, 0};
    EnumWindows(
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(hWnd, &pid);
            s->count += pid == s->pid && hWnd != s->main && IsWindowVisible(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

std::string Ini(int nPort, const FileFolder& folder, const std::string& name, const std::string& extra = "") {
    return "[GENERAL]\r\nPORT_NR=" + std::to_string(nPort) + "\r\nSHOW_ADV=0\r\n" + extra +
           "[LOG]\r\nFILE_NAME=" + folder.Text(name + ".txt") + "\r\nFILE_NAME_BIN=" + folder.Text(name + ".kvf") +
           "\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\nFILE_INTERVAL=1\r\n";
}

std::string Setting(const FileFolder& folder, const std::string& profile, const char* pszKey) {
    CIniFile ini;
    ini.Load(folder.Text("qm487cfg-" + profile + ".ini"));
    return ini.GetString("GENERAL", pszKey, "?");
}

// Rows of a report that hold the value (the instrument's fixed value).
std::size_t RowsWith(const std::filesystem::path& report, const std::string& value) {
    std::size_t n = 0;
    for (const std::string& line : SplitLines(ReadFileBytes(report)))
        n += line.find("\t" + value + "\t") != std::string::npos;
    return n;
}

class Profiles : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::copy_file(std::filesystem::path(std::string("Z:") + QM487_EXE), Exe()); }
    std::string Exe() const { return folder.Text("QM487.exe"); }
    // Starts the copy of a profile and waits for its window.
    HWND Start(ChildProcess& copy, const std::string& profile, const std::string& extra = "") {
        EXPECT_TRUE(copy.Start(Exe(), "/profile " + profile + extra));
        HWND hMain = nullptr;
        WaitFor([&] { return (hMain = FindTitled(L"QM487 \x2013 " + std::wstring(profile.begin(), profile.end()))); },
                60000);
        return hMain;
    }
    static bool Close(ChildProcess& copy, HWND hMain) {
        PostMessageW(hMain, WM_COMMAND, ID_CLOSE_PROGRAM, 0);
        DWORD code = 99;
        return copy.WaitForExit(30000, &code) && code == 0;
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path("")))
            names.insert(entry.path().filename().string());
        return names;
    }
    FileFolder folder;
};

}  // namespace

TEST_F(Profiles, TwoInstrumentsSideBySideEachWithItsOwnWindowFilesDdeTopicsAndSettings) {
    std::ofstream(folder.Path("qm487cfg-A.ini"), std::ios::binary) << Ini(11, folder, "a");
    std::ofstream(folder.Path("qm487cfg-B.ini"), std::ios::binary) << Ini(13, folder, "b");
    ChildProcess simA, simB, copyA, copyB;
    ASSERT_TRUE(simA.Start(QM487_SIM_EXE, "--port COM12 --serial 4660 --value 21.5"));
    ASSERT_TRUE(simB.Start(QM487_SIM_EXE, "--port COM14 --serial 4661 --value 35.5"));
    HWND hA = Start(copyA, "A");
    HWND hB = Start(copyB, "B");
    ASSERT_NE(hA, nullptr);
    ASSERT_NE(hB, nullptr);
    EXPECT_TRUE(WaitFor([&] { return StatusOf(hA).rfind(L"QM-487 nr 4660.", 0) == 0; }, 60000)) << StatusOf(hA);
    EXPECT_TRUE(WaitFor([&] { return StatusOf(hB).rfind(L"QM-487 nr 4661.", 0) == 0; }, 60000)) << StatusOf(hB);

    // A spreadsheet reaches each instrument through the one service name.
    for (const auto& [topic, value] : {std::pair<std::string, std::string>{"Temperatura3#4660", "21.5 \xB0" "C"},
                                       {"Temperatura3#4661", "35.5 \xB0" "C"}}) {
        std::string text;
        WaitFor([&] { return (text = RunChild(QM487_DDE_EXE, "get " + topic + " Pomiar").out).rfind(value, 0) == 0; },
                30000);
        EXPECT_EQ(text.substr(0, text.find_first_of("\r\n")), value) << topic;
    }
    // qm487-dde watch follows both copies' instruments.
    ChildProcess watch;
    ASSERT_TRUE(watch.Start(QM487_DDE_EXE, "watch --item Pomiar"));
    EXPECT_TRUE(WaitFor([&] {
        const std::string& out = watch.Output();
        return out.find("\tTemperatura3#4660\tPomiar\t") != std::string::npos &&
               out.find("\tTemperatura3#4661\tPomiar\t") != std::string::npos;
    }, 30000)) << watch.Output() << watch.Errors();
    // Each records its own instrument into its own files, from 10 s on.
    EXPECT_TRUE(WaitFor([&] { return RowsWith(folder.Path("a.txt"), "21.5") >= 2; }, 60000));
    EXPECT_TRUE(WaitFor([&] { return RowsWith(folder.Path("b.txt"), "35.5") >= 2; }, 60000));
    EXPECT_EQ(RowsWith(folder.Path("a.txt"), "35.5"), 0u);
    EXPECT_EQ(RowsWith(folder.Path("b.txt"), "21.5"), 0u);
    EXPECT_TRUE(std::filesystem::file_size(folder.Path("a.kvf")) > 0 &&
                std::filesystem::file_size(folder.Path("b.kvf")) > 0);

    // A second start of A brings A's window back and writes nothing.
    ShowWindow(hA, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(hA) != FALSE; }, 10000));
    const std::string iniA = ReadFileBytes(folder.Path("qm487cfg-A.ini"));
    const std::set<std::string> files = Files();
    const ChildResult second = RunChild(Exe(), "/profile a", 60000);
    EXPECT_TRUE(second.ended && second.exitCode == 0);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(hA); }, 10000));
    EXPECT_EQ(ReadFileBytes(folder.Path("qm487cfg-A.ini")), iniA);
    EXPECT_EQ(Files(), files);

    // Each keeps its own settings, whichever closes first.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "A closed first" : "B closed first");
        if (round == 1) {
            hA = Start(copyA, "A");
            hB = Start(copyB, "B");
            ASSERT_TRUE(hA != nullptr && hB != nullptr);
        }
        SetWindowPos(hA, nullptr, 20 + round, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(hB, nullptr, 500 + round, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(round == 0 ? Close(copyA, hA) && Close(copyB, hB) : Close(copyB, hB) && Close(copyA, hA));
        EXPECT_EQ(Setting(folder, "A", "PORT_NR"), "11");
        EXPECT_EQ(Setting(folder, "B", "PORT_NR"), "13");
        EXPECT_EQ(Setting(folder, "A", "WINDOW_LEFT"), std::to_string(20 + round));
        EXPECT_EQ(Setting(folder, "B", "WINDOW_LEFT"), std::to_string(500 + round));
    }
}

TEST_F(Profiles, AnInvalidNameIsRefusedWithTheRuleAndNothingIsWritten) {
    for (const char* name : {"\"a/b\"", "0123456789012345678901234567890123456789x"}) {
        SCOPED_TRACE(name);
        ChildProcess copy;
        ASSERT_TRUE(copy.Start(Exe(), std::string("/profile ") + name));
        std::wstring text;
        EXPECT_TRUE(WaitFor(
            [&] {
                struct Search {
                    DWORD pid;
                    std::wstring* text;
                } search = {GetProcessId(copy.Process()), &text};
                EnumWindows(
                    [](HWND hWnd, LPARAM lp) -> BOOL {
                        auto* s = reinterpret_cast<Search*>(lp);
                        DWORD pid = 0;
                        GetWindowThreadProcessId(hWnd, &pid);
                        if (pid != s->pid || !IsWindowVisible(hWnd))
                            return TRUE;
                        *s->text = WindowText(GetDlgItem(hWnd, 0xFFFF));
                        PostMessageW(hWnd, WM_COMMAND, IDOK, 0);
                        return FALSE;
                    },
                    reinterpret_cast<LPARAM>(&search));
                return !text.empty();
            },
            60000));
        EXPECT_NE(text.find(L"litery A-Z"), std::wstring::npos) << text.c_str();
        DWORD code = 0;
        EXPECT_TRUE(copy.WaitForExit(30000, &code));
        EXPECT_EQ(code, 2u);
        EXPECT_EQ(Files(), std::set<std::string>{"QM487.exe"});
    }
}

// The bench's pair COM13 <-> COM14 pulled away and kept away (the adapter
// not yet there) until this goes, then plugged back.
class UnpluggedPair {
public:
    UnpluggedPair() : m_tty(std::string("Z:") + std::getenv("QM487_WINE_STATE") + "/tty") {
        std::ofstream(m_tty / "com13.unplugged") << "";
        std::ofstream(m_tty / "com13.hangup") << "";
        m_bGone = WaitFor([&] { return !Exists("com13"); }, 10000);
    }
    ~UnpluggedPair() { PlugIn(); }
    bool IsGone() const { return m_bGone; }
    bool PlugIn() {
        std::error_code ec;
        std::filesystem::remove(m_tty / "com13.unplugged", ec);
        return WaitFor([&] { return Exists("com13") && Exists("com14"); }, 10000);
    }

private:
    // A link to a terminal has no attributes under Wine (invalid
    // parameter); only a missing one is "not found".
    bool Exists(const char* pszName) const {
        return GetFileAttributesW((m_tty / pszName).wstring().c_str()) != INVALID_FILE_ATTRIBUTES ||
               GetLastError() != ERROR_FILE_NOT_FOUND;
    }
    std::filesystem::path m_tty;
    bool m_bGone;
};

// Windows starts the copy before the USB adapter is there: the port is
// tried every 2 s without a box or the port dialog, recording resumes, and
// the readings come once the port is there.
TEST_F(Profiles, StartedWithWindowsItWaitsForItsPortMinimisedAndAsksNothing) {
    // The later SHOW_ADV counts: an ordinary start would show the promotion.
    std::ofstream(folder.Path("qm487cfg-C.ini"), std::ios::binary)
        << Ini(13, folder, "c", "SHOW_ADV=1\r\nMINIMIZED=1\r\n");
    UnpluggedPair pair;
    ASSERT_TRUE(pair.IsGone());
    ChildProcess copy;
    HWND hMain = Start(copy, "C", " /autostart");
    ASSERT_NE(hMain, nullptr);
    int others = 0;
    auto watching = [&](auto done) {
        return [&, done] {
            others = std::max(others, OtherWindowsOf(copy.Process(), hMain));
            return done();
        };
    };
    EXPECT_TRUE(WaitFor(watching([&] { return IsIconic(hMain) != FALSE; }), 10000)) << "closed minimised";
    // Recording resumes without the instrument: rows of "???".
    EXPECT_TRUE(WaitFor(watching([&] { return SplitLines(ReadFileBytes(folder.Path("c.txt"))).size() >= 3; }), 60000));
    ASSERT_TRUE(pair.PlugIn());
    ChildProcess sim;
    ASSERT_TRUE(sim.Start(QM487_SIM_EXE, "--port COM14 --serial 4661 --value 31.5"));
    EXPECT_TRUE(WaitFor(watching([&] { return RowsWith(folder.Path("c.txt"), "31.5") >= 2; }), 60000));
    EXPECT_EQ(others, 0) << "a box or dialog was shown";
    EXPECT_TRUE(Close(copy, hMain));
    EXPECT_EQ(Setting(folder, "C", "PORT_NR"), "13");
}

// "Nowy przyrząd..." makes a profile that looks like this one and has
// nothing else of it, and starts it; the new copy asks for its port.
TEST_F(Profiles, ANewInstrumentTakesTheLookOnlyAndAsksForItsPort) {
    std::ofstream(folder.Path("qm487cfg-A.ini"), std::ios::binary)
        << Ini(11, folder, "a", "WINDOW_LEFT=60\r\n[TEMP1]\r\nBACKGROUND_TEMP1=255\r\n");
    ChildProcess copyA;
    HWND hA = Start(copyA, "A");
    ASSERT_NE(hA, nullptr);
    PostMessageW(hA, WM_COMMAND, ID_NEW_INSTRUMENT, 0);
    HWND dialog = nullptr;
    // Shown only once its controls are there: a name typed sooner is lost
    // and the empty name refused.
    ASSERT_TRUE(WaitFor(
        [&] {
            dialog = FindWindowW(L"#32770", L"Nowy przyrz\x0105" L"d");
            return dialog != nullptr && IsWindowVisible(dialog);
        },
        30000));
    SendMessageW(GetDlgItem(dialog, IDC_INSTRUMENT_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Piec 2"));
    ASSERT_EQ(TextOf(GetDlgItem(dialog, IDC_INSTRUMENT_NAME)), L"Piec 2");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND hNew = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hNew = FindTitled(L"QM487 \x2013 Piec 2")) != nullptr; }, 60000));
    DWORD pid = 0;
    GetWindowThreadProcessId(hNew, &pid);
    CHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    EXPECT_TRUE(WaitFor([&] { return OtherWindowsOf(process.Get(), hNew) > 0; }, 60000)) << "no port dialog";
    EXPECT_EQ(Setting(folder, "Piec 2", "PORT_NR"), "0");
    EXPECT_EQ(Setting(folder, "Piec 2", "WINDOW_LEFT"), "100");
    CIniFile ini;
    ini.Load(folder.Text("qm487cfg-Piec 2.ini"));
    EXPECT_EQ(ini.GetString("TEMP1", "BACKGROUND_TEMP1", "?"), "255");
    EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", "?"), "");
    EXPECT_EQ(ini.GetString("LOG", "FILE_LOG", "?"), "0");
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 10000);
    EXPECT_TRUE(Close(copyA, hA));
}
