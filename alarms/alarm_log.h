// The alarm log: one Windows-1250 line per alarm event, fields separated by
// ";", every line ended by "\r\n", a header line at the top of a new file.
// This builds the bytes; the main window writes them.
#pragma once

#include "alarms/channel_alarm.h"
#include "recording/record_types.h"

#include <string>

// "Data i Godzina;Kana\xB3;Zdarzenie;Warto\x9C\xE6;Pr\xF3g\r\n"
std::string FormatAlarmLogHeader();

// "2026-12-08 14:03:12;T3;g\xF3rny;30.4;30.0\r\n": the time, the channel ("T"
// for the mean, "T1" to "T8", or the name the user gave it, in double quotes
// when it holds a ";" or a quote, as a spreadsheet reads it), the event
// ("g\xF3rny", "dolny" or "koniec"), the value as the field shows it without
// its unit, and the limit.
std::string FormatAlarmLogLine(const RecordTime& time, int nChannel, const AlarmEvent& event, double dValue,
                               bool bFineResolution, const ChannelConfig& config = ChannelConfig());
