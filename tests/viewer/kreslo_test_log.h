// Binary logs that look like a day of readings, made by the program's own
// writer: nine channels on slow waves of their own, channel 3 without a
// value for a stretch, and a pause in the recording.
#pragma once

#include "common/civil_time.h"
#include "recording/binary_log.h"
#include "viewer/kvf_reader.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace kreslotest {

// 2026-12-08 06:00:00 counted as KvfRecord::Seconds does.
const long long kStart = 20795LL * 86400 + 6 * 3600;

inline std::string Record(long long index, int step = 10) {
    long long t = kStart + index * step;
    if (index >= 600)
        t += 1800;  // the recording stopped for half an hour
    int y, mo, d, h, mi, s;
    std::sscanf(FormatCivilSeconds(t).c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    const RecordTime time = {y, mo, d, h, mi, s};
    ChannelSamples samples;
    double sum = 0;
    int n = 0;
    for (int c = 1; c <= 8; ++c) {
        const double v = 18.0 + c * 0.8 + 2.5 * std::sin(index / (60.0 + 7 * c) + c);
        const bool absent = c == 3 && index % 1000 >= 300 && index % 1000 < 360;
        samples[c] = {v, absent ? TRUE : FALSE, FALSE, TRUE};
        if (!absent) {
            sum += v;
            ++n;
        }
    }
    samples[0] = {n ? sum / n : 0.0, n ? FALSE : TRUE, FALSE, TRUE};
    return FormatBinaryRecord(time, samples, 4660);
}

inline std::string Log(long long first, long long count, int step = 10) {
    std::string log;
    for (long long i = first; i < first + count; ++i)
        log += Record(i, step);
    return log;
}

}  // namespace kreslotest
