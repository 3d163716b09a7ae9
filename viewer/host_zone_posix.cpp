#include "viewer/host_zone.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

// The C library's zone (TZ), its changes found by looking: a look a week
// across the year, then to the second where the offset changes.
class CLibraryZone : public ZoneRules {
public:
    ZoneYear Year(int year) const override {
        const std::int64_t begin = CivilSeconds(year, 1, 1, 0, 0, 0) - 86400,
                           end = CivilSeconds(year + 1, 1, 1, 0, 0, 0);
        std::vector<std::int64_t> changes;
        for (std::int64_t t = begin; t < end; t += 7 * 86400) {
            const std::int64_t next = std::min(t + 7 * 86400, end);
            if (Offset(t) == Offset(next))
                continue;
            std::int64_t lo = t, hi = next;  // the offset changes in (lo, hi]
            while (hi - lo > 1) {
                const std::int64_t mid = lo + (hi - lo) / 2;
                (Offset(mid) == Offset(lo) ? lo : hi) = mid;
            }
            changes.push_back(hi);
        }
        ZoneYear z;
        z.standard = z.daylight = Offset(begin);
        if (changes.size() != 2 || IsDaylight(changes[0]) == IsDaylight(changes[1]))
            return z;  // no daylight time, or rules of their own this year: the offset of its start
        const bool startsDaylight = IsDaylight(changes[0]);
        z.hasDaylight = true;
        z.daylightFrom = startsDaylight ? changes[0] : changes[1];
        z.daylightTo = startsDaylight ? changes[1] : changes[0];
        z.daylight = Offset(z.daylightFrom);
        z.standard = Offset(z.daylightTo);
        return z;
    }

private:
    static std::tm At(std::int64_t t) {
        const std::time_t tt = static_cast<std::time_t>(t);
        std::tm tm = {};
        localtime_r(&tt, &tm);
        return tm;
    }
    static int Offset(std::int64_t t) { return static_cast<int>(At(t).tm_gmtoff); }
    static bool IsDaylight(std::int64_t t) { return At(t).tm_isdst > 0; }
};

}  // namespace

std::unique_ptr<ZoneRules> MakeHostZoneRules() {
    tzset();
    return std::unique_ptr<ZoneRules>(new CLibraryZone);
}
