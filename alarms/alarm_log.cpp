#include "alarms/alarm_log.h"

#include "instrument/quantity_format.h"

#include <cstdio>

namespace {

const char kHeader[] = "Data i Godzina;Kana\xB3;Zdarzenie;Warto\x9C\xE6;Pr\xF3g\r\n";
const char kEnteredHigh[] = "g\xF3rny";
const char kEnteredLow[] = "dolny";
const char kEnded[] = "koniec";

const char* EventName(AlarmEventKind kind) {
    switch (kind) {
    case kAlarmEnteredHigh:
        return kEnteredHigh;
    case kAlarmEnteredLow:
        return kEnteredLow;
    default:
        return kEnded;
    }
}

// A name in the line's channel field: whole, whatever it holds.
std::string ChannelField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c == '\r' || c == '\n' ? ' ' : c);
    return quoted + "\"";
}

}  // namespace

std::string FormatAlarmLogHeader() { return kHeader; }

std::string FormatAlarmLogLine(const RecordTime& time, int nChannel, const AlarmEvent& event, double dValue,
                               bool bFineResolution, const ChannelConfig& config) {
    char szTime[64];
    std::snprintf(szTime, sizeof szTime, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
    const std::string value = FormatDdeResult(dValue, kQuantityCelsius, bFineResolution ? TRUE : FALSE);
    return std::string(szTime) + ";" + ChannelField(AlarmChannelText(config, nChannel)) + ";" + EventName(event.kind) +
           ";" + value + ";" + FormatAlarmNumber(event.dLimit) + "\r\n";
}
