// The nine channels' current readings, as plain data: the instrument
// (instrument/instrument.h) owns one CChannelSet and is its only writer,
// after every line and every watchdog expiry, but for the alarm states the
// alarms judge. The display fields paint it; the DDE server, the recording
// and the feeds read it here, never from a window.
//
// Channel index 0 to 8: channels 1 to 8 are the instrument's inputs,
// channel 0 is the mean of those of them in use that hold a value.
//
// To keep more per channel, add it to ChannelState and have the writer
// below or the instrument maintain it; parts that want every new reading
// register as the instrument's readers, told after it has written the set.
#pragma once

#include "common/win_types.h"
#include "alarms/channel_alarm.h"
#include "instrument/channel_config.h"

struct ChannelState {
    // The last value stored, in the channel's quantity; NaN until the
    // channel has had one. Meaningful only while bNoValue is FALSE, but kept
    // (and published) after the channel loses its value. Corrected by the
    // channel's calibration (ChannelConfig) when it has one.
    double dValue;
    // The value as the instrument sent it, before the correction, for those
    // who audit it; NaN until the channel has had one.
    double dRawValue;
    BOOL bNoValue;         // no value since start, or the link was lost: "???"
    BOOL bAlert;           // the instrument reports an error, or the link was lost: the field blinks
    BOOL bFineResolution;  // the instrument reports hundredths
    int nQuantity;         // quantity code of the value (instrument/quantity_format.h); 3 = degrees Celsius
    // Judged at valid values only (JudgeAlarm), so errors and a lost link
    // leave it as it was.
    ChannelAlarm alarm;
};

class CChannelSet {
public:
    enum { kChannels = 9, kCelsius = 3 };

    // Every channel without a value and not in error, tenths, degrees Celsius.
    CChannelSet();

    const ChannelState& operator[](int nChannel) const { return m_channels[nChannel]; }

    // An accepted line of channel 1 to 8: dRaw as the instrument sent it,
    // corrected at the resolution set last.
    void StoreValue(int nChannel, double dRaw, BOOL bAlert);
    // An accepted line of channel 0: the mean of channels 1 to 8 in use is stored
    // as its value, or no value when no channel holds one or when this is
    // the first channel-0 line since the link was lost (the channels heard
    // so far are only part of the instrument's cycle).
    void StoreMean(BOOL bAlert);
    // A rejected line or a silent instrument: every channel loses its value
    // (keeping the number) and is in error.
    void LoseAll();
    // The instrument's resolution applies to every channel.
    void SetFineResolution(BOOL bFine);
    // Judges the channel's value against its limits if it is a valid one
    // (a value, not in error); what changed, nothing for any other value.
    // A channel not in use has no alarm: one it had ends.
    AlarmEvents JudgeAlarm(int nChannel, const AlarmLimits& limits, double dHysteresis);

    // Names, inputs in use and corrections; the values stored before keep
    // theirs.
    void SetConfig(const ChannelConfig& config) { m_config = config; }
    const ChannelConfig& Config() const { return m_config; }

    // The mean of channels 1 to 8 in use that hold a value (an input not in
    // use counts not even when the instrument sends something for it);
    // FALSE, with *pdMean untouched, when none does.
    BOOL ComputeMean(double* pdMean) const;

private:
    ChannelState m_channels[kChannels];
    ChannelConfig m_config;
    BOOL m_bMeanPending;  // no channel-0 line since the link was lost
};

// values[i] and noValue[i] describe channel i + 1. Sums in channel order.
// FALSE, with *mean untouched, when no channel holds a value: there is no
// mean then, and the caller shows the channel as having none.
BOOL ComputeChannelMean(const double values[8], const BOOL noValue[8], double* mean);
