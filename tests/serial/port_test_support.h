// Helpers for the driver tests: an owner window that records WM_PORT_CHAR,
// the far end of a port pair, bounded message pumping and a deadlock guard.
#pragma once

#include <windows.h>

#include "framework/wnd.h"
#include "serial/com_port.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

// The driver with its inner state visible to the tests.
struct ProbedPort : CComPort {
    using CComPort::m_dcb;
    using CComPort::m_hIoEvent;
    using CComPort::m_hPort;
    using CComPort::m_hShutdownEvent;
    using CComPort::m_nReaderTurns;
    using CComPort::m_ov;
    using CComPort::m_reader;
};

// Hidden window that keeps every WM_PORT_CHAR it is sent.
class RecordingOwner : public CWnd {
public:
    RecordingOwner() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Qm487PortTestOwner";
        RegisterClassA(&wc);  // fails harmlessly when already registered
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RecordingOwner() override {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }

    // A posted message the tests send to see when posted messages run.
    static constexpr UINT kPosted = WM_APP + 7;

    std::string bytes;
    int nonZeroLParams = 0;
    int posted = 0;
    std::function<void()> onChar;  // runs inside the handler, after recording

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RecordingOwner*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (self != nullptr && msg == kPosted) {
            ++self->posted;
            return 0;
        }
        if (msg != WM_PORT_CHAR || self == nullptr)
            return ::DefWindowProcA(hWnd, msg, wParam, lParam);
        self->bytes += static_cast<char>(wParam);
        self->nonZeroLParams += lParam != 0;
        if (self->onChar)
            self->onChar();
        return 0;
    }
};

// Dispatches this thread's messages until done() or the time is up.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                  QS_ALLINPUT);
    }
}

// Ends the process when the guarded scope has not been left in time: a
// deadlock fails the run instead of holding it up.
class Watchdog {
public:
    Watchdog(DWORD timeoutMs, const char* what) : m_what(what) {
        CreateTimerQueueTimer(&m_hTimer, nullptr, Expired, this, timeoutMs, 0, WT_EXECUTEONLYONCE);
    }
    ~Watchdog() { DeleteTimerQueueTimer(nullptr, m_hTimer, INVALID_HANDLE_VALUE); }

private:
    static void CALLBACK Expired(PVOID pv, BOOLEAN) {
        std::fprintf(stderr, "DEADLOCK: %s did not finish in time\n", static_cast<Watchdog*>(pv)->m_what);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    const char* m_what;
    HANDLE m_hTimer = nullptr;
};

// The other end of a port pair. Writes run on their own thread, so the test
// thread can keep dispatching while a large write is under way.
class FarEnd {
public:
    explicit FarEnd(int nPort) {
        const std::string path = "\\\\.\\COM" + std::to_string(nPort);
        m_hPort = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~FarEnd() {
        Finish(5000);
        CloseHandle(m_hPort);
    }
    bool IsOpen() const { return m_hPort != INVALID_HANDLE_VALUE; }
    void BeginWrite(std::string data) {
        Finish(5000);
        m_data = std::move(data);
        m_written = 0;
        m_hWriter = CreateThread(nullptr, 0, Write, this, 0, nullptr);
    }
    // Waits at most timeoutMs for the write; true when all of it was written.
    bool Finish(DWORD timeoutMs) {
        if (m_hWriter == nullptr)
            return m_written == m_data.size();
        if (WaitForSingleObject(m_hWriter, timeoutMs) == WAIT_TIMEOUT) {
            CancelSynchronousIo(m_hWriter);
            WaitForSingleObject(m_hWriter, 5000);
        }
        CloseHandle(m_hWriter);
        m_hWriter = nullptr;
        return m_written == m_data.size();
    }
    bool WriteNow(std::string data) {
        BeginWrite(std::move(data));
        return Finish(5000);
    }

private:
    static DWORD WINAPI Write(LPVOID pv) {
        auto* self = static_cast<FarEnd*>(pv);
        WriteFile(self->m_hPort, self->m_data.data(), static_cast<DWORD>(self->m_data.size()), &self->m_written,
                  nullptr);
        return 0;
    }
    HANDLE m_hPort;
    HANDLE m_hWriter = nullptr;
    std::string m_data;
    DWORD m_written = 0;
};

// The reader purges the port as it starts, so a byte written too early is
// lost. Once one written now arrives, the reader is listening.
inline bool WaitUntilReaderListens(RecordingOwner& owner, FarEnd& farEnd) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (farEnd.WriteNow("~") && PumpUntil([&] { return !owner.bytes.empty(); }, 500)) {
            owner.bytes.clear();
            return true;
        }
    }
    return false;
}

inline bool HandleIsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

// What the reader did while this thread dispatched messages for about ms.
struct ReaderTurns {
    LONG turns;           // turns of the reader's loop
    ULONGLONG elapsedMs;  // time that really passed; more than asked on a busy machine
};

inline ReaderTurns CountReaderTurnsWhilePumping(ProbedPort& port, DWORD ms) {
    const ULONGLONG start = GetTickCount64();
    const LONG before = port.m_nReaderTurns.load();
    PumpUntil([] { return false; }, ms);
    const LONG after = port.m_nReaderTurns.load();
    return {after - before, GetTickCount64() - start};
}

// Most turns a reader that rests 50 ms after each wait that brings nothing
// may make in elapsedMs: at most elapsedMs / 50 + 1, and a quarter more and a
// few for waits that end well without bytes. A busy machine only makes the
// turns longer. Without the rest, the reader turns 30 (port gone) to 90 (idle)
// times a second under Wine, and thousands on Windows.
inline LONG MostRestingReaderTurns(ULONGLONG elapsedMs) {
    return static_cast<LONG>(elapsedMs / 40 + 3);
}
