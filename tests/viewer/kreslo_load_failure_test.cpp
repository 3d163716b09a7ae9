// No memory while Kreslo reads a file: the failure is caught on the thread
// that meets it and told in the window; the program goes on and can open
// the file once there is memory again. The failure is made by this test
// executable's own operator new, which refuses large blocks to every thread
// but the test's while it is armed.
#include "tests/viewer/kreslo_test_log.h"
#include "viewer/app/chart_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>

namespace {

std::atomic<DWORD> g_allowedThread{0};  // armed while not 0

}  // namespace

void* operator new(std::size_t size) {
    const DWORD allowed = g_allowedThread.load();
    if (allowed != 0 && size >= 4096 && GetCurrentThreadId() != allowed)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

namespace {

namespace fs = std::filesystem;

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Answers the first message box of this process with OK; keeps its text.
struct BoxAnswerer {
    wchar_t text[512] = {};
    std::atomic<bool> answered{false}, stop{false};
    std::thread thread;
    BoxAnswerer() : thread([this] { Run(); }) {}
    ~BoxAnswerer() {
        stop = true;
        thread.join();
    }
    void Run() {
        const DWORD self = GetCurrentProcessId();
        for (int i = 0; i < 3000 && !stop; ++i, Sleep(10)) {
            HWND box = nullptr;
            for (HWND h = FindWindowW(L"#32770", nullptr); h; h = FindWindowExW(nullptr, h, L"#32770", nullptr)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                if (owner == self && IsWindowVisible(h))
                    box = h;
            }
            if (box == nullptr)
                continue;
            for (HWND t = FindWindowExW(box, nullptr, L"Static", nullptr); t; t = FindWindowExW(box, t, L"Static", nullptr))
                if (GetWindowTextLengthW(t) > 10)
                    GetWindowTextW(t, text, 512);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            answered = true;
            return;
        }
    }
};

bool WaitLoaded(CChartWindow& window) {
    const ULONGLONG end = GetTickCount64() + 60000;
    while (window.IsLoading()) {
        if (GetTickCount64() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    Pump();
    return true;
}

std::wstring StatusText(CChartWindow& window) {
    wchar_t text[512] = {};
    GetWindowTextW(GetDlgItem(window, IDC_KRESLO_STATUS), text, 512);
    return text;
}

}  // namespace

TEST(KresloLoading, NoMemoryOnTheLoaderIsToldAndTheProgramGoesOn) {
    const fs::path dir = fs::temp_directory_path() / ("qm487_kreslo_nomem_" + std::to_string(GetTickCount64()));
    fs::create_directories(dir);
    const fs::path path = dir / "day.kvf";
    {
        const std::string log = kreslotest::Log(0, 3000);
        std::ofstream(path, std::ios::binary).write(log.data(), static_cast<std::streamsize>(log.size()));
    }
    KresloSettings settings = {};
    settings.nInterval = 10;
    CChartWindow window(settings);
    ASSERT_TRUE(window.Create());
    ShowWindow(window, SW_SHOW);
    {
        BoxAnswerer answerer;
        g_allowedThread = GetCurrentThreadId();
        window.OpenFile(path.wstring());
        const bool loaded = WaitLoaded(window);
        g_allowedThread = 0;
        ASSERT_TRUE(loaded);
        const ULONGLONG end = GetTickCount64() + 30000;
        while (!answerer.answered && GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            Pump();
        }
        ASSERT_TRUE(answerer.answered) << "no message box";
        EXPECT_NE(std::wstring(answerer.text).find(L"pami\x119" L"ci"), std::wstring::npos) << answerer.text;
        EXPECT_NE(std::wstring(answerer.text).find(L"day.kvf"), std::wstring::npos) << answerer.text;
    }
    EXPECT_EQ(window.Document(), nullptr);
    EXPECT_NE(StatusText(window).find(L"Nie otwarto pliku"), std::wstring::npos) << StatusText(window);

    // Memory again: the same file opens.
    window.OpenFile(path.wstring());
    ASSERT_TRUE(WaitLoaded(window));
    ASSERT_NE(window.Document(), nullptr);
    EXPECT_EQ(window.Document()->Records(), 3000u);
    window.DestroyWindow();
    std::error_code ec;
    fs::remove_all(dir, ec);
}
