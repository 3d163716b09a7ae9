#include "viewer/time_zone.h"

#include "common/civil_time.h"
#include "viewer/host_zone.h"
#include "viewer/kvf_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

std::int64_t CivilSeconds(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
           minute * 60 + second;
}

int CivilYear(std::int64_t seconds) {
    // No time is farther than 300 million years; beyond that the estimate
    // would not fit an int and the corrections would never end.
    seconds = std::max<std::int64_t>(-10000000000000000LL, std::min<std::int64_t>(seconds, 10000000000000000LL));
    // An estimate, then corrected by the year's first second.
    int year = static_cast<int>(1970 + seconds / 31556952 - (seconds < 0 ? 1 : 0));
    while (CivilSeconds(year, 1, 1, 0, 0, 0) > seconds)
        --year;
    while (CivilSeconds(year + 1, 1, 1, 0, 0, 0) <= seconds)
        ++year;
    return year;
}

namespace {

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// The local (wall-clock) second of the change in that year: the first
// whole second from it on.
std::int64_t ChangeLocal(int year, const ZoneChangeDate& d) {
    const int roundUp = d.milliseconds > 0 ? 1 : 0;
    if (d.year != 0)
        return CivilSeconds(d.year, d.month, d.day, d.hour, d.minute, d.second) + roundUp;
    // 1970-01-01 was a Thursday (day of week 4, Sunday 0).
    const std::int64_t first = DaysFromCivil(year, static_cast<unsigned>(d.month), 1);
    const int firstDow = static_cast<int>(((first % 7) + 7 + 4) % 7);
    int day = 1 + (d.dayOfWeek - firstDow + 7) % 7 + 7 * (d.day - 1);
    while (day > DaysInMonth(year, d.month))
        day -= 7;
    return CivilSeconds(year, d.month, day, d.hour, d.minute, d.second) + roundUp;
}

}  // namespace

ZoneYear ZoneYearFromRule(int year, int bias, int standardBias, int daylightBias, const ZoneChangeDate& standardDate,
                          const ZoneChangeDate& daylightDate) {
    ZoneYear z;
    z.standard = -(bias + standardBias) * 60;
    z.daylight = -(bias + daylightBias) * 60;
    z.hasDaylight = standardDate.month != 0 && daylightDate.month != 0 && z.standard != z.daylight;
    if (!z.hasDaylight) {
        z.daylight = z.standard;
        return z;
    }
    // Daylight begins at a moment of standard time and ends at one of daylight time.
    z.daylightFrom = ChangeLocal(year, daylightDate) - z.standard;
    z.daylightTo = ChangeLocal(year, standardDate) - z.daylight;
    return z;
}

bool ParseZoneChoice(const std::string& text, ZoneChoice* pChoice) {
    std::string t;
    for (char c : text)
        t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (t == "local") {
        *pChoice = ZoneChoice();
        return true;
    }
    if (t.rfind("utc", 0) == 0)
        t = t.substr(3);
    ZoneChoice choice;
    choice.bLocal = false;
    if (t.empty() || t == "z") {
        *pChoice = choice;
        return true;
    }
    // [+-]H or [+-]HH, then optionally :MM; nothing else.
    auto digit = [&t](std::size_t i) { return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); };
    const char sign = t[0];
    std::size_t i = 1;
    int hours = 0, minutes = 0;
    while (digit(i) && i < 3)
        hours = hours * 10 + (t[i++] - '0');
    if ((sign != '+' && sign != '-') || i == 1 || hours > 14)
        return false;
    if (i < t.size()) {
        if (t.size() != i + 3 || t[i] != ':' || !digit(i + 1) || !digit(i + 2))
            return false;
        minutes = (t[i + 1] - '0') * 10 + (t[i + 2] - '0');
        if (minutes > 59)
            return false;
    }
    choice.nOffset = (sign == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    *pChoice = choice;
    return true;
}

std::string FormatUtcOffset(int offsetSeconds) {
    if (offsetSeconds == 0)
        return "UTC";
    const int a = std::abs(offsetSeconds);
    char text[24];
    if (a % 3600 == 0)
        std::snprintf(text, sizeof text, "UTC%c%d", offsetSeconds < 0 ? '-' : '+', a / 3600);
    else
        std::snprintf(text, sizeof text, "UTC%c%d:%02d", offsetSeconds < 0 ? '-' : '+', a / 3600, a / 60 % 60);
    return text;
}

std::string FormatIsoOffset(int offsetSeconds) {
    const int a = std::abs(offsetSeconds);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", offsetSeconds < 0 ? '-' : '+', a / 3600, a / 60 % 60);
    return text;
}

std::unique_ptr<ZoneRules> MakeZoneRules(const ZoneChoice& choice) {
    return choice.bLocal ? MakeHostZoneRules() : std::unique_ptr<ZoneRules>(new FixedZone(choice.nOffset));
}
