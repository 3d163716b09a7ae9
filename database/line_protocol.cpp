#include "database/line_protocol.h"

#include "common/number_text.h"
#include "config/cp1250.h"
#include "alarms/channel_alarm.h"
#include "instrument/channels.h"

#include <charconv>
#include <cmath>
#include <mutex>
#include <set>

const char kDbMeasurement[] = "temperature";
const char kDbTagInstrument[] = "instrument";
const char kDbTagChannel[] = "channel";
const char kDbTagName[] = "name";
const char kDbFieldRaw[] = "raw";
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
        if (channels[c].bNoValue || !std::isfinite(channels[c].dValue) || !channels.Config()[c].bInUse)
            continue;
        nSum += std::llround(channels[c].dValue * 100.0);
        ++nCount;
    }
    return nCount == 0 ? channels[0].dValue : static_cast<double>(nSum) / (nCount * 100.0);
}

double DbRawValueOf(const CChannelSet& channels, int nChannel) {
    return NearestDecimal(channels[nChannel].dRawValue, channels[nChannel].bFineResolution ? 2 : 1);
}

const std::string* DbChannelName(const std::string& strUtf8) {
    // A backslash before a character the tag escapes would swallow that
    // escape and end the tag there: the server refuses the whole batch.
    std::string name;
    for (std::size_t i = 0; i < strUtf8.size(); ++i)
        if (strUtf8[i] != '\\' ||
            (i + 1 < strUtf8.size() && std::string(", =\\").find(strUtf8[i + 1]) == std::string::npos))
            name += strUtf8[i];
    if (name.empty())
        return nullptr;
    // Node-based: a pointer handed out stays valid while more are added.
    static std::mutex mutex;
    static std::set<std::string> names;
    std::lock_guard<std::mutex> lock(mutex);
    return &*names.insert(name).first;
}

bool MakeDbPoint(const CChannelSet& channels, int nChannel, int nSerialNumber, std::int64_t nTimeMs, DbPoint* pPoint) {
    const ChannelState& channel = channels[nChannel];
    const ChannelSettings& settings = channels.Config()[nChannel];
    if ((channel.bNoValue && !channel.bAlert) || !settings.bInUse)
        return false;
    DbPoint point = {};
    point.nTimeMs = nTimeMs;
    point.nSerial = static_cast<std::uint16_t>(nSerialNumber);
    point.nChannel = static_cast<std::uint8_t>(nChannel);
    point.bHasValue = !channel.bNoValue && !channel.bAlert;
    point.dValue = point.bHasValue ? DbValueOf(channels, nChannel) : channel.dValue;
    // The raw value beside the corrected one, for those who audit it.
    point.bHasRaw = point.bHasValue && nChannel > 0 && !settings.IsIdentity();
    point.dRaw = point.bHasRaw ? DbRawValueOf(channels, nChannel) : 0.0;
    if (nChannel > 0 && !channels.Config().Name(nChannel).empty())
        point.pName = DbChannelName(Cp1250ToUtf8(channels.Config().Name(nChannel)));
    point.bHasAlarm = true;
    point.nAlarm = static_cast<std::int8_t>(channel.alarm.nState);
    *pPoint = point;
    return true;
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
    if (point.pName != nullptr) {
        out += ',';
        out += kDbTagName;
        out += '=';
        out += EscapeTagValue(*point.pName);
    }
    out += ' ';

    std::string value;
    const bool bValue = point.bHasValue && FormatFloatField(point.dValue, value);
    if (bValue) {
        out += kDbFieldValue;
        out += '=';
        out += value;
        out += ',';
        std::string raw;
        if (point.bHasRaw && FormatFloatField(point.dRaw, raw)) {
            out += kDbFieldRaw;
            out += '=';
            out += raw;
            out += ',';
        }
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
