// Time-zone rules as the viewer needs them: for a year, the offsets from
// UTC and when daylight-saving time is in effect. Windows describes a zone
// by a rule per year (TIME_ZONE_INFORMATION: a bias, and the day of a month
// and the hour each change happens); ZoneYearFromRule turns such a rule into
// instants, so that the arithmetic is the same wherever it runs.
#pragma once

#include <cstdint>
#include <string>

// Seconds since 1970-01-01 00:00:00 of a civil date and time (no zone).
std::int64_t CivilSeconds(int year, int month, int day, int hour, int minute, int second);
// The year of such a count of seconds.
int CivilYear(std::int64_t seconds);

// One year of a zone. Instants are seconds since 1970 UTC; offsets are
// seconds east of UTC (Warsaw: 3600 in winter, 7200 in summer).
struct ZoneYear {
    int standard = 0, daylight = 0;
    bool hasDaylight = false;
    // Daylight time from daylightFrom until daylightTo; when daylightFrom is
    // the later one (the southern hemisphere) it runs over the new year.
    std::int64_t daylightFrom = 0, daylightTo = 0;

    bool IsDaylight(std::int64_t instant) const {
        if (!hasDaylight)
            return false;
        return daylightFrom < daylightTo ? instant >= daylightFrom && instant < daylightTo
                                         : instant >= daylightFrom || instant < daylightTo;
    }
    int OffsetAt(std::int64_t instant) const { return IsDaylight(instant) ? daylight : standard; }
};

class ZoneRules {
public:
    virtual ~ZoneRules() = default;
    virtual ZoneYear Year(int year) const = 0;
};

// UTC, or any fixed offset: no clock changes.
class FixedZone : public ZoneRules {
public:
    explicit FixedZone(int offsetSeconds) : m_nOffset(offsetSeconds) {}
    ZoneYear Year(int) const override {
        ZoneYear y;
        y.standard = y.daylight = m_nOffset;
        return y;
    }

private:
    int m_nOffset;
};

// A change's moment as TIME_ZONE_INFORMATION gives it (SYSTEMTIME fields):
// month 0 means no change; year 0 means "the day-th dayOfWeek of the month"
// (day 5: the last), else an absolute date. Several zones change at
// 23:59:59.999: to whole seconds, that is midnight.
struct ZoneChangeDate {
    int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// Biases in minutes as Windows keeps them (UTC = local + bias + standard or
// daylight bias). daylightDate is given in standard local time, standardDate
// in daylight local time.
ZoneYear ZoneYearFromRule(int year, int bias, int standardBias, int daylightBias, const ZoneChangeDate& standardDate,
                          const ZoneChangeDate& daylightDate);

// How a log's wall-clock times are read: with the viewing computer's zone,
// or as UTC plus a fixed offset.
struct ZoneChoice {
    bool bLocal = true;
    int nOffset = 0;  // seconds east of UTC when not local
    bool operator==(const ZoneChoice& o) const { return bLocal == o.bLocal && (bLocal || nOffset == o.nOffset); }
};
// "local", "utc", "+01:00", "-03:30", "UTC+2"; false for anything else.
bool ParseZoneChoice(const std::string& text, ZoneChoice* pChoice);
// "UTC", "UTC+2", "UTC-3:30", "UTC+5:45".
std::string FormatUtcOffset(int offsetSeconds);
// "+01:00" as ISO 8601 writes it.
std::string FormatIsoOffset(int offsetSeconds);
