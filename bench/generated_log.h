// A generated binary log for the benchmarks: a record every ten seconds
// from startYear-startMonth-01, all nine channels valid, with the values
// the caller chooses. Written in 1 MB pieces; false when it could not be.
#pragma once

#include "recording/binary_log.h"

#include <cstdio>
#include <string>

// first: the number of the file's first record (a series' later file goes on in time).
template <class ValueOf>  // double ValueOf(long record, int channel)
bool GenerateLog(const char* path, long records, int startYear, int startMonth, ValueOf valueOf, long first = 0) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::string chunk;
    bool ok = true;
    for (long i = first; i < first + records && ok; ++i) {
        const long t = i * 10;
        const long day = t / 86400;
        const int months = startMonth - 1 + static_cast<int>(day / 28);
        const RecordTime time = {startYear + months / 12, 1 + months % 12, 1 + static_cast<int>(day % 28),
                                 static_cast<int>(t / 3600 % 24), static_cast<int>(t / 60 % 60),
                                 static_cast<int>(t % 60)};
        ChannelSamples samples;
        for (int c = 0; c < 9; ++c)
            samples[c] = {valueOf(i, c), FALSE, FALSE, TRUE};
        chunk += FormatBinaryRecord(time, samples, 4660);
        if (chunk.size() > (1 << 20)) {
            ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
            chunk.clear();
        }
    }
    ok = ok && std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    return std::fclose(f) == 0 && ok;
}
