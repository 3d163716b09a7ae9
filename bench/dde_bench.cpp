// Measures the DDE service; run by scripts/measure-dde.sh. Prints
// "key=value" lines and judges nothing.
//
//   qm487-bench-dde latency LINES COMPORT
//     With QM487.exe running and reading the other end of the pair: writes
//     instrument lines for channel 3 into COMPORT, each with a new value, and
//     times from the write of the line's CR byte until the advise data with
//     that value arrives here (a client in another process than the server).
//   qm487-bench-dde notify ROUNDS
//     Runs the DDE server in this process and starts a client process
//     ("links") holding an advise link on each of the 36 items, then times
//     NotifyAll rounds.
//   qm487-bench-dde links SERIAL SECONDS
//     The client of "notify": 36 links, one DDEML instance each.
//   qm487-bench-dde close
//     Closes the running QM487 window.
#include "dde_client.h"

#include "exchange/dde_items.h"
#include "exchange/dde_server.h"
#include "instrument/quantity_format.h"
#include "instrument/line_encoder.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const long kSerial = 4660;
const wchar_t kLinkedEvent[] = L"qm487-bench-dde-linked";

double Ms(LONGLONG ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

void Pump(DWORD ms) { PumpMessages(ms); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

void PrintFigures(const char* name, const std::vector<double>& ms) {
    std::printf("%s_count=%zu\n%s_median_ms=%.3f\n%s_p90_ms=%.3f\n%s_p99_ms=%.3f\n%s_max_ms=%.3f\n", name, ms.size(),
                name, Percentile(ms, 0.5), name, Percentile(ms, 0.9), name, Percentile(ms, 0.99), name,
                Percentile(ms, 1.0));
}

// --- latency ----------------------------------------------------------------

std::string g_expected;
LONGLONG g_arrival = 0;

HDDEDATA CALLBACK LatencyCallback(UINT uType, UINT, HCONV, HSZ, HSZ, HDDEDATA hData, ULONG_PTR, ULONG_PTR) {
    if (uType != XTYP_ADVDATA)
        return nullptr;
    if (g_arrival == 0 && DdeDataText(hData) == g_expected)
        g_arrival = Now();
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

class Port {
public:
    explicit Port(const std::string& name) {
        const std::string path = "\\\\.\\" + name;
        m_h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~Port() {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    bool Write(const unsigned char* p, std::size_t n) {
        DWORD written = 0;
        return WriteFile(m_h, p, static_cast<DWORD>(n), &written, nullptr) && written == n;
    }

private:
    HANDLE m_h;
};

std::vector<unsigned char> LineFor(int channel, double value) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    r.serialNumber = kSerial;
    return EncodeLineOrThrow(r);
}

int Latency(int lines, const std::string& comPort) {
    Port port(comPort);
    if (!port.IsOpen()) {
        std::fprintf(stderr, "cannot open %s\n", comPort.c_str());
        return 1;
    }
    CDdeClientInstance client(LatencyCallback);
    CDdeString service(client.Id(), dde::kServiceName);
    const std::string topicName = dde::TopicName(3, kSerial);
    CDdeString topic(client.Id(), topicName.c_str());
    CDdeString item(client.Id(), "Wynik");
    // Lines until the program publishes the instrument.
    CDdeConversation conv;
    for (int attempt = 0; attempt < 300 && conv.Get() == nullptr; ++attempt) {
        const std::vector<unsigned char> line = LineFor(1, 20.0);
        port.Write(line.data(), line.size());
        Pump(100);
        conv = CDdeConversation(client.Id(), service.Get(), topic.Get());
    }
    if (conv.Get() == nullptr ||
        DdeClientTransaction(nullptr, 0, conv.Get(), item.Get(), CF_TEXT, XTYP_ADVSTART, 5000, nullptr) == nullptr) {
        std::fprintf(stderr, "no advise link to %s Wynik\n", topicName.c_str());
        return 1;
    }
    Pump(200);
    std::vector<double> ms;
    int missed = 0;
    for (int k = 0; k < lines; ++k) {
        const double value = 100.0 + (k % 8000) / 10.0;
        const std::vector<unsigned char> line = LineFor(3, value);
        g_expected = FormatCutTenths(static_cast<double>(static_cast<long>(value * 10.0 + 0.5)) * 0.1);
        g_arrival = 0;
        port.Write(line.data(), line.size() - 1);
        Pump(30);  // the line's first bytes are in before its end
        const LONGLONG start = Now();
        port.Write(&line.back(), 1);
        const ULONGLONG deadline = GetTickCount64() + 2000;
        while (g_arrival == 0 && GetTickCount64() < deadline) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            if (g_arrival == 0)
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        if (g_arrival == 0)
            ++missed;
        else
            ms.push_back(Ms(g_arrival - start));
    }
    PrintFigures("cr_to_advise", ms);
    std::printf("cr_to_advise_missed=%d\n", missed);
    return 0;
}

// --- notify -----------------------------------------------------------------

int Links(long serial, int seconds) {
    struct Link {
        std::unique_ptr<CDdeClientInstance> instance;
        std::unique_ptr<CDdeString> service, topic, item;
        CDdeConversation conv;
    };
    std::vector<std::unique_ptr<Link>> links;
    int linked = 0;
    for (int c = 0; c < dde::kChannels; ++c) {
        for (int i = 0; i < dde::kItems; ++i) {
            links.push_back(std::make_unique<Link>());
            Link& l = *links.back();
            l.instance = std::make_unique<CDdeClientInstance>();
            const DWORD id = l.instance->Id();
            l.service = std::make_unique<CDdeString>(id, dde::kServiceName);
            l.topic = std::make_unique<CDdeString>(id, dde::TopicName(c, serial).c_str());
            l.item = std::make_unique<CDdeString>(id, dde::kItemNames[i]);
            l.conv = CDdeConversation(id, l.service->Get(), l.topic->Get());
            if (l.conv.Get() != nullptr &&
                DdeClientTransaction(nullptr, 0, l.conv.Get(), l.item->Get(), CF_TEXT, XTYP_ADVSTART, 5000, nullptr))
                ++linked;
        }
    }
    std::printf("linked %d\n", linked);
    std::fflush(stdout);
    if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, kLinkedEvent)) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    const ULONGLONG end = GetTickCount64() + seconds * 1000ULL;
    while (GetTickCount64() < end) {
        Pump(100);
        bool any = false;
        for (const auto& l : links)
            any = any || l->conv.IsConnected();
        if (!any)
            break;
    }
    return 0;
}

int Notify(int rounds) {
    CChannelSet channels;
    for (int c = 1; c < dde::kChannels; ++c)
        channels.StoreValue(c, 20.0 + c, FALSE);
    channels.StoreMean(FALSE);  // the first mean after start is none; the second is
    channels.StoreMean(FALSE);
    CDdeServer server;
    server.SetChannels(&channels, nullptr);
    if (!server.Start(kSerial)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    std::vector<double> idle;
    for (int r = 0; r < rounds; ++r) {
        const LONGLONG t0 = Now();
        server.NotifyAll();
        idle.push_back(Ms(Now() - t0));
    }

    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, kLinkedEvent);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(self) + L"\" links 4660 600";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "the client did not start\n");
        return 1;
    }
    // The client links while this thread answers; it prints "linked 36"
    // and sets the event.
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (GetTickCount64() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (MsgWaitForMultipleObjects(1, &ready, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
    }
    CloseHandle(ready);
    Pump(500);  // the new links' first values
    std::vector<double> linked;
    for (int r = 0; r < rounds; ++r) {
        for (int c = 1; c < dde::kChannels; ++c)
            channels.StoreValue(c, 20.0 + c + (r % 100) / 10.0, FALSE);
        const LONGLONG t0 = Now();
        server.NotifyAll();
        linked.push_back(Ms(Now() - t0));
        Pump(5);  // the client's acknowledgements, if any
    }
    server.Stop();
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    PrintFigures("notifyall_no_links", idle);
    PrintFigures("notifyall_36_links", linked);
    return 0;
}

int Close() {
    HWND hWnd = FindWindowW(L"#32770", L"QM487");
    if (hWnd == nullptr)
        return 1;
    PostMessageW(hWnd, WM_CLOSE, 0, 0);
    for (int i = 0; i < 200 && IsWindow(hWnd); ++i)
        Sleep(50);
    return IsWindow(hWnd) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "latency")
        return Latency(std::atoi(args[1].c_str()), args[2]);
    if (args.size() == 2 && args[0] == "notify")
        return Notify(std::atoi(args[1].c_str()));
    if (args.size() == 3 && args[0] == "links")
        return Links(std::atol(args[1].c_str()), std::atoi(args[2].c_str()));
    if (args.size() == 1 && args[0] == "close")
        return Close();
    std::fprintf(stderr, "usage: qm487-bench-dde latency LINES COMPORT | notify ROUNDS | close\n");
    return 2;
}
