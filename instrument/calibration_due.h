// The calibration's due dates kept for each channel, looked at once a day:
// the status line's reminder for every channel in use whose due date is
// today or past, and two notices for each due date: one in its last week,
// one on the day or, when the program was not running then, on the first
// day after it. Which went out is kept in the settings (SentText), so a
// restart on such a day does not send them again.
// No clock of its own: every call is given the local day, so tests replay
// weeks in a moment.
#pragma once

#include "instrument/channel_config.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct CalibrationNotice {
    int nChannel;
    std::string strDue;  // YYYY-MM-DD
    int nDaysLeft;       // 1 to 7 for the week's notice; 0, or below when late, for the day's
};

class CCalibrationReminder {
public:
    enum { kDaysAhead = 7 };

    // Often (once a second will do), with the local date as days since
    // 1970-01-01: on the first call and on each new day the due dates are
    // looked at and the day's notices made (once: a clock set back brings
    // no day's notices again). true then.
    bool OnTick(const ChannelConfig& config, std::int64_t nLocalDay);
    // The dates were changed: the reminder again for the same day, no notices.
    void OnConfigChanged(const ChannelConfig& config);

    // "Kalibracja kana\xB3u Zamra\xBFarka 1 min\xEA\xB3" "a 2026-12-01. " for each,
    // Windows-1250, ending with ". " as the status line's pieces do; empty: none due.
    const std::string& StatusPiece() const { return m_strPiece; }
    // The notices made since the last call.
    std::vector<CalibrationNotice> TakeNotices();

    // The notices that went out, "3 2026-12-01 7,3 2026-12-01 0" (channel,
    // due date, 7 for the week's, 0 for the day's), for the settings file;
    // TakeSent reads such a text back, leaving out what it cannot use.
    std::string SentText() const;
    void TakeSent(const std::string& strText);

private:
    void Look(const ChannelConfig& config, bool bNotices);

    std::int64_t m_nDay = INT64_MIN;
    std::set<std::string> m_sent;  // "channel due days-left" of each notice made
    std::string m_strPiece;
    std::vector<CalibrationNotice> m_notices;
};
