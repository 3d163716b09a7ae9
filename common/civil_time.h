// Dates and times of the proleptic Gregorian calendar as seconds since
// 1970-01-01 00:00:00, with no time zone: the binary log's records, the
// chart's axis and the MQTT payloads all write them the same way.
#pragma once

#include <cstdint>
#include <string>

// A local wall-clock time to the second, as every report row, binary record
// and alarm-log line carries it.
struct RecordTime {
    int year, month, day, hour, minute, second;
};

// Days from 1970-01-01 to the given civil date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d);

// "2009-03-17 08:05:00"
std::string FormatCivilSeconds(std::int64_t seconds);

// The time now in milliseconds since 1970-01-01 00:00:00 UTC, as the
// readings sent to a database or a broker carry it.
std::int64_t UtcMillisecondsNow();
