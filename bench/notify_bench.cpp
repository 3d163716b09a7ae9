// Figures of the notifications' outbox: messages written per second, each
// on the disk before the next (the cost of "nothing lost"), an outbox of
// them read back, and messages per second from Post to taken by a way that
// answers at once (the sending thread, the outbox's records and its
// rewrites), and how long the window's Post waits while the sending thread
// works through a backlog of BACKLOG megabytes left by a run whose ways
// failed. Prints figures only.
//   qm487-bench-notify [DIR (the temp folder)] [MESSAGES (1000)] [BACKLOG (40)]
#include "notify/notify_outbox.h"
#include "notify/notify_sender.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

    // The backlog written as a run would have left it, without a flush per
    // message, which would take minutes.
    const int backlogMb = argc > 3 ? std::atoi(argv[3]) : 40;
    {
        std::ofstream out(path, std::ios::binary);
        for (std::uint64_t n = 1; out.tellp() < static_cast<std::streamoff>(backlogMb) << 20; ++n) {
            Notification m = Message(static_cast<int>(n));
            m.nId = n;
            m.strText.assign(4000, 'x');
            out << CNotifyOutbox::MessageRecord(m);
        }
    }
    const auto loading = Clock::now();
    CNotifySender drained(path);
    const double loaded = Seconds(loading);
    const std::size_t backlog = drained.PendingCount();
    std::vector<std::unique_ptr<INotifyWay>> way;
    way.push_back(std::make_unique<InstantWay>());
    drained.Start(std::move(way), nullptr);
    const int posts = 100;
    double longest = 0.0, total = 0.0;
    for (int i = 0; i < posts; ++i) {
        const auto post = Clock::now();
        drained.Post(Message(i));
        const double wait = Seconds(post);
        longest = std::max(longest, wait);
        total += wait;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("backlog: %d MB read at the start in %.0f ms, %zu pending; %d posts while it drains: longest %.1f ms, "
                "mean %.1f ms; %zu pending after them, outbox %llu bytes\n",
                backlogMb, loaded * 1e3, backlog, posts, longest * 1e3, total / posts * 1e3, drained.PendingCount(),
                static_cast<unsigned long long>(std::filesystem::file_size(path, ignored)));
    drained.Stop();
    std::filesystem::remove(path, ignored);
    return 0;
}
