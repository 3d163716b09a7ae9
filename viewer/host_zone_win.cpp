#include "viewer/host_zone.h"

#include <windows.h>

namespace {

ZoneChangeDate ChangeDate(const SYSTEMTIME& st) {
    return ZoneChangeDate{st.wYear, st.wMonth,  st.wDayOfWeek, st.wDay,
                          st.wHour, st.wMinute, st.wSecond,    st.wMilliseconds};
}

class CWindowsZone : public ZoneRules {
public:
    ZoneYear Year(int year) const override {
        TIME_ZONE_INFORMATION tzi = {};
        if (year < 1601 || year > 30827 || !GetTimeZoneInformationForYear(static_cast<USHORT>(year), nullptr, &tzi))
            GetTimeZoneInformation(&tzi);
        return ZoneYearFromRule(year, tzi.Bias, tzi.StandardBias, tzi.DaylightBias, ChangeDate(tzi.StandardDate),
                                ChangeDate(tzi.DaylightDate));
    }
};

}  // namespace

std::unique_ptr<ZoneRules> MakeHostZoneRules() { return std::unique_ptr<ZoneRules>(new CWindowsZone); }
