// Driving recording as a user does: the settings dialog, the program's
// message boxes, and the files it writes, all in a folder of the test's own.
#pragma once

#include "tests/app/program_harness.h"

#include "recording/binary_log.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace qm487test {

// The program on COM13 (COM14 carries the instrument's lines), without the
// start-up promotion window; extra: more lines for its configuration.
inline std::string RecordingIni(const std::string& extra = std::string()) {
    return "[GENERAL]\r\nPORT_NR=13\r\nSHOW_ADV=0\r\n" + extra;
}

// A folder for the recording files, removed at the end.
class FileFolder {
public:
    FileFolder() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_dir = std::filesystem::temp_directory_path() / ("qm487_rec_" + name + "_" + std::to_string(GetTickCount64()));
        std::filesystem::create_directories(m_dir);
    }
    ~FileFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path Path(const std::string& name) const { return m_dir / name; }
    // The path as the program keeps it (Windows-1250 text; ASCII here).
    std::string Text(const std::string& name) const { return Path(name).string(); }

private:
    std::filesystem::path m_dir;
};

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start) + "<unterminated>");
    return lines;
}

inline std::vector<BinaryRecordContent> BinaryRecords(const std::filesystem::path& path) {
    std::vector<BinaryRecordContent> records;
    std::string error;
    EXPECT_TRUE(ParseBinaryLog(ReadFileBytes(path), &records, &error)) << error;
    return records;
}

// Records read so far, while the program may be writing the next one.
inline std::size_t CountBinaryRecords(const std::filesystem::path& path) {
    std::vector<BinaryRecordContent> records;
    ParseBinaryLog(ReadFileBytes(path), &records, nullptr);
    return records.size();
}

// Dialogs of the program's thread: the recording dialog, message boxes and
// the file chooser are told apart by what they hold.
inline HWND FindThreadDialog(DWORD threadId, bool (*match)(HWND)) {
    struct Search {
        bool (*match)(HWND);
        HWND found;
    } search = {match, nullptr};
    EnumThreadWindows(
        threadId,
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t cls[32] = {};
            GetClassNameW(hWnd, cls, 32);
            if (std::wstring(cls) == L"#32770" && IsWindowVisible(hWnd) && s->match(hWnd)) {
                s->found = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Gives the main window a menu command and waits for the dialog it opens.
inline HWND OpenCommandDialog(RunningProgram& program, UINT command, bool (*match)(HWND)) {
    PostMessageW(program.Main(), WM_COMMAND, command, 0);
    HWND dlg = nullptr;
    qm487test::WaitFor([&] { return (dlg = FindThreadDialog(program.GuiThreadId(), match)) != nullptr; }, 10000);
    return dlg;
}

inline bool IsRecordingDialog(HWND h) { return GetDlgItem(h, IDC_REC_INTERVAL) != nullptr; }
inline bool IsMessageBox(HWND h) {
    return GetDlgItem(h, IDC_REC_INTERVAL) == nullptr && GetDlgItem(h, IDC_STATUS) == nullptr &&
           GetDlgItem(h, 0xFFFF) != nullptr;
}

class RecordingDriver {
public:
    explicit RecordingDriver(RunningProgram& program) : m_program(program) {}

    HWND WaitFor(bool (*match)(HWND), DWORD timeoutMs = 10000) const {
        HWND found = nullptr;
        qm487test::WaitFor([&] { return (found = FindThreadDialog(m_program.GuiThreadId(), match)) != nullptr; },
                           timeoutMs);
        return found;
    }
    HWND WaitForMessageBox(DWORD timeoutMs = 10000) const { return WaitFor(IsMessageBox, timeoutMs); }
    HWND WaitForDialog(DWORD timeoutMs = 10000) const { return WaitFor(IsRecordingDialog, timeoutMs); }

    // "Ustawienia" > "Rejestracja do pliku".
    HWND Open() {
        PostMessageW(m_program.Main(), WM_COMMAND, ID_RECORDING, 0);
        return WaitForDialog();
    }

    // Until the start-up recording has had its turn (its menu item is offered).
    bool WaitForStartupRecording() const {
        HMENU menu = GetMenu(m_program.Main());
        return qm487test::WaitFor([&] { return !(GetMenuState(menu, ID_RECORDING, MF_BYCOMMAND) & MF_GRAYED); },
                                  20000) &&
               Sync();
    }

    static void Click(HWND dlg, int id) { SendMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
    static bool Checked(HWND dlg, int id) {
        return SendMessageW(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    static void SetCheck(HWND dlg, int id, bool on) {
        if (Checked(dlg, id) != on)
            Click(dlg, id);
    }
    static bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }
    // Types into an edit and leaves it.
    static void Type(HWND dlg, int id, const std::wstring& text) {
        HWND edit = GetDlgItem(dlg, id);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
    }
    static SYSTEMTIME PickerTime(HWND dlg) {
        SYSTEMTIME t = {};
        SendMessageW(GetDlgItem(dlg, IDC_REC_INTERVAL), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
        return t;
    }
    // Sets the picker and leaves it.
    static void SetInterval(HWND dlg, int hour, int minute, int second) {
        HWND picker = GetDlgItem(dlg, IDC_REC_INTERVAL);
        SYSTEMTIME t = {};
        t.wYear = 2000;
        t.wMonth = 1;
        t.wDay = 1;
        t.wHour = static_cast<WORD>(hour);
        t.wMinute = static_cast<WORD>(minute);
        t.wSecond = static_cast<WORD>(second);
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
        NMHDR hdr = {picker, static_cast<UINT_PTR>(IDC_REC_INTERVAL), static_cast<UINT>(NM_KILLFOCUS)};
        SendMessageW(dlg, WM_NOTIFY, IDC_REC_INTERVAL, reinterpret_cast<LPARAM>(&hdr));
    }

    // Sets the dialog up for both files at an hour's interval (no tick comes
    // during a test), every channel chosen.
    static void SetUpBoth(HWND dlg, const std::string& report, const std::string& binary) {
        SetCheck(dlg, IDC_REC_LOG_REPORT, true);
        Type(dlg, IDC_REC_REPORT_PATH, std::wstring(report.begin(), report.end()));
        SetCheck(dlg, IDC_REC_LOG_BINARY, true);
        Type(dlg, IDC_REC_BINARY_PATH, std::wstring(binary.begin(), binary.end()));
        SetInterval(dlg, 1, 0, 0);
    }

    // OK or Cancel; returns once the dialog is gone and the command has
    // either ended or stopped at a message box of its own.
    bool Press(HWND dlg, int id) {
        PostMessageW(dlg, WM_COMMAND, id, 0);
        if (!qm487test::WaitFor([&] { return !IsWindow(dlg); }, 10000))
            return false;
        return Sync();
    }
    // Returns once the program's thread has come back to a message loop.
    bool Sync() const {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(m_program.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 15000, &result) != 0;
    }
    // Answers a message box and waits until the program goes on.
    bool Answer(HWND box, int id) {
        PostMessageW(box, WM_COMMAND, id, 0);
        if (!qm487test::WaitFor([&] { return !IsWindow(box); }, 10000))
            return false;
        return Sync();
    }

private:
    RunningProgram& m_program;
};

}  // namespace qm487test
