#include "notify/notify_rules.h"

#include <algorithm>
#include <utility>

namespace {

const int kDayMinutes = 24 * 60;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

struct CNotifyRules::Minute {
    std::int64_t nMinute = INT64_MIN;  // which minute (UTC) the slot holds
    double dMin[kChannels];
    double dMax[kChannels];
    double dSum[kChannels];
    int nCount[kChannels];
};

int ParseNotifySummaryTime(const std::string& s) {
    if (s.size() != 5 || s[2] != ':')
        return -1;
    for (int i : {0, 1, 3, 4})
        if (s[i] < '0' || s[i] > '9')
            return -1;
    const int h = (s[0] - '0') * 10 + (s[1] - '0');
    const int m = (s[3] - '0') * 10 + (s[4] - '0');
    return h < 24 && m < 60 ? h * 60 + m : -1;
}

CNotifyRules::CNotifyRules(const NotifySource& source, const NotifySettings& settings) : m_source(source) {
    TakeSettings(settings);
}

CNotifyRules::~CNotifyRules() = default;

void CNotifyRules::TakeSettings(const NotifySettings& settings) {
    m_nDelaySeconds = std::max(0, settings.nDelaySeconds);
    m_nRepeatSeconds = std::max(0, settings.nRepeatMinutes) * 60;
    m_nSilenceSeconds = std::max(0, settings.nSilenceMinutes) * 60;
    m_nSummaryMinute = ParseNotifySummaryTime(settings.strSummary);
    if (m_nSummaryMinute >= 0 && m_minutes.empty())
        m_minutes.resize(kDayMinutes);
}

void CNotifyRules::OnStart(bool bUnclean, NotifyTime time) {
    m_bWatching = true;
    m_nLastHeard = time.nSteady;
    if (bUnclean)
        m_out.push_back(ComposeEventMessage(m_source, NotifyEvent::kUncleanStart, time, 0, ""));
}

void CNotifyRules::OnReading(int nChannel, double dValue, const ChannelAlarm& alarm, NotifyTime time) {
    if (nChannel < 0 || nChannel >= kChannels)
        return;
    if (ForgetIfNotInUse(nChannel))
        return;
    Channel& c = m_channels[nChannel];
    if (alarm.nState != c.nState) {
        // The alarm that ends is told as ended only if its start was told:
        // a value back within the delay sends nothing at all.
        if (c.nState != kAlarmNone && c.bTold)
            Offer(nChannel,
                  ComposeAlarmMessage(m_source, NotifyEvent::kAlarmCleared, nChannel, dValue, c.dLimit,
                                      c.nState == kAlarmHigh, time, time.nSteady - c.nSince),
                  time.nSteady);
        c.nState = alarm.nState;
        c.dLimit = alarm.dLimit;
        c.nSince = time.nSteady;
        c.bTold = false;
    }
    c.dValue = dValue;
    CheckDelay(nChannel, time);
    if (!m_minutes.empty())
        Count(nChannel, dValue, time.nUtc);
}

bool CNotifyRules::ForgetIfNotInUse(int nChannel) {
    if (m_source.channels[nChannel].bInUse)
        return false;
    // No probe there: nothing is told of it, and an alarm it had is
    // forgotten, not ended by a message.
    Channel& c = m_channels[nChannel];
    c.nState = kAlarmNone;
    c.bTold = false;
    c.held.clear();
    return true;
}

void CNotifyRules::CheckDelay(int nChannel, NotifyTime time) {
    Channel& c = m_channels[nChannel];
    if (c.nState == kAlarmNone || c.bTold || time.nSteady - c.nSince < m_nDelaySeconds)
        return;
    c.bTold = true;
    Notification message = ComposeAlarmMessage(m_source, NotifyEvent::kAlarmRaised, nChannel, c.dValue, c.dLimit,
                                               c.nState == kAlarmHigh, time, -1);
    m_dayAlarms.push_back({time.nUtc, NotifyListLine(message)});
    if (m_dayAlarms.size() > kMostDayAlarms)
        m_dayAlarms.pop_front();
    Offer(nChannel, std::move(message), time.nSteady);
}

void CNotifyRules::Offer(int nChannel, Notification message, std::int64_t nNow) {
    Channel& c = m_channels[nChannel];
    if (!c.bSentAny || nNow - c.nLastSent >= m_nRepeatSeconds) {
        Send(c, std::move(message), nNow);
        return;
    }
    if (c.held.size() >= kMostHeld)
        c.held.erase(c.held.begin());
    c.held.push_back(std::move(message));
}

void CNotifyRules::Send(Channel& c, Notification message, std::int64_t nNow) {
    AppendDigest(message, c.held, m_nRepeatSeconds / 60);
    c.held.clear();
    c.bSentAny = true;
    c.nLastSent = nNow;
    m_out.push_back(std::move(message));
}

void CNotifyRules::OnLineHeard(NotifyTime time) {
    m_bWatching = true;
    if (m_bSilent) {
        m_bSilent = false;
        m_out.push_back(ComposeEventMessage(m_source, NotifyEvent::kHeardAgain, time, time.nSteady - m_nLastHeard, ""));
    }
    m_nLastHeard = time.nSteady;
    m_strLinkLost.clear();
}

void CNotifyRules::OnLinkLost(const std::string& strWhy) { m_strLinkLost = strWhy; }

void CNotifyRules::OnRecordingFailed(const std::string& strWhy, NotifyTime time) {
    if (m_bRecordingFailing)
        return;
    m_bRecordingFailing = true;
    m_out.push_back(ComposeEventMessage(m_source, NotifyEvent::kRecordingFailed, time, 0, strWhy));
}

void CNotifyRules::OnRecordingRecovered(NotifyTime time) {
    if (!m_bRecordingFailing)
        return;
    m_bRecordingFailing = false;
    m_out.push_back(ComposeEventMessage(m_source, NotifyEvent::kRecordingRecovered, time, 0, ""));
}

void CNotifyRules::OnDiskSpace(const std::string& strWarning, NotifyTime time) {
    if (strWarning.empty() != m_bDiskLow)
        return;
    m_bDiskLow = !strWarning.empty();
    m_out.push_back(ComposeEventMessage(m_source, m_bDiskLow ? NotifyEvent::kDiskLow : NotifyEvent::kDiskOk, time, 0,
                                        strWarning));
}

void CNotifyRules::OnTick(NotifyTime time) {
    for (int n = 0; n < kChannels; ++n) {
        if (ForgetIfNotInUse(n))
            continue;
        CheckDelay(n, time);
        Channel& c = m_channels[n];
        if (!c.held.empty() && time.nSteady - c.nLastSent >= m_nRepeatSeconds) {
            // The last held is the news; the ones before it its digest.
            Notification last = std::move(c.held.back());
            c.held.pop_back();
            Send(c, std::move(last), time.nSteady);
        }
    }
    // Counted from the first tick when no start was told.
    if (!m_bWatching) {
        m_bWatching = true;
        m_nLastHeard = time.nSteady;
    }
    if (m_nSilenceSeconds > 0 && !m_bSilent && time.nSteady - m_nLastHeard >= m_nSilenceSeconds) {
        m_bSilent = true;
        m_out.push_back(
            ComposeEventMessage(m_source, NotifyEvent::kSilent, time, time.nSteady - m_nLastHeard, m_strLinkLost));
    }
    CheckSummary(time);
}

void CNotifyRules::Count(int nChannel, double dValue, std::int64_t nUtc) {
    const std::int64_t minute = FloorDiv(nUtc, 60);
    Minute& slot = m_minutes[static_cast<std::size_t>(minute - FloorDiv(minute, kDayMinutes) * kDayMinutes)];
    if (slot.nMinute != minute) {
        slot.nMinute = minute;
        std::fill(std::begin(slot.nCount), std::end(slot.nCount), 0);
    }
    if (slot.nCount[nChannel] == 0) {
        slot.dMin[nChannel] = slot.dMax[nChannel] = dValue;
        slot.dSum[nChannel] = 0.0;
    }
    slot.dMin[nChannel] = std::min(slot.dMin[nChannel], dValue);
    slot.dMax[nChannel] = std::max(slot.dMax[nChannel], dValue);
    slot.dSum[nChannel] += dValue;
    ++slot.nCount[nChannel];
}

void CNotifyRules::CheckSummary(NotifyTime time) {
    if (m_nSummaryMinute < 0)
        return;
    const std::int64_t local = time.Local();
    const std::int64_t day = FloorDiv(local, 86400);
    const bool bPassed = (local - day * 86400) / 60 >= m_nSummaryMinute;
    if (m_nLastSummaryDay == INT64_MIN) {
        // Started after today's time: the first summary is tomorrow's.
        m_nLastSummaryDay = bPassed ? day : day - 1;
        return;
    }
    if (!bPassed || day <= m_nLastSummaryDay)
        return;
    m_nLastSummaryDay = day;

    const std::int64_t now = FloorDiv(time.nUtc, 60);
    std::vector<NotifySummaryRow> rows;
    for (int n = 0; n < kChannels; ++n) {
        NotifySummaryRow row{n, 0.0, 0.0, 0.0};
        double sum = 0.0;
        long long count = 0;
        for (const Minute& slot : m_minutes) {
            if (slot.nMinute <= now - kDayMinutes || slot.nMinute > now || slot.nCount[n] == 0)
                continue;
            row.dMin = count == 0 ? slot.dMin[n] : std::min(row.dMin, slot.dMin[n]);
            row.dMax = count == 0 ? slot.dMax[n] : std::max(row.dMax, slot.dMax[n]);
            sum += slot.dSum[n];
            count += slot.nCount[n];
        }
        if (count > 0 && m_source.channels[n].bInUse) {
            row.dMean = sum / count;
            rows.push_back(row);
        }
    }
    while (!m_dayAlarms.empty() && m_dayAlarms.front().nUtc <= time.nUtc - 86400)
        m_dayAlarms.pop_front();
    std::vector<std::string> alarms;
    const std::size_t first = m_dayAlarms.size() > kListedDayAlarms ? m_dayAlarms.size() - kListedDayAlarms : 0;
    for (std::size_t i = first; i < m_dayAlarms.size(); ++i)
        alarms.push_back(m_dayAlarms[i].strLine);
    m_out.push_back(ComposeSummaryMessage(m_source, time, rows, alarms, static_cast<int>(first)));
}

void CNotifyRules::OnCalibrationDue(int nChannel, const std::string& strTitle, const std::string& strDue, int nDaysLeft,
                                    NotifyTime time) {
    m_out.push_back(ComposeCalibrationMessage(m_source, time, nChannel, strTitle, strDue, nDaysLeft));
}

std::vector<Notification> CNotifyRules::TakeMessages() {
    std::vector<Notification> out;
    out.swap(m_out);
    return out;
}
