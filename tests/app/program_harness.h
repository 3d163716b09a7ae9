// The whole program in the test process: the application object's
// InitInstance runs on a GUI thread of its own, with its configuration file
// in a fresh folder, while the test drives the window from outside the way a
// user would (messages, a COM port pair) and reads back what it shows.
#pragma once

#include "app/main_dialog.h"
#include "app/reader_app.h"
#include "config/ini_file.h"
#include "instrument/line_encoder.h"
#include "res/resource.h"
#include "framework/text.h"
#include "tests/app/child_process.h"
#include "tests/wait_for.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qm487test {


inline std::wstring WindowText(HWND hWnd) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hWnd, buffer, 512);
    return buffer;
}

inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Line(InstrumentReading reading) {
    const std::vector<unsigned char> bytes = EncodeLineOrThrow(reading);
    return std::string(bytes.begin(), bytes.end());
}

// A port pair end the test writes instrument bytes into (L"\\\\.\\COM14").
class InstrumentPort {
public:
    explicit InstrumentPort(const wchar_t* port) {
        m_h = CreateFileW(port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~InstrumentPort() {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    InstrumentPort(const InstrumentPort&) = delete;
    InstrumentPort& operator=(const InstrumentPort&) = delete;
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    bool Send(const std::string& bytes) {
        DWORD written = 0;
        return WriteFile(m_h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

private:
    HANDLE m_h;
};

class RunningProgram {
public:
    // iniText: the configuration file's bytes at start; none when empty.
    explicit RunningProgram(const std::string& iniText = std::string()) {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_dir = std::filesystem::temp_directory_path() / ("qm487_app_" + name + "_" + std::to_string(GetTickCount64()));
        std::filesystem::create_directories(m_dir);
        if (!iniText.empty())
            std::ofstream(IniPath(), std::ios::binary) << iniText;
        m_app.m_start.strSettingsPath = IniPath().native();
        // A port dialog at start would stand in the way of most tests.
        m_app.m_start.bOfferPortDialog = false;
        // So would the promotion window of a first run.
        m_app.m_start.bOfferPromotion = false;
    }
    // Lets the program show its port dialog; call before Start.
    void OfferPortDialog() { m_app.m_start.bOfferPortDialog = true; }
    // Lets the program show its start-up promotion window; before Start.
    void OfferPromotion() { m_app.m_start.bOfferPromotion = true; }
    // Runs it as a profile's copy ("/profile NAME"); before Start.
    void UseProfile(const std::string& name) { m_app.m_start.strProfile = name; }
    // Runs it as a copy started from a folder of that name (in the test's
    // own), which finds its settings file itself; before Start.
    std::filesystem::path RunFromFolder(const std::wstring& name) {
        const std::filesystem::path folder = m_dir / name;
        std::filesystem::create_directories(folder);
        m_app.m_wstrProgramPath = (folder / "QM487.exe").native();
        m_app.m_start.strSettingsPath.clear();
        return folder;
    }
    ~RunningProgram() {
        Close();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::filesystem::path IniPath() const { return m_dir / "qm487cfg.ini"; }

    // Starts the program and waits until its window is on screen, or only
    // until it exists (a message box at start keeps it hidden).
    bool Start(bool bUntilVisible = true) {
        m_hThread = CreateThread(nullptr, 0, Run, this, 0, &m_nThreadId);
        return m_hThread != nullptr &&
               WaitFor([&] { return Main() != nullptr && (!bUntilVisible || IsWindowVisible(Main())); }, 15000);
    }

    // Ends it through "Zamknij"; true when InitInstance has returned (the
    // configuration is then written).
    bool Close() {
        if (m_hThread == nullptr)
            return true;
        if (Main() != nullptr)
            PostMessageW(Main(), WM_COMMAND, ID_CLOSE_PROGRAM, 0);
        const bool ended = WaitForSingleObject(m_hThread, 15000) == WAIT_OBJECT_0;
        if (ended) {
            CloseHandle(m_hThread);
            m_hThread = nullptr;
        }
        return ended;
    }

    CMainDialog* Dialog() const { return static_cast<CMainDialog*>(m_app.m_pMainWnd); }
    HWND Main() const {
        CMainDialog* dlg = Dialog();
        return dlg ? dlg->m_hWnd : nullptr;
    }
    HWND Item(int id) const { return GetDlgItem(Main(), id); }
    std::wstring Status() const { return WindowText(Item(IDC_STATUS)); }
    bool WaitForStatus(const std::wstring& text, DWORD timeoutMs = 10000) const {
        return WaitFor([&] { return Status() == text; }, timeoutMs);
    }
    // Runs a command as the menu does, and returns once it was handled.
    void Command(UINT id) { SendMessageW(Main(), WM_COMMAND, id, 0); }
    DWORD GuiThreadId() const { return m_nThreadId; }

    // A message box the program shows, or nullptr when none came in time.
    HWND WaitForMessageBox(DWORD timeoutMs = 10000) const {
        HWND box = nullptr;
        WaitFor([&] { return (box = FindMessageBox()) != nullptr; }, timeoutMs);
        return box;
    }
    static std::wstring MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }
    // Chooses a menu command that answers with a message box; its text
    // (empty when none came), the box then closed.
    std::wstring MessageBoxOfCommand(UINT id) {
        PostMessageW(Main(), WM_COMMAND, id, 0);
        HWND box = WaitForMessageBox();
        if (box == nullptr)
            return std::wstring();
        const std::wstring text = MessageBoxText(box);
        Dismiss(box);
        return text;
    }
    static void Dismiss(HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); }

private:
    static DWORD WINAPI Run(LPVOID pv) {
        static_cast<RunningProgram*>(pv)->m_app.InitInstance();
        return 0;
    }
    HWND FindMessageBox() const {
        return FindDialog([](HWND) { return true; });
    }

public:
    // A visible dialog or message box of the program's GUI thread, other
    // than the main window, that match() accepts; nullptr when none does.
    template <class Match>
    HWND FindDialog(Match match) const {
        struct Search {
            HWND main;
            Match* match;
            HWND found;
        } search = {Main(), &match, nullptr};
        EnumThreadWindows(
            m_nThreadId,
            [](HWND hWnd, LPARAM lp) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lp);
                wchar_t cls[32] = {};
                GetClassNameW(hWnd, cls, 32);
                if (hWnd != s->main && std::wstring(cls) == L"#32770" && IsWindowVisible(hWnd) && (*s->match)(hWnd)) {
                    s->found = hWnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    std::filesystem::path m_dir;
    CReaderApp m_app;
    HANDLE m_hThread = nullptr;
    DWORD m_nThreadId = 0;
};

// With QM487_SCREENSHOT set (a Linux path), the X display's picture, with
// the window drawn anew, is saved there.
inline void TakeScreenshot(HWND window) {
    char target[512] = {};
    if (GetEnvironmentVariableA("QM487_SCREENSHOT", target, sizeof target) == 0)
        return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const std::string file(target);
    std::wstring line = afx::WidenUtf8("/bin/bash -c \"import -window root " + file + ".tmp.png && mv -f " + file +
                                       ".tmp.png " + file + "\"");
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::filesystem::remove(WindowsPath(file));
    if (CreateProcessW(L"Z:\\bin\\bash", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(WindowsPath(file)); }, 20000));
}

}  // namespace qm487test
