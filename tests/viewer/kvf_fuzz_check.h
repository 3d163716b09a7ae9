// What must hold for any input at all, shared by the mutation test and the
// libFuzzer target: the reader finishes, reports the same whether the bytes
// come at once or in pieces, and its records, damaged stretches and the
// unfinished tail cover the input exactly, in order.
#pragma once

#include "kvf_test_data.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kvftest {

// nullptr when the reader behaved, else what went wrong.
inline const char* CheckReaderOn(const std::uint8_t* data, std::size_t size) {
    Collected whole;
    KvfReader a(&whole);
    a.Feed(data, size);
    a.Finish();

    Collected pieces;
    KvfReader b(&pieces);
    std::size_t pos = 0, k = 0;
    while (pos < size) {
        const std::size_t n = std::min<std::size_t>(size - pos, data[k++ % size] % 41 + 1);
        b.Feed(data + pos, n);
        pos += n;
    }
    b.Finish();

    if (a.IsForeign() != b.IsForeign())
        return "foreign in one reading only";
    if (whole.records.size() != pieces.records.size() || !(whole.damage == pieces.damage))
        return "pieces read differently";
    for (std::size_t i = 0; i < whole.records.size(); ++i) {
        // Read whole, a group's start and a date seen before are taken as
        // they were read then; in small pieces everything is parsed.
        const KvfRecord &w = whole.records[i], &p = pieces.records[i];
        if (w.offset != p.offset || w.length != p.length || w.Seconds() != p.Seconds() || w.present != p.present ||
            w.nSerialNumber != p.nSerialNumber)
            return "pieces read differently";
        for (int c = 0; c < kKvfChannels; ++c)
            if (w.Has(c) && w.hundredths[c] != p.hundredths[c])
                return "pieces read differently";
    }
    if (a.IsForeign())
        return whole.records.empty() && whole.damage.empty() ? nullptr : "a foreign file gave records";

    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    for (const KvfRecord& r : whole.records) {
        if (r.length > KvfReader::kMaxRecord || r.present >= (1u << kKvfChannels))
            return "record out of bounds";
        spans.emplace_back(r.offset, r.length);
    }
    for (const Damage& d : whole.damage) {
        if (d.length == 0)
            return "empty damage";
        spans.emplace_back(d.offset, d.length);
    }
    std::sort(spans.begin(), spans.end());
    std::uint64_t at = 0;
    for (const auto& span : spans) {
        if (span.first != at)
            return "records and damage do not tile the input";
        at += span.second;
    }
    if (at + a.PendingBytes() != size)
        return "the tail is not what is left";
    return nullptr;
}

}  // namespace kvftest
