#include "database/line_protocol.h"

#include "instrument/channel_alarm.h"

#include <charconv>
#include <cmath>

const char kDbMeasurement[] = "temperature";
const char kDbTagInstrument[] = "instrument";
const char kDbTagChannel[] = "channel";
const char kDbFieldValue[] = "value";
const char kDbFieldStatus[] = "status";
const char kDbFieldAlarm[] = "alarm";

std::string EscapeTagValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        if (ch == ',' || ch == ' ' || ch == '=')
            out += '\\';
        out += ch;
    }
    return out;
}

std::string QuoteFieldString(const std::string& value) {
    std::string out = "\"";
    for (char ch : value) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    out += '"';
    return out;
}

bool FormatFloatField(double value, std::string& out) {
    if (!std::isfinite(value))
        return false;
    char buffer[32];
    // to_chars never looks at the locale; without a precision it writes the
    // shortest text that reads back exactly.
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (r.ec != std::errc())
        return false;
    const std::string text(buffer, r.ptr);
    out += text;
    if (text.find_first_of(".e") == std::string::npos)
        out += ".0";
    return true;
}

void AppendPointLine(const DbPoint& point, std::string& out) {
    out += kDbMeasurement;
    out += ',';
    out += kDbTagInstrument;
    out += '=';
    out += EscapeTagValue(std::to_string(point.nSerial));
    out += ',';
    out += kDbTagChannel;
    out += '=';
    out += EscapeTagValue(ChannelName(point.nChannel));
    out += ' ';

    std::string value;
    const bool bValue = point.bHasValue && FormatFloatField(point.dValue, value);
    if (bValue) {
        out += kDbFieldValue;
        out += '=';
        out += value;
        out += ',';
    }
    out += kDbFieldStatus;
    out += bValue ? "=\"ok\"" : "=\"error\"";
    if (point.bHasAlarm) {
        out += ',';
        out += kDbFieldAlarm;
        out += '=';
        out += std::to_string(static_cast<int>(point.nAlarm));
        out += 'i';
    }
    out += ' ';
    out += std::to_string(point.nTimeMs);
    out += '\n';
}
