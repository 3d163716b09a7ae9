// Temperature alarms: the rule that puts a channel into its high or low
// alarm and takes it out again, and the texts that tell about it (the
// status line piece, the numbers of limits as the settings hold them).
#pragma once

#include "instrument/channel_config.h"

#include <string>

enum AlarmState {
    kAlarmLow = -1,
    kAlarmNone = 0,
    kAlarmHigh = 1,
};

// A channel's limits; either may be absent.
struct AlarmLimits {
    bool bHasLow = false;
    double dLow = 0.0;
    bool bHasHigh = false;
    double dHigh = 0.0;

    bool IsSet() const { return bHasLow || bHasHigh; }
};

// One channel's alarm: its state and the limit it crossed, which the end of
// the alarm is reported against.
struct ChannelAlarm {
    int nState = kAlarmNone;
    double dLimit = 0.0;
};

enum AlarmEventKind {
    kAlarmEnteredHigh,
    kAlarmEnteredLow,
    kAlarmEnded,
};

struct AlarmEvent {
    AlarmEventKind kind;
    double dLimit;
};

// What one judgement changed: nothing, an alarm that ended, one that began,
// or both in that order (a value from above the upper limit straight to
// below the lower one).
struct AlarmEvents {
    int nCount = 0;
    AlarmEvent events[2];
};

const double kDefaultHysteresis = 0.5;

// Judges one valid reading. A channel enters its high alarm above the upper
// limit and its low alarm below the lower one, and leaves only once the value
// is back inside by at least the hysteresis (a negative hysteresis counts as
// none). With both limits the hysteresis in force is at most half their gap,
// and a lower limit not below the upper one means no limits at all. A limit changed or removed while in alarm is judged
// at this reading like any other. Only valid readings may be judged: a reading in error or a lost link must change
// nothing, so the caller does not call this for them.
AlarmEvents JudgeAlarm(ChannelAlarm& alarm, double dValue, const AlarmLimits& limits, double dHysteresis);

// The channel's short name in every output (alarm log, status line, database,
// published topics): "T" for the mean (channel 0), "T1" to "T8".
std::string ChannelName(int nChannel);

// The channel as the alarms' texts name it (status line, alarm log): the
// name the user gave it, Windows-1250, or ChannelName's "T3" when it has
// none, so the texts keep their bytes until a channel is named.
std::string AlarmChannelText(const ChannelConfig& config, int nChannel);

// A limit as the settings and the texts write it: a point, at least one
// decimal and at most two ("30.0", "-5.25").
std::string FormatAlarmNumber(double dValue);

// A number as typed or stored: blanks around it, an optional sign, digits
// with a point (or, as typed, a comma) and at most 15 digits. false for
// anything else, also for an empty text.
bool ParseAlarmNumber(const std::string& strText, double* pdValue);

// The status line's piece while alarms are active, Windows-1250, ending with
// ". " like the other pieces; empty when no channel is in alarm. alarms are
// by channel 0 to 8, listed T, T1 ... T8 (or their names, AlarmChannelText).
// One or two channels name their limit ("Alarm: T3 > 30.0 \xB0" "C. "); more
// name the channels only.
std::string ComposeAlarmPiece(const ChannelAlarm alarms[9], const ChannelConfig& config = ChannelConfig());
