// Figures of the notifications' outbox: messages written per second, each
// on the disk before the next (the cost of "nothing lost"), an outbox of
// them read back, and messages per second from Post to taken by a way that
// answers at once (the sending thread, the outbox's records and its
// rewrites). Prints figures only.
//   qm487-bench-notify [DIR (the temp folder)] [MESSAGES (1000)]
#include "notify/notify_outbox.h"
#include "notify/notify_sender.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

Notification Message(int n) {
    Notification m;
    m.event = NotifyEvent::kAlarmRaised;
    m.strPc = "HALA-2";
    m.nInstrument = 7;
    m.nChannel = n % 9;
    m.strValue = "25.4 \xC2\xB0" "C";
    m.strLimit = "25.0 \xC2\xB0" "C";
    m.strTime = "2026-12-08 14:03:12 +01:00";
    m.strSubject = "QM487 HALA-2: Temperatura 3 powy\xC5\xBC" "ej 25.0 \xC2\xB0" "C";
    m.strText = std::string(400, 'x') + "\n";
    return m;
}

class InstantWay : public INotifyWay {
public:
    const char* Name() const override { return "e-mail"; }
    DeliveryResult Deliver(const Notification&) override { return DeliveryResult{DeliveryResult::kDelivered, "250"}; }
    void Cancel() override {}
};

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::filesystem::path path = dir / "qm487-bench.outbox";
    std::error_code ignored;
    std::filesystem::remove(path, ignored);

    {
        CNotifyOutbox outbox(path);
        outbox.Load();
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            Notification m = Message(i);
            outbox.Post(m);
        }
        const double s = Seconds(start);
        std::printf("outbox: %d messages written and flushed to disk in %.3f s: %.0f messages/s, %llu bytes\n", count,
                    s, count / s, static_cast<unsigned long long>(outbox.FileBytes()));
    }
    {
        CNotifyOutbox outbox(path);
        const auto start = Clock::now();
        outbox.Load();
        std::printf("outbox: %zu pending messages read in %.3f ms\n", outbox.Pending().size(), Seconds(start) * 1e3);
    }
    std::filesystem::remove(path, ignored);

    CNotifySender sender(path);
    std::vector<std::unique_ptr<INotifyWay>> ways;
    ways.push_back(std::make_unique<InstantWay>());
    sender.Start(std::move(ways), nullptr);
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        sender.Post(Message(i));
    while (sender.PendingCount() > 0 && Seconds(start) < 600)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double s = Seconds(start);
    std::printf("sender: %d messages posted and delivered in %.3f s: %.0f messages/s\n", count, s, count / s);
    sender.Stop();
    std::filesystem::remove(path, ignored);
    return 0;
}
