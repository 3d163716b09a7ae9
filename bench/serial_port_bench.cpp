// Figures of the serial port driver on the Wine bench's pair COM11 <-> COM12:
//  - CPU used by an open port whose reader thread waits for bytes that do
//    not come (this process; and the wineserver when its pid is given in
//    QM487_WINESERVER_PID, read from /proc through drive Z:), and the turns
//    its reader's loop made meanwhile;
//  - latency from a byte written into COM12 to its WM_PORT_CHAR at COM11.
// Prints figures; judges nothing.
//   qm487-bench-serial.exe [idle seconds (10)] [latency samples (1000)]
#include "bench/bench_clock.h"
#include "framework/wnd.h"
#include "serial/com_port.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class TimingOwner : public CWnd {
public:
    TimingOwner() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Qm487SerialBenchOwner";
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TimingOwner() override {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }

    int received = 0;
    LONGLONG lastArrival = 0;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TimingOwner*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (msg != WM_PORT_CHAR || self == nullptr)
            return ::DefWindowProcA(hWnd, msg, wParam, lParam);
        self->lastArrival = Ticks();
        ++self->received;
        return 0;
    }
};

// The driver with its count of reader loop turns readable.
struct CountedPort : CComPort {
    LONG ReaderTurns() const { return m_nReaderTurns; }
};

// Dispatches messages until the count of received bytes reaches n or the time is up.
bool PumpUntilReceived(TimingOwner& owner, int n, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        const ULONGLONG now = GetTickCount64();
        if (owner.received >= n || now >= deadline)
            return owner.received >= n;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

// utime + stime of a Unix process from /proc/<pid>/stat, in seconds; < 0 if unreadable.
double UnixProcessCpuSeconds(const char* pid, double clockTicks) {
    const std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return -1;
    char buf[1024] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    const char* p = std::strrchr(buf, ')');  // the command name may hold spaces
    unsigned long long utime = 0, stime = 0;
    // After ")" come state (field 3) ... utime (14) and stime (15).
    if (p == nullptr || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return (utime + stime) / clockTicks;
}

void MeasureIdle(TimingOwner& owner, const CountedPort& port, int seconds) {
    const char* serverPid = std::getenv("QM487_WINESERVER_PID");
    const char* clk = std::getenv("QM487_CLK_TCK");
    const double clockTicks = clk != nullptr ? std::atof(clk) : 100.0;
    const double server0 = serverPid != nullptr ? UnixProcessCpuSeconds(serverPid, clockTicks) : -1;
    const double cpu0 = ProcessCpuSeconds();
    const LONG turns0 = port.ReaderTurns();
    PumpUntilReceived(owner, owner.received + 1, seconds * 1000u);  // nothing comes: just dispatch and sleep
    const double cpu = ProcessCpuSeconds() - cpu0;
    const LONG turns = port.ReaderTurns() - turns0;
    std::printf("idle open port, %d s: process CPU %.3f s (%.2f%% of one core)\n", seconds, cpu,
                100.0 * cpu / seconds);
    std::printf("idle open port, %d s: reader loop turns %ld (%.1f a second)\n", seconds,
                static_cast<long>(turns), static_cast<double>(turns) / seconds);
    const double server1 = serverPid != nullptr ? UnixProcessCpuSeconds(serverPid, clockTicks) : -1;
    if (server0 >= 0 && server1 >= 0)
        std::printf("idle open port, %d s: wineserver CPU %.3f s (%.2f%% of one core)\n", seconds,
                    server1 - server0, 100.0 * (server1 - server0) / seconds);
    else
        std::printf("idle open port: wineserver CPU not measured (QM487_WINESERVER_PID not set or unreadable)\n");
}

void MeasureLatency(TimingOwner& owner, HANDLE hFar, int samples) {
    const double ticksPerMs = TicksPerMs();
    // Random gaps, so that writes do not keep the same phase to the reader's wait.
    std::mt19937 random(487);
    std::uniform_int_distribution<int> gapMs(0, 60);
    std::vector<double> latencies;
    int lost = 0;
    for (int i = 0; i < samples; ++i) {
        Sleep(gapMs(random));
        const int expected = owner.received + 1;
        const char byte = static_cast<char>('0' + i % 10);
        DWORD written = 0;
        const LONGLONG start = Ticks();
        WriteFile(hFar, &byte, 1, &written, nullptr);
        if (PumpUntilReceived(owner, expected, 2000))
            latencies.push_back((owner.lastArrival - start) / ticksPerMs);
        else
            ++lost;
    }
    if (latencies.empty()) {
        std::printf("latency: no byte arrived\n");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double q) { return latencies[static_cast<size_t>(q * (latencies.size() - 1) + 0.5)]; };
    double sum = 0;
    for (double l : latencies)
        sum += l;
    std::printf("latency COM12 write -> WM_PORT_CHAR, %zu bytes one at a time: median %.2f ms, 99th percentile "
                "%.2f ms, min %.2f ms, mean %.2f ms, max %.2f ms, lost %d\n",
                latencies.size(), at(0.5), at(0.99), latencies.front(), sum / latencies.size(), latencies.back(),
                lost);
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int samples = argc > 2 ? std::atoi(argv[2]) : 1000;

    TimingOwner owner;
    HANDLE hFar = CreateFileA("\\\\.\\COM12", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CountedPort* pPort = new CountedPort;
    if (hFar == INVALID_HANDLE_VALUE || !pPort->Open(&owner, 11, 300, 'N', 7, 1, EV_RXCHAR) ||
        !pPort->StartMonitoring()) {
        std::printf("cannot open COM11/COM12\n");
        return 1;
    }
    // The reader purges the port as it starts; wait until a byte gets through.
    DWORD written = 0;
    for (int i = 0; i < 20 && owner.received == 0; ++i) {
        WriteFile(hFar, "~", 1, &written, nullptr);
        PumpUntilReceived(owner, 1, 500);
    }
    PumpUntilReceived(owner, owner.received + 1, 200);

    MeasureIdle(owner, *pPort, idleSeconds);
    MeasureLatency(owner, hFar, samples);

    delete pPort;
    CloseHandle(hFar);
    return 0;
}
