// qm487-sim: plays the QM487 instrument on a serial port (or into a file),
// for trying the program and its tools without the instrument.
#include "sim_core.h"
#include "sim_port.h"
#include "tools/utf8_arguments.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace qm487sim;

int main(int argc, char** argv) {
    const CUtf8Arguments args(argc, argv);
    const ParseResult parsed = ParseOptions(std::vector<std::string>(args.Get() + 1, args.Get() + args.Count()));
    if (parsed.outcome == ParseResult::Help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed.outcome == ParseResult::Error) {
        std::fprintf(stderr, "qm487-sim: %s\n", parsed.error.c_str());
        if (parsed.showUsage)
            std::fprintf(stderr, "\n%s", kUsage);
        else
            std::fputs("Run qm487-sim --help for the options.\n", stderr);
        return 2;
    }
    const SimConfig& config = parsed.config;

    InstallStopHandlers();
    std::string error;
    std::unique_ptr<COutput> out =
        config.port.empty() ? OpenFileOutput(config.output, error) : OpenPort(config.port, error);
    if (!out) {
        std::fprintf(stderr, "qm487-sim: %s\n", error.c_str());
        return 2;
    }
    if (!config.port.empty())
        std::fprintf(stderr, "qm487-sim: sending on %s%s; Ctrl-C stops\n",
                     config.port.c_str(), config.fast ? ", as fast as it goes" : "");

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const bool limited = config.durationMs > 0;
    const Clock::time_point end = start + std::chrono::milliseconds(config.durationMs);
    Clock::time_point due = start;  // when the next chunk may go
    CSchedule schedule(config);
    SimChunk chunk;
    long long lines = 0;
    bool failed = false;

    while (!StopRequested() && schedule.Next(chunk)) {
        if (!SleepUntil(limited ? std::min(due, end) : due))
            break;
        if (limited && Clock::now() >= end)
            break;
        if (!out->Write(chunk.bytes.data(), chunk.bytes.size(), error)) {
            std::fprintf(stderr, "qm487-sim: %s\n", error.c_str());
            failed = true;
            break;
        }
        if (chunk.kind == SimChunk::Line)
            ++lines;
        // Fallen far behind (the machine slept, the port stalled): carry on
        // at the normal pace rather than rushing to catch up.
        const Clock::time_point now = Clock::now();
        if (now - due > std::chrono::seconds(1))
            due = now;
        due += std::chrono::milliseconds(chunk.pauseMs);
    }

    out->Drain();
    out.reset();
    std::fprintf(stderr, "qm487-sim: %lld line%s sent%s\n", lines, lines == 1 ? "" : "s",
                 StopRequested() ? ", stopped" : "");
    StopHandled();
    return failed ? 1 : 0;
}
