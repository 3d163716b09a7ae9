// Logs across clock changes, as a PC in Poland records them in 2026: a
// record every ten seconds with channel 1 rising 0.01 a record, the times
// the wall clock showed. Also the zones the viewer is tested with.
#pragma once

#include "common/civil_time.h"
#include "recording/binary_log.h"
#include "viewer/kvf_reader.h"
#include "viewer/time_zone.h"

#include <cstdint>
#include <string>
#include <vector>

namespace clocklogs {

// Europe/Warsaw as Windows describes it; and a zone without daylight time.
class WarsawRules : public ZoneRules {
public:
    ZoneYear Year(int year) const override {
        return ZoneYearFromRule(year, -60, 0, -60, ZoneChangeDate{0, 10, 0, 5, 3, 0, 0, 0},
                                ZoneChangeDate{0, 3, 0, 5, 2, 0, 0, 0});
    }
};
class TokyoRules : public ZoneRules {
public:
    ZoneYear Year(int year) const override {
        return ZoneYearFromRule(year, -540, 0, 0, ZoneChangeDate{}, ZoneChangeDate{});
    }
};

inline int WarsawOffset(std::int64_t instant) { return WarsawRules().Year(CivilYear(instant)).OffsetAt(instant); }

// Wall-clock times in Warsaw of a record every step seconds from one instant to another.
inline std::vector<std::int64_t> Warsaw(std::int64_t fromUtc, std::int64_t toUtc, std::int64_t step = 10) {
    std::vector<std::int64_t> locals;
    for (std::int64_t t = fromUtc; t <= toUtc; t += step)
        locals.push_back(t + WarsawOffset(t));
    return locals;
}
// 01:00 CEST to 03:00 CET on 2026-10-25: three real hours, 02:00-03:00 twice.
inline std::vector<std::int64_t> Autumn() {
    return Warsaw(CivilSeconds(2026, 10, 24, 23, 0, 0), CivilSeconds(2026, 10, 25, 2, 0, 0));
}
// Three hours of a record every step seconds from 23:00 UTC on 2026-10-24 and minutes.
inline std::vector<std::int64_t> AutumnEvery(std::int64_t step, int minutes) {
    const std::int64_t from = CivilSeconds(2026, 10, 24, 23, 0, 0) + 60 * minutes;
    return Warsaw(from, from + 3 * 3600, step);
}
// 01:00 CET to 04:00 CEST on 2026-03-29: two real hours, 02:00-03:00 skipped.
inline std::vector<std::int64_t> Spring() {
    return Warsaw(CivilSeconds(2026, 3, 29, 0, 0, 0), CivilSeconds(2026, 3, 29, 2, 0, 0));
}
// 01:00 to 03:00 on 2026-10-10, the clock set back by hand 4 min 30 s at 02:00.
inline std::vector<std::int64_t> SetBack() {
    std::vector<std::int64_t> locals;
    const std::int64_t start = CivilSeconds(2026, 10, 10, 1, 0, 0);
    for (int i = 0; i <= 720; ++i)
        locals.push_back(start + 10 * i - (i >= 360 ? 270 : 0));
    return locals;
}

inline std::string Log(const std::vector<std::int64_t>& locals) {
    std::string log;
    for (std::size_t i = 0; i < locals.size(); ++i) {
        int y, mo, d, h, mi, s;
        std::sscanf(FormatCivilSeconds(locals[i]).c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
        ChannelSamples samples;
        for (int c = 0; c < 9; ++c)
            samples[c] = {0.0, TRUE, TRUE, FALSE};
        samples[1] = {20.0 + 0.01 * static_cast<double>(i), FALSE, FALSE, TRUE};
        log += FormatBinaryRecord(RecordTime{y, mo, d, h, mi, s}, samples, 4660);
    }
    return log;
}

}  // namespace clocklogs
