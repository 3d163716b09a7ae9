#include "sim_port.h"

#include "serial/port_lines.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace qm487sim {

namespace {

HANDLE g_stopEvent = nullptr;   // set by the console handler
HANDLE g_doneEvent = nullptr;   // set when the run has cleaned up
HANDLE g_mainThread = nullptr;  // to cancel a write it is blocked in

std::string LastError() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = text ? text : "";
    if (text)
        LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(code) : s + " (error " + std::to_string(code) + ")";
}

BOOL WINAPI OnConsoleEvent(DWORD type) {
    SetEvent(g_stopEvent);
    if (g_mainThread)
        CancelSynchronousIo(g_mainThread);
    // For these Windows ends the process when we return: give the run a
    // moment to let the port finish.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_doneEvent, 3000);
    return TRUE;
}

// "5" and "COM5" (any case) name \\.\COM5, which also reaches ports above 9.
std::string DeviceName(const std::string& name) {
    std::string digits = name;
    if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(name[2])) == 'M')
        digits = name.substr(3);
    const bool number = !digits.empty() && digits.size() <= 3 &&
                        std::all_of(digits.begin(), digits.end(),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    return number ? "\\\\.\\COM" + digits : name;
}

class CComOutput : public COutput {
public:
    CComOutput(HANDLE h, std::string name) : m_handle(h), m_name(std::move(name)) {}
    ~CComOutput() override { CloseHandle(m_handle); }

    bool Write(const unsigned char* data, std::size_t n, std::string& error) override {
        while (n > 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 65536));
            if (!WriteFile(m_handle, data, chunk, &written, nullptr)) {
                if (GetLastError() == ERROR_OPERATION_ABORTED && StopRequested())
                    return true;  // Ctrl-C cancelled a blocked write
                error = "cannot write to " + m_name + ": " + LastError();
                return false;
            }
            if (written == 0) {
                if (StopRequested())
                    return true;
                error = "cannot write to " + m_name + ": timed out (is the line held up?)";
                return false;
            }
            data += written;
            n -= written;
        }
        return true;
    }

    // Waits while the output queue keeps shrinking, and after Ctrl-C not
    // long: a fast run leaves minutes of 300 baud queued. FlushFileBuffers
    // would also wait for good on a line that is held up.
    void Drain() override {
        using namespace std::chrono;
        DWORD before = MAXDWORD;
        const steady_clock::time_point start = steady_clock::now();
        steady_clock::time_point progress = start;
        for (;;) {
            COMSTAT stat;
            DWORD errors = 0;
            if (!ClearCommError(m_handle, &errors, &stat) || stat.cbOutQue == 0)
                return;
            const steady_clock::time_point now = steady_clock::now();
            if (stat.cbOutQue != before) {
                before = stat.cbOutQue;
                progress = now;
            }
            if (now - progress > seconds(1) || (StopRequested() && now - start > seconds(2))) {
                PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR);
                return;
            }
            Sleep(10);
        }
    }

private:
    HANDLE m_handle;
    std::string m_name;
};

}  // namespace

std::unique_ptr<COutput> OpenPort(const std::string& name, std::string& error) {
    const std::string device = DeviceName(name);
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot open " + name + ": " + LastError();
        return nullptr;
    }
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    std::string why;
    bool ok = GetCommState(h, &dcb) && BuildCommDCBA("baud=300 parity=N data=7 stop=1", &dcb);
    if (!ok)
        why = LastError();
    if (ok) {
        // Nothing may hold the transmitter: the instrument has no handshake.
        dcb.fBinary = TRUE;
        SetPortLines(dcb, PortLines::Raised);
        ok = SetCommState(h, &dcb) != 0;
        if (!ok) {
            // Wine's COM ports on Linux pseudo-terminals refuse 7 bits once the
            // rest of the settings are already in place. The bytes are the
            // same in 8 bits: their top bit is clear.
            why = LastError();
            dcb.ByteSize = 8;
            ok = SetCommState(h, &dcb) != 0;
            if (ok)
                std::fprintf(stderr,
                             "qm487-sim: warning: %s does not take 7 data bits (%s); sending 8N1 "
                             "with the top bit clear\n",
                             name.c_str(), why.c_str());
        }
    }
    if (!ok) {
        error = "cannot set 300 baud 7N1 on " + name + ": " + why;
        CloseHandle(h);
        return nullptr;
    }
    // Generous for 300 baud, but a write can never block for good.
    COMMTIMEOUTS t;
    ZeroMemory(&t, sizeof t);
    t.WriteTotalTimeoutMultiplier = 60;
    t.WriteTotalTimeoutConstant = 5000;
    SetCommTimeouts(h, &t);
    return std::unique_ptr<COutput>(new CComOutput(h, name));
}

void InstallStopHandlers() {
    g_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_mainThread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() { return g_stopEvent && WaitForSingleObject(g_stopEvent, 0) == WAIT_OBJECT_0; }

void StopHandled() {
    if (g_doneEvent)
        SetEvent(g_doneEvent);
}

bool SleepUntil(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        if (StopRequested())
            return false;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return true;
        WaitForSingleObject(g_stopEvent, static_cast<DWORD>(std::min<long long>(left, 1000)));
    }
}

}  // namespace qm487sim
