// The MQTT publisher's figures (run under Wine by scripts/measure-mqtt.sh
// against a local broker): the cost of handing a reading on, on the window's
// thread, the messages per second the broker acknowledges, and the time a
// stop takes with a connected broker. Prints; judges nothing.
//   qm487-bench-mqtt.exe mqtt://127.0.0.1:PORT [SECONDS]
#include "instrument/line_encoder.h"
#include "mqtt/mqtt_feed.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

class BenchHost : public CMqttFeed::Host, public CTimerHost {
public:
    HWND NotifyWindow() const override { return nullptr; }
    unsigned ChannelsWithAlarmLimits() const override { return 0; }
    std::string ProfileName() const override { return std::string(); }
    std::string SettingsPath() const override { return "qm487cfg.ini"; }
    UINT_PTR SetTimer(UINT_PTR id, UINT) override { return id; }
    void KillTimer(UINT_PTR) override {}
};

// Instrument 4660 has sent a value on channels 1 to 8.
void HearEveryChannel(CInstrument& instrument) {
    for (int c = 1; c <= 8; ++c) {
        InstrumentReading r;
        r.channel = c;
        r.value = 20.0 + c / 10.0;
        r.serialNumber = 4660;
        for (unsigned char b : EncodeLineOrThrow(r))
            instrument.OnPortChar(b);
    }
}

double Us(LONGLONG ticks, LONGLONG frequency) {
    return 1e6 * static_cast<double>(ticks) / static_cast<double>(frequency);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qm487-bench-mqtt mqtt://host:port [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    BenchHost host;
    CInstrument instrument(host);
    HearEveryChannel(instrument);
    CMqttFeed feed(host);
    MqttSettings settings;
    settings.bEnabled = TRUE;
    settings.strUrl = argv[1];
    settings.bDiscovery = FALSE;
    feed.ApplySettings(settings);
    feed.OnReading(instrument, 1);  // the instrument is known: the thread connects
    const ULONGLONG connectDeadline = GetTickCount64() + 10000;
    while (!feed.Publisher().State().bConnected && GetTickCount64() < connectDeadline)
        Sleep(10);
    if (!feed.Publisher().State().bConnected) {
        std::fprintf(stderr, "qm487-bench-mqtt: no connection to %s\n", argv[1]);
        return 1;
    }

    // A reading handed on by the instrument, one call at a time.
    std::vector<double> costs;
    for (int i = 0; i < 20000; ++i) {
        QueryPerformanceCounter(&t0);
        feed.OnReading(instrument, 1 + i % 8);
        QueryPerformanceCounter(&t1);
        costs.push_back(Us(t1.QuadPart - t0.QuadPart, frequency.QuadPart));
    }
    std::sort(costs.begin(), costs.end());
    std::printf("hand-on on the window thread: median %.2f us, 99th percentile %.2f us, max %.1f us\n",
                costs[costs.size() / 2], costs[costs.size() * 99 / 100], costs.back());

    // As many readings as the broker takes: each channel's slot keeps the
    // latest, so what goes out is what the connection carries.
    const std::uint64_t before = feed.Publisher().State().nPublished;
    const ULONGLONG start = GetTickCount64();
    std::uint64_t handed = 0;
    while (GetTickCount64() - start < static_cast<ULONGLONG>(seconds) * 1000) {
        feed.OnReading(instrument, 1 + static_cast<int>(handed % 8));
        ++handed;
        if (handed % 64 == 0)
            Sleep(0);
    }
    const double elapsed = (GetTickCount64() - start) / 1000.0;
    const std::uint64_t acked = feed.Publisher().State().nPublished - before;
    std::printf("to the broker, QoS 1: %.0f messages/s acknowledged over %.1f s (%.0f readings/s handed on)\n",
                acked / elapsed, elapsed, handed / elapsed);

    QueryPerformanceCounter(&t0);
    feed.Stop();
    QueryPerformanceCounter(&t1);
    std::printf("stop with a connected broker: %.1f ms\n", Us(t1.QuadPart - t0.QuadPart, frequency.QuadPart) / 1000.0);
    return 0;
}
