#include "alarms/channel_alarm.h"

#include "common/number_text.h"

#include <algorithm>
#include <cmath>

namespace {

// Readings are hundredths at most and the mean is a sum divided: a value
// that differs from a limit by less than this is at the limit, not beyond it.
const double kTolerance = 1e-6;

const int kMaxDigits = 15;
// Above this many channels the piece names the channels only.
const int kChannelsWithLimits = 2;

const char kDegrees[] = " \xB0" "C";

void Add(AlarmEvents& events, AlarmEventKind kind, double dLimit) {
    events.events[events.nCount].kind = kind;
    events.events[events.nCount].dLimit = dLimit;
    ++events.nCount;
}

}  // namespace

AlarmEvents JudgeAlarm(ChannelAlarm& alarm, double dValue, const AlarmLimits& givenLimits, double dHysteresis) {
    AlarmEvents events;
    if (!std::isfinite(dValue))
        return events;
    AlarmLimits limits = givenLimits;
    if (limits.bHasLow && limits.bHasHigh && !(limits.dLow < limits.dHigh))
        limits = AlarmLimits();  // refused as the dialog refuses them: no alarm at all
    double h = dHysteresis > 0.0 ? dHysteresis : 0.0;
    // Between two limits the way out of one alarm ends at the middle, so a
    // value there is no alarm and one past the other limit is always its alarm.
    if (limits.bHasLow && limits.bHasHigh)
        h = std::min(h, (limits.dHigh - limits.dLow) / 2.0);
    if (alarm.nState == kAlarmHigh) {
        if (limits.bHasHigh && dValue > limits.dHigh - h + kTolerance) {
            alarm.dLimit = limits.dHigh;
            return events;
        }
        Add(events, kAlarmEnded, limits.bHasHigh ? limits.dHigh : alarm.dLimit);
        alarm.nState = kAlarmNone;
    } else if (alarm.nState == kAlarmLow) {
        if (limits.bHasLow && dValue < limits.dLow + h - kTolerance) {
            alarm.dLimit = limits.dLow;
            return events;
        }
        Add(events, kAlarmEnded, limits.bHasLow ? limits.dLow : alarm.dLimit);
        alarm.nState = kAlarmNone;
    }
    if (limits.bHasHigh && dValue > limits.dHigh + kTolerance) {
        alarm.nState = kAlarmHigh;
        alarm.dLimit = limits.dHigh;
        Add(events, kAlarmEnteredHigh, limits.dHigh);
    } else if (limits.bHasLow && dValue < limits.dLow - kTolerance) {
        alarm.nState = kAlarmLow;
        alarm.dLimit = limits.dLow;
        Add(events, kAlarmEnteredLow, limits.dLow);
    }
    return events;
}

std::string ChannelName(int nChannel) {
    if (nChannel <= 0 || nChannel > 8)
        return "T";
    return "T" + std::to_string(nChannel);
}

std::string AlarmChannelText(const ChannelConfig& config, int nChannel) {
    const std::string& name = nChannel > 0 && nChannel <= 8 ? config[nChannel].strName : std::string();
    return name.find_first_not_of(" \t") == std::string::npos ? ChannelName(nChannel) : name;
}

std::string FormatAlarmNumber(double dValue) {
    std::string text = FormatFixed(dValue, 2);
    if (text == "-0.00")
        text = "0.00";
    if (!text.empty() && text.back() == '0')
        text.pop_back();
    return text;
}

bool ParseAlarmNumber(const std::string& strText, double* pdValue) {
    std::size_t i = 0;
    std::size_t end = strText.size();
    while (i < end && (strText[i] == ' ' || strText[i] == '\t'))
        ++i;
    while (end > i && (strText[end - 1] == ' ' || strText[end - 1] == '\t'))
        --end;
    bool bNegative = false;
    if (i < end && (strText[i] == '-' || strText[i] == '+'))
        bNegative = strText[i++] == '-';
    double mantissa = 0.0;
    int nDigits = 0;
    int nDecimals = 0;
    bool bPoint = false;
    for (; i < end; ++i) {
        const char c = strText[i];
        if (c == '.' || c == ',') {
            if (bPoint)
                return false;
            bPoint = true;
        } else if (c >= '0' && c <= '9') {
            if (++nDigits > kMaxDigits)
                return false;
            // Whole digits only, so the one division below is the only rounding.
            mantissa = mantissa * 10.0 + (c - '0');
            if (bPoint)
                ++nDecimals;
        } else {
            return false;
        }
    }
    if (nDigits == 0)
        return false;
    double value = mantissa / std::pow(10.0, nDecimals);
    *pdValue = bNegative ? -value : value;
    return true;
}

std::string ComposeAlarmPiece(const ChannelAlarm alarms[9], const ChannelConfig& config) {
    int nActive = 0;
    for (int c = 0; c < 9; ++c)
        if (alarms[c].nState != kAlarmNone)
            ++nActive;
    if (nActive == 0)
        return std::string();
    std::string text = "Alarm: ";
    bool bFirst = true;
    for (int c = 0; c < 9; ++c) {
        const ChannelAlarm& alarm = alarms[c];
        if (alarm.nState == kAlarmNone)
            continue;
        if (!bFirst)
            text += ", ";
        bFirst = false;
        text += AlarmChannelText(config, c);
        if (nActive <= kChannelsWithLimits)
            text += (alarm.nState == kAlarmHigh ? " > " : " < ") + FormatAlarmNumber(alarm.dLimit) + kDegrees;
    }
    return text + ". ";
}
