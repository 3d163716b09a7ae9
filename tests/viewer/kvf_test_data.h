// Binary logs for the reader's tests: records made by the program's own
// writer, records with any content made by hand, and a reader that keeps
// what it reports.
#pragma once

#include "recording/binary_log.h"
#include "viewer/kvf_reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvftest {

// The stored record for a tick at base time + index * step seconds, with
// channel 1 ramping, channel 2 absent on every fifth tick, and the mean.
inline std::string Tick(int index, int step = 10) {
    const int total = 8 * 3600 + index * step;
    RecordTime time = {2009, 3, 17, total / 3600 % 24, total / 60 % 60, total % 60};
    time.day += total / 86400;
    ChannelSamples samples;
    for (int c = 0; c < 9; ++c)
        samples[c] = {0.0, TRUE, TRUE, FALSE};
    samples[1] = {20.0 + index * 0.25, FALSE, FALSE, TRUE};
    if (index % 5 != 4)
        samples[2] = {-5.5 + index, FALSE, FALSE, TRUE};
    samples[0] = {21.4, FALSE, FALSE, FALSE};
    return FormatBinaryRecord(time, samples, 512);
}

inline std::string Log(int records, int step = 10) {
    std::string log;
    for (int i = 0; i < records; ++i)
        log += Tick(i, step);
    return log;
}

// Stored bytes of a record with any plain body (up to and including the
// last "$"), with correct check bytes.
inline std::string Stored(const std::string& body) {
    int sum = 0;
    for (char c : body)
        sum += static_cast<signed char>(c);
    std::string plain = body + '@';
    plain += static_cast<char>(sum % 253 + 1);
    plain += static_cast<char>(sum % 251 + 1);
    return NegateBytes(plain);
}

struct Damage {
    std::uint64_t offset, length;
    std::string what;
    bool operator==(const Damage& o) const { return offset == o.offset && length == o.length && what == o.what; }
};

struct Collected : KvfSink {
    std::vector<KvfRecord> records;
    std::vector<Damage> damage;
    void OnRecord(const KvfRecord& r) override { records.push_back(r); }
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {
        damage.push_back({offset, length, what});
    }
};

}  // namespace kvftest
