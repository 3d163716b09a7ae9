#include "database/line_protocol.h"

#include "common/number_text.h"
#include "alarms/channel_alarm.h"
#include "instrument/channels.h"

#include <charconv>
#include <cmath>

const char kDbMeasurement[] = "temperature";
const char kDbTagInstrument[] = "instrument";
const char kDbTagChannel[] = "channel";
const char kDbFieldValue[] = "value";
const char kDbFieldStatus[] = "status";
const char kDbFieldAlarm[] = "alarm";

double DbValueOf(const CChannelSet& channels, int nChannel) {
    if (nChannel != 0)
        return NearestDecimal(channels[nChannel].dValue, channels[nChannel].bFineResolution ? 2 : 1);
    // In hundredths, which hold tenths too: the sum is exact, and one
    // division rounds it once.
    long long nSum = 0;
    int nCount = 0;
    for (int c = 1; c < CChannelSet::kChannels; ++c) {
        if (channels[c].bNoValue || !std::isfinite(channels[c].dValue))
            continue;
        nSum += std::llround(channels[c].dValue * 100.0);
        ++nCount;
    }
    return nCount == 0 ? channels[0].dValue : static_cast<double>(nSum) / (nCount * 100.0);
}

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
