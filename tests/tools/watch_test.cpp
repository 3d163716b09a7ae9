// qm487-watch against a stand-in for the program's window made here: a
// top-level window titled "QM487" holding an edit control 1002. This thread
// keeps dispatching messages while the tool runs, as the tool reads the
// status line with sent WM_GETTEXT. Every wait is bounded.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#ifndef QM487_WATCH_EXE
#error "QM487_WATCH_EXE must name the tool to run"
#endif

namespace {

const DWORD kRunLimitMs = 30000;
const int kCloseCommand = 32783;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;  // the Linux side's files, as Wine sees them
    for (char& ch : path)
        if (ch == '/')
            ch = '\\';
    return path;
}

std::string Utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &s[0], n, nullptr, nullptr);
    return s;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

LRESULT CALLBACK StandInProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == kCloseCommand) {
        DestroyWindow(hWnd);
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

class StandIn {
public:
    explicit StandIn(const wchar_t* status, const wchar_t* title = L"QM487") {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = StandInProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Qm487WatchTestWindow";
        RegisterClassW(&wc);
        main = CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
        status_ = CreateWindowExW(0, L"EDIT", status, WS_CHILD | WS_VISIBLE | ES_READONLY, 0, 0, 280, 20, main,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(1002)), wc.hInstance, nullptr);
    }
    ~StandIn() {
        if (IsWindow(main))
            DestroyWindow(main);
    }
    void SetStatus(const wchar_t* text) { SetWindowTextW(status_, text); }

    HWND main = nullptr;

private:
    HWND status_ = nullptr;
};

// The tool's run: its standard output gathered by a thread of its own.
class WatchRun {
public:
    explicit WatchRun(const std::string& args) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE write = nullptr;
        if (!CreatePipe(&m_read, &write, &sa, 0))
            return;
        SetHandleInformation(m_read, HANDLE_FLAG_INHERIT, 0);
        std::string cmd = "\"" + WindowsPath(QM487_WATCH_EXE) + "\" " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write;
        si.hStdError = write;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &m_pi))
            ADD_FAILURE() << "cannot start " << cmd << ": error " << GetLastError();
        CloseHandle(write);
        InitializeCriticalSection(&m_lock);
        m_reader = CreateThread(nullptr, 0, ReadAll, this, 0, nullptr);
    }
    ~WatchRun() {
        if (m_pi.hProcess != nullptr) {
            TerminateProcess(m_pi.hProcess, 99);
            WaitForSingleObject(m_pi.hProcess, 5000);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
        if (m_reader != nullptr) {
            WaitForSingleObject(m_reader, 5000);
            CloseHandle(m_reader);
            DeleteCriticalSection(&m_lock);
        }
        if (m_read != nullptr)
            CloseHandle(m_read);
    }

    std::string Output() {
        if (m_reader == nullptr)
            return std::string();
        EnterCriticalSection(&m_lock);
        std::string copy = m_output;
        LeaveCriticalSection(&m_lock);
        return copy;
    }

    // Dispatches this thread's messages until the tool has ended (or the
    // limit); onTurn runs between turns. Returns the exit code, -1 if none.
    template <typename F>
    int PumpUntilEnd(F onTurn) {
        if (m_pi.hProcess == nullptr)
            return -1;
        const ULONGLONG deadline = GetTickCount64() + kRunLimitMs;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            onTurn();
            if (GetTickCount64() >= deadline) {
                ADD_FAILURE() << "qm487-watch did not end";
                return -1;
            }
            if (MsgWaitForMultipleObjects(1, &m_pi.hProcess, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0)
                break;
        }
        DWORD code = static_cast<DWORD>(-1);
        GetExitCodeProcess(m_pi.hProcess, &code);
        WaitForSingleObject(m_reader, 5000);  // the rest of the output
        return static_cast<int>(code);
    }

private:
    static DWORD WINAPI ReadAll(void* param) {
        auto* self = static_cast<WatchRun*>(param);
        char buffer[512];
        DWORD n = 0;
        while (ReadFile(self->m_read, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            EnterCriticalSection(&self->m_lock);
            self->m_output.append(buffer, n);
            LeaveCriticalSection(&self->m_lock);
        }
        return 0;
    }

    HANDLE m_read = nullptr;
    HANDLE m_reader = nullptr;
    PROCESS_INFORMATION m_pi = {};
    CRITICAL_SECTION m_lock;
    std::string m_output;
};

const wchar_t kFirst[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";
const wchar_t kSecond[] = L"QM-487 nr 4660. B\x0142\x0105" L"d warto\x015B" L"ci temperatury 7. ";

TEST(Qm487Watch, PrintsEachNewStatusOnceAsUtf8AndTheWindowPlace) {
    StandIn window(kFirst);
    WatchRun run("--seconds 3 --wait 10");
    bool changed = false;
    const int code = run.PumpUntilEnd([&] {
        if (!changed && run.Output().find(Utf8(kFirst)) != std::string::npos) {
            window.SetStatus(kSecond);
            changed = true;
        }
    });
    const std::string out = run.Output();
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(Count(out, Utf8(kFirst)), 1u) << out;
    EXPECT_EQ(Count(out, Utf8(kSecond)), 1u) << out;
    RECT r;
    GetWindowRect(window.main, &r);
    char place[96];
    std::snprintf(place, sizeof place, "qm487-watch: window at %ld,%ld size %ldx%ld\n", r.left, r.top,
                  r.right - r.left, r.bottom - r.top);
    EXPECT_NE(out.find(place), std::string::npos) << out;
    EXPECT_EQ(out.find('\r'), std::string::npos) << "plain line feeds expected";
}

TEST(Qm487Watch, EndsWhenTheWindowGoesAway) {
    StandIn window(kFirst);
    WatchRun run("--seconds 60 --wait 10");
    const int code = run.PumpUntilEnd([&] {
        if (IsWindow(window.main) && run.Output().find(Utf8(kFirst)) != std::string::npos)
            DestroyWindow(window.main);
    });
    EXPECT_EQ(code, 3) << run.Output();
    EXPECT_NE(run.Output().find("qm487-watch: the window went away"), std::string::npos) << run.Output();
}

// --profile picks one copy's window by its title, in any letter case.
TEST(Qm487Watch, CloseSendsTheCloseCommandToTheChosenProfilesWindow) {
    StandIn window(kFirst);
    StandIn profile(kFirst, L"QM487 \x2013 Rig 2");
    WatchRun run("--profile \"rig 2\" --close --wait 10");
    EXPECT_EQ(run.PumpUntilEnd([] {}), 0) << run.Output();
    EXPECT_FALSE(IsWindow(profile.main));
    EXPECT_TRUE(IsWindow(window.main));
    WatchRun second("--close --wait 10");
    EXPECT_EQ(second.PumpUntilEnd([] {}), 0) << second.Output();
    EXPECT_FALSE(IsWindow(window.main));
}

TEST(Qm487Watch, NoWindowIsReported) {
    WatchRun run("--seconds 1 --wait 0.3");
    const int code = run.PumpUntilEnd([] {});
    EXPECT_EQ(code, 1) << run.Output();
    EXPECT_NE(run.Output().find("no window \"QM487\""), std::string::npos) << run.Output();
}

}  // namespace
