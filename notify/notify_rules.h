// When a notification is due: from the channels' alarm states, the lines
// heard, the recording's troubles and a tick once a second, the messages to
// send, with the delay before an alarm is told, at most one message per
// channel per repeat window (what is held back goes into the next one), the
// silence of the instrument and the daily summary. No clock of its own:
// every call is given its time, so tests replay days in a moment. Delays,
// windows and silence are measured on the time's steady clock, so that a
// wall clock set forward or back sends nothing; the summary is due by the
// local wall clock.
#pragma once

#include "alarms/channel_alarm.h"
#include "notify/notify_settings.h"
#include "notify/notify_texts.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// "HH:MM" as minutes after midnight; -1 when empty or no such time.
int ParseNotifySummaryTime(const std::string& strText);

class CNotifyRules {
public:
    // Held messages per channel, alarms kept for the summary and listed in it.
    enum { kChannels = 9, kMostHeld = 50, kMostDayAlarms = 500, kListedDayAlarms = 50 };

    CNotifyRules(const NotifySource& source, const NotifySettings& settings);
    ~CNotifyRules();
    // The instrument's number is known only once it has been heard.
    void SetSource(const NotifySource& source) { m_source = source; }
    // Delay, repeat, silence and summary from now on.
    void TakeSettings(const NotifySettings& settings);

    // The program started; bUnclean: the last run did not end normally.
    void OnStart(bool bUnclean, NotifyTime time);
    // A valid reading of channel 0 to 8 and the channel's alarm after it was
    // judged (JudgeAlarm); readings in error are not given.
    void OnReading(int nChannel, double dValue, const ChannelAlarm& alarm, NotifyTime time);
    // A good line came from the instrument.
    void OnLineHeard(NotifyTime time);
    // The port was lost (strWhy, UTF-8): the silence still counts from the
    // last line, and its message says why.
    void OnLinkLost(const std::string& strWhy);
    void OnRecordingFailed(const std::string& strWhy, NotifyTime time);  // strWhy UTF-8
    void OnRecordingRecovered(NotifyTime time);
    // A recording file's disk is low (strWarning, UTF-8, the status line's
    // words) or, with an empty one, has enough again: one message each way.
    void OnDiskSpace(const std::string& strWarning, NotifyTime time);
    // A channel's calibration is due (CCalibrationReminder's notice); strTitle UTF-8.
    void OnCalibrationDue(int nChannel, const std::string& strTitle, const std::string& strDue, int nDaysLeft,
                          NotifyTime time);
    // Once a second: delays, the silence, the repeat windows, the summary.
    void OnTick(NotifyTime time);

    // The messages due since the last call, oldest first.
    std::vector<Notification> TakeMessages();

private:
    struct Channel {
        int nState = kAlarmNone;
        double dLimit = 0.0;
        double dValue = 0.0;
        std::int64_t nSince = 0;  // when the alarm began (steady seconds, as the others here)
        bool bTold = false;       // the alarm was told (or held to be told)
        bool bSentAny = false;
        std::int64_t nLastSent = 0;
        std::vector<Notification> held;
    };
    struct Minute;  // one minute's figures of the nine channels

    // A channel not in use (the source says) has no alarm to tell: true.
    bool ForgetIfNotInUse(int nChannel);
    void CheckDelay(int nChannel, NotifyTime time);
    // A channel's message: sent now, or held while its repeat window runs.
    void Offer(int nChannel, Notification message, std::int64_t nNow);
    void Send(Channel& channel, Notification message, std::int64_t nNow);
    void Count(int nChannel, double dValue, std::int64_t nUtc);
    void CheckSummary(NotifyTime time);

    NotifySource m_source;
    int m_nDelaySeconds = 0;
    int m_nRepeatSeconds = 0;
    int m_nSilenceSeconds = 0;
    int m_nSummaryMinute = -1;
    Channel m_channels[kChannels];
    std::vector<Notification> m_out;

    bool m_bWatching = false;  // silence is counted from the start
    std::int64_t m_nLastHeard = 0;
    bool m_bSilent = false;
    std::string m_strLinkLost;  // why the port was lost; empty: it was not
    bool m_bRecordingFailing = false;
    bool m_bDiskLow = false;

    std::vector<Minute> m_minutes;  // a ring of the last 24 h, by minute
    std::int64_t m_nLastSummaryDay = INT64_MIN;
    struct DayAlarm {
        std::int64_t nUtc;
        std::string strLine;
    };
    std::deque<DayAlarm> m_dayAlarms;
};
