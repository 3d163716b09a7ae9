// Every text a notification carries, in one place: the subjects and the
// lines of the body, Polish, UTF-8, composed from the event's fields.
#pragma once

#include "instrument/channel_config.h"
#include "notify/notification.h"

#include <cstdint>
#include <string>
#include <vector>

// Where a message comes from, as the caller knows it (UTF-8).
struct NotifySource {
    std::string strPc;
    std::string strProfile;  // empty: the default profile
    int nInstrument = 0;     // 0: not known
    char cDecimal = '.';     // the user's option may make it ','
    // The instrument's channels: their names (Windows-1250 there, UTF-8 in
    // the texts) and the inputs in use, which alone are told about.
    ChannelConfig channels;
};

// A moment: seconds since 1970 UTC, the offset of the local clock then,
// and seconds on a clock that only runs forward (since the PC started), by
// which durations are measured: setting the wall clock moves no delay.
struct NotifyTime {
    std::int64_t nUtc = 0;
    int nOffsetMinutes = 0;
    std::int64_t nSteady = 0;

    std::int64_t Local() const { return nUtc + nOffsetMinutes * 60LL; }
};

// "2026-12-08 14:03:12 +01:00"
std::string FormatNotifyTime(NotifyTime time);
// "12 min 5 s", "2 h 0 min 40 s", "7 s"
std::string FormatNotifyDuration(long long nSeconds);
// "25.4 °C" (or "25,4 °C"), one or two decimals.
std::string FormatNotifyTemperature(double dValue, char cDecimal);
// "Temperatura 3", or the name the channel has ("Zamrażarka 1"), UTF-8;
// channel 0: "Temperatura średnia".
std::string NotifyChannelTitle(int nChannel, const ChannelConfig& config = ChannelConfig());

// An alarm raised (bHigh: above its limit) or, with nDurationSeconds, cleared.
Notification ComposeAlarmMessage(const NotifySource& source, NotifyEvent event, int nChannel, double dValue,
                                 double dLimit, bool bHigh, NotifyTime time, long long nDurationSeconds);
// An event of no channel: silence (nSeconds unheard), heard again (after
// nSeconds of silence), an unclean start, recording failing (strDetail:
// why) or recovered, a test.
Notification ComposeEventMessage(const NotifySource& source, NotifyEvent event, NotifyTime time, long long nSeconds,
                                 const std::string& strDetail);

// A channel's calibration due in nDaysLeft days (0: today) on strDue
// (YYYY-MM-DD); strTitle (UTF-8) is the channel's name or its usual title.
Notification ComposeCalibrationMessage(const NotifySource& source, NotifyTime time, int nChannel,
                                       const std::string& strTitle, const std::string& strDue, int nDaysLeft);

// The subject without "QM487 <PC>: ", for lists of events.
std::string NotifyHeadline(const Notification& message);
// "2026-12-08 14:03:12 +01:00 Zamrażarka 1 powyżej 19.9 °C"
std::string NotifyListLine(const Notification& message);

// Events held back by the repeat window, told at the end of the next one.
void AppendDigest(Notification& message, const std::vector<Notification>& held, int nRepeatMinutes);
// Older messages folded into this one by the outbox's bound: listed in its
// text, counted in its subject ("… (+99 zaległych)").
void AppendBacklogDigest(Notification& message, const std::vector<Notification>& older);

struct NotifySummaryRow {
    int nChannel;
    double dMin, dMax, dMean;
};
// The daily summary: each channel over the last 24 h, and the day's alarms
// (their subjects; nMoreAlarms not listed).
Notification ComposeSummaryMessage(const NotifySource& source, NotifyTime time, const std::vector<NotifySummaryRow>& rows,
                                   const std::vector<std::string>& alarms, int nMoreAlarms);
