// Readings as points of the InfluxDB line protocol, the text that InfluxDB
// 1.x and 2.x (its 1.x write endpoint), VictoriaMetrics and Telegraf's
// listener all take on POST /write?db=...&precision=ms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One reading of one channel, as it arrived. 40 bytes, so a million waiting
// points take about 40 MB.
struct DbPoint {
    std::int64_t nTimeMs;      // arrival, milliseconds since 1970-01-01 UTC
    double dValue;             // meaningful when bHasValue; see DbValueOf
    double dRaw;               // as the instrument sent it; meaningful when bHasRaw
    const std::string* pName;  // the channel's name (DbChannelName), UTF-8; null: none
    std::uint16_t nSerial;     // the instrument's number
    std::uint8_t nChannel;     // 0 (the mean) to 8
    bool bHasValue;            // false: the reading carried error flags
    std::int8_t nAlarm;        // -1 low, 0 none, 1 high; meaningful when bHasAlarm
    bool bHasAlarm;
    bool bHasRaw;  // a calibration correction is in force: the raw value goes too
};

// The channel's name as a point carries it: one lasting copy of each name
// (names change seldom, points wait by the million), nullptr for an empty
// one. Backslashes that would end the tag or swallow an escape are left off:
// the protocol cannot carry them there.
const std::string* DbChannelName(const std::string& strUtf8);

class CChannelSet;
// The value a reading of channel 0 to 8 goes out with: the decimal the
// instrument sent, corrected (21.4, not tenths x 0.1 = 21.400000000000002),
// and for the mean the double nearest to the exact mean of the decimals of
// the channels in use.
double DbValueOf(const CChannelSet& channels, int nChannel);
// The raw value of channel 1 to 8 likewise: the decimal the instrument sent.
double DbRawValueOf(const CChannelSet& channels, int nChannel);

// The point a reading of channel 0 to 8 makes, at nTimeMs; false for none:
// a mean not yet shown ("???" with no error flags) and an input not in use
// make none. The alarm state is the one judged at the channel's last valid
// reading: an error reading carries the state it leaves unchanged.
bool MakeDbPoint(const CChannelSet& channels, int nChannel, int nSerialNumber, std::int64_t nTimeMs, DbPoint* pPoint);

// A tag value with the line protocol's escapes: a backslash before every
// comma, blank and equals sign (the servers undo exactly these three).
std::string EscapeTagValue(const std::string& value);

// A string field's value in its double quotes, with " and \ escaped.
std::string QuoteFieldString(const std::string& value);

// The shortest text that reads back as the same double, always with a
// decimal point (21.0, not 21, so nothing mistakes it for an integer) and
// never a comma whatever the locale. False for infinities and NaN, which
// the protocol cannot carry.
bool FormatFloatField(double value, std::string& out);

// Appends one line, ending with "\n":
//   temperature,instrument=4660,channel=T3 value=21.5,status="ok" 1700000000123
// A point without a value (error flags, or a value the protocol cannot
// carry) gets status="error" and no value field, so a gap in the chart has
// its reason next to it. A named channel's point has the tag name= after
// channel=, and one with a correction in force the raw value as the field
// raw= after value=:
//   temperature,instrument=4660,channel=T1,name=Zamrażarka\ 1 value=19.7,raw=20.0,status="ok" 1700000000123
void AppendPointLine(const DbPoint& point, std::string& out);

// The measurement, tags and fields the program writes; the dashboard's
// queries name the same.
extern const char kDbMeasurement[];
extern const char kDbTagInstrument[];
extern const char kDbTagChannel[];
extern const char kDbTagName[];
extern const char kDbFieldRaw[];
extern const char kDbFieldValue[];
extern const char kDbFieldStatus[];
extern const char kDbFieldAlarm[];
