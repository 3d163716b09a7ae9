#include "instrument/channels.h"

#include <limits>

CChannelSet::CChannelSet() : m_channels(), m_bMeanPending(TRUE) {
    for (ChannelState& channel : m_channels) {
        // NaN: a channel that never had a value publishes no number.
        channel.dValue = std::numeric_limits<double>::quiet_NaN();
        channel.dRawValue = channel.dValue;
        channel.bNoValue = TRUE;
        channel.bAlert = FALSE;
        channel.bFineResolution = FALSE;
        channel.nQuantity = kCelsius;
    }
}

void CChannelSet::StoreValue(int nChannel, double dRaw, BOOL bAlert) {
    if (nChannel < 1 || nChannel >= kChannels)
        return;
    ChannelState& channel = m_channels[nChannel];
    channel.dRawValue = dRaw;
    channel.dValue = CorrectReading(m_config[nChannel], dRaw, channel.bFineResolution != FALSE);
    channel.bNoValue = FALSE;
    channel.bAlert = bAlert;
}

void CChannelSet::StoreMean(BOOL bAlert) {
    ChannelState& mean = m_channels[0];
    mean.bAlert = bAlert;
    double dMean = 0.0;
    // With no channel heard from there is no mean: "???" rather than NaN.
    if (!ComputeMean(&dMean) || m_bMeanPending) {
        mean.bNoValue = TRUE;
    } else {
        mean.dValue = dMean;
        mean.bNoValue = FALSE;
    }
    m_bMeanPending = FALSE;
}

void CChannelSet::LoseAll() {
    m_bMeanPending = TRUE;
    for (ChannelState& channel : m_channels) {
        channel.bNoValue = TRUE;
        channel.bAlert = TRUE;
    }
}

void CChannelSet::SetFineResolution(BOOL bFine) {
    for (ChannelState& channel : m_channels)
        channel.bFineResolution = bFine;
}

AlarmEvents CChannelSet::JudgeAlarm(int nChannel, const AlarmLimits& limits, double dHysteresis) {
    if (nChannel < 0 || nChannel >= kChannels)
        return AlarmEvents();
    ChannelState& channel = m_channels[nChannel];
    if (!m_config[nChannel].bInUse) {
        // No probe, no alarm: one raised before the input was switched off
        // ends now, told as any other end is.
        AlarmEvents events;
        if (channel.alarm.nState != kAlarmNone) {
            events.events[events.nCount++] = {kAlarmEnded, channel.alarm.dLimit};
            channel.alarm = ChannelAlarm();
        }
        return events;
    }
    if (channel.bNoValue || channel.bAlert)
        return AlarmEvents();
    return ::JudgeAlarm(channel.alarm, channel.dValue, limits, dHysteresis);
}

BOOL CChannelSet::ComputeMean(double* pdMean) const {
    double values[8];
    BOOL noValue[8];
    for (int i = 0; i < 8; ++i) {
        values[i] = m_channels[i + 1].dValue;
        noValue[i] = m_channels[i + 1].bNoValue || !m_config[i + 1].bInUse;
    }
    return ComputeChannelMean(values, noValue, pdMean);
}

BOOL ComputeChannelMean(const double values[8], const BOOL noValue[8], double* mean) {
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < 8; ++i) {
        if (noValue[i])
            continue;
        sum += values[i];
        ++count;
    }
    // 0.0 / 0 would be NaN, which the field would then show as a number.
    if (count == 0)
        return FALSE;
    *mean = sum / count;
    return TRUE;
}
