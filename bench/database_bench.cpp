// The database sender measured under Wine; prints figures, judges nothing.
//   qm487-bench-database [URL] [QUEUED]
// 1. The window's side: QUEUED points (500,000 by default) pushed while the
//    server cannot be reached, the cost of one push as the queue grows, and
//    the memory the waiting points take.
// 2. With URL (a server with the database "qm487", as measure-database.sh
//    starts it): the points the sender delivers per second, the time one
//    request of 5,000 points takes, and the time from a push until the point
//    can be queried back.
#include "common/civil_time.h"
#include "database/db_sender.h"
#include "database/http_client.h"

#include <psapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    static LARGE_INTEGER f = [] { LARGE_INTEGER x; QueryPerformanceFrequency(&x); return x; }();
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}
LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}
// Private bytes, or the working set where they are not counted (Wine gives
// 0): waiting points are written, so they are in the working set too.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    return pmc.PrivateUsage != 0 ? pmc.PrivateUsage : pmc.WorkingSetSize;
}
DbPoint Point(std::int64_t t, int i) {
    DbPoint p = {};
    p.nTimeMs = t;
    p.dValue = 20.0 + (i % 1000) / 100.0;
    p.nSerial = 4660;
    p.nChannel = static_cast<std::uint8_t>(1 + i % 8);
    p.bHasValue = true;
    return p;
}
CDatabaseSender::Config Config(const std::string& url) {
    CDatabaseSender::Config c;
    ParseServerUrl(url, c.url);
    c.strDatabase = "qm487";
    return c;
}
bool WaitUntil(CDatabaseSender& sender, std::uint64_t sent, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (sender.State().nSent < sent)
        if (GetTickCount64() > end)
            return false;
        else
            Sleep(5);
    return true;
}

void MeasurePushes(int queued) {
    CDatabaseSender sender;
    sender.Start(Config("http://127.0.0.1:1"), nullptr, 0);  // nothing listens there
    const SIZE_T before = PrivateBytes();
    const int kSlice = 10000;
    double first = 0, last = 0, worst = 0;
    const std::int64_t t0 = UtcMillisecondsNow();
    for (int i = 0; i < queued; i += kSlice) {
        const LARGE_INTEGER a = Now();
        for (int k = i; k < i + kSlice && k < queued; ++k) {
            const LARGE_INTEGER p0 = Now();
            sender.Push(Point(t0 + k, k));
            worst = std::max(worst, Seconds(p0, Now()));
        }
        const double s = Seconds(a, Now());
        if (i == 0)
            first = s;
        last = s;
    }
    const SIZE_T after = PrivateBytes();
    const DbSendState state = sender.State();
    std::printf("window side, %d points queued with no server:\n", queued);
    std::printf("  push: %.0f ns each for the first %d, %.0f ns for the last %d, worst single push %.1f us\n",
                first / kSlice * 1e9, kSlice, last / kSlice * 1e9, kSlice, worst * 1e6);
    std::printf("  memory: %.1f MB for %zu waiting points, %.1f bytes a point (the point itself is %zu)\n",
                (after - before) / 1048576.0, state.nWaiting, double(after - before) / double(state.nWaiting),
                sizeof(DbPoint));
    const LARGE_INTEGER s0 = Now();
    sender.Stop();
    std::printf("  stop with them waiting: %.0f ms\n", Seconds(s0, Now()) * 1000);
}

void MeasureServer(const std::string& url) {
    // Throughput: a backlog sent as fast as the rules allow (5,000 a request,
    // one request a second).
    const int kBacklog = 50000;
    CDatabaseSender sender;
    const std::int64_t t0 = UtcMillisecondsNow() - 3600 * 1000;
    for (int pass = 0; pass < 1; ++pass) {
        sender.Start(Config(url), nullptr, 0);
        for (int i = 0; i < kBacklog; ++i)
            sender.Push(Point(t0 + i, i));
        const LARGE_INTEGER a = Now();
        if (!WaitUntil(sender, kBacklog, 120000)) {
            std::printf("server: the backlog was not sent in 120 s (%llu sent)\n",
                        (unsigned long long)sender.State().nSent);
            return;
        }
        const double s = Seconds(a, Now());
        std::printf("server %s:\n  backlog of %d points delivered in %.2f s: %.0f points/s\n", url.c_str(), kBacklog,
                    s, kBacklog / s);
    }
    sender.Stop();

    // One request of 5,000 points, formatted and posted directly.
    DbServerUrl parsed;
    ParseServerUrl(url, parsed);
    CHttpClient http(parsed, std::string());
    std::vector<double> times;
    for (int r = 0; r < 10; ++r) {
        std::string body;
        const LARGE_INTEGER f0 = Now();
        for (int i = 0; i < 5000; ++i)
            AppendPointLine(Point(t0 + 100000 + r * 5000 + i, i), body);
        const LARGE_INTEGER f1 = Now();
        const DbHttpAnswer answer = http.Post(WritePath(parsed, "qm487"), body);
        const LARGE_INTEGER f2 = Now();
        if (answer.nStatus != 204)
            std::printf("  request answered %d\n", answer.nStatus);
        times.push_back(Seconds(f1, f2));
        if (r == 0)
            std::printf("  formatting 5,000 points: %.2f ms (%zu bytes)\n", Seconds(f0, f1) * 1000, body.size());
    }
    std::sort(times.begin(), times.end());
    std::printf("  one request of 5,000 points: median %.1f ms, max %.1f ms (so the server could take %.0f points/s)\n",
                times[5] * 1000, times.back() * 1000, 5000 / times[5]);

    // Push to queryable, with the sender running as the program runs it.
    sender.Start(Config(url), nullptr, 0);
    std::vector<double> latency;
    for (int i = 0; i < 15; ++i) {
        const std::int64_t t = UtcMillisecondsNow();
        const LARGE_INTEGER a = Now();
        DbPoint p = Point(t, i);
        p.nSerial = 999;
        sender.Push(p);
        const std::string q = parsed.strPath + "/query?db=qm487&q=SELECT%20value%20FROM%20temperature%20WHERE%20"
                              "instrument%3D%27999%27%20AND%20time%3D" + std::to_string(t) + "ms";
        for (int poll = 0; poll < 2000; ++poll) {
            const DbHttpAnswer answer = http.Get(q);
            if (answer.strBody.find("\"values\"") != std::string::npos)
                break;
            Sleep(2);
        }
        latency.push_back(Seconds(a, Now()));
        Sleep(137 * (i % 7));  // land at different points of the sender's one-second rhythm
    }
    sender.Stop();
    std::sort(latency.begin(), latency.end());
    std::printf("  push to queryable (15 points): min %.0f ms, median %.0f ms, max %.0f ms\n", latency.front() * 1000,
                latency[latency.size() / 2] * 1000, latency.back() * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string url = argc > 1 ? argv[1] : "";
    const int queued = argc > 2 ? std::atoi(argv[2]) : 500000;
    MeasurePushes(queued);
    if (!url.empty())
        MeasureServer(url);
    return 0;
}
