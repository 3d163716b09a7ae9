#include "alarms/alarm_monitor.h"

#include "alarms/alarm_log.h"
#include "framework/record_file.h"

namespace {

const char kLogFailed[] = "Nie mo\xBFna zapisa\xE6 zdarzenia do dziennika alarm\xF3w:";
const char kLogRetried[] =
    "Alarmy dzia\xB3" "aj\xB9 dalej. Zapis jest ponawiany przy ka\xBF" "dym kolejnym zdarzeniu, "
    "a zaleg\xB3" "e zdarzenia zostan\xB9 dopisane, gdy tylko zapis si\xEA uda.";
const char kLogLostAtExit[] = "Nie wszystkie zdarzenia zapisano do dziennika alarm\xF3w ";

// Lines kept in memory while no log file can be opened: weeks of events at
// any sensible rate; past it the oldest go.
const std::size_t kMaxWaitingBytes = 1u << 20;

}  // namespace

CAlarmMonitor::CAlarmMonitor(Host& host, CChannelSet& channels) : m_host(host), m_channels(channels) {}

void CAlarmMonitor::PlayExclamationSound() { MessageBeep(MB_ICONEXCLAMATION); }

BOOL CAlarmMonitor::IsAnyActive() const {
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        if (m_channels[c].alarm.nState != kAlarmNone)
            return TRUE;
    return FALSE;
}

BOOL CAlarmMonitor::Judge(int nChannel) {
    const ChannelState& channel = m_channels[nChannel];
    const ChannelAlarm before = channel.alarm;
    // Errors and a lost link leave the alarm as it is; the fields blink for them.
    const AlarmEvents events = m_channels.JudgeAlarm(nChannel, m_settings.limits[nChannel], m_settings.dHysteresis);
    BOOL bEntered = FALSE;
    for (int i = 0; i < events.nCount; ++i) {
        WriteLog(FormatAlarmLogLine(LocalRecordTime(), nChannel, events.events[i], channel.dValue,
                                    channel.bFineResolution != FALSE, m_channels.Config()));
        bEntered = bEntered || events.events[i].kind != kAlarmEnded;
    }
    m_host.ShowAlarmMark(nChannel, channel.alarm.nState);
    if (bEntered)
        Sound();
    else if (m_bUnacknowledged && !IsAnyActive())
        Acknowledge();  // nothing left to call anyone to
    return before.nState != channel.alarm.nState || before.dLimit != channel.alarm.dLimit;
}

void CAlarmMonitor::ChangeSettings(const AlarmSettings& settings) {
    const BOOL bSoundWasOn = m_settings.bSound;
    if (settings.strLogPath != m_strLogPathSet)
        m_pLog.reset();  // the old file is let go at once
    m_settings = settings;
    if (!m_settings.bSound)
        m_host.KillTimer(kSoundTimerId);
    else if (!bSoundWasOn && m_bUnacknowledged && IsAnyActive())
        Sound();  // switched on while an alarm waits for someone
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        Judge(c);
}

void CAlarmMonitor::OnChannelConfigChanged() {
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        Judge(c);
    m_host.StatusChanged();  // names may have changed even where no alarm did
}

void CAlarmMonitor::Sound() {
    m_bUnacknowledged = TRUE;
    m_host.OfferAcknowledgement(TRUE);
    if (!m_settings.bSound)
        return;
    m_pfnSound();
    // A new alarm starts the period afresh.
    m_host.SetTimer(kSoundTimerId, kSoundPeriodMs);
}

void CAlarmMonitor::OnSoundTick() {
    if (m_bUnacknowledged && m_settings.bSound && IsAnyActive())
        m_pfnSound();
    else
        m_host.KillTimer(kSoundTimerId);
}

void CAlarmMonitor::Acknowledge() {
    m_bUnacknowledged = FALSE;
    m_host.KillTimer(kSoundTimerId);
    m_host.OfferAcknowledgement(FALSE);
}

// An event that cannot be written waits, with those before it, for the next
// event; the user is told once until a write works again.
void CAlarmMonitor::WriteLog(const std::string& strLine) {
    if (m_settings.strLogPath.empty())
        return;
    m_strLogWaiting += strLine;
    FlushLog();
    const BOOL bFailing = !m_pLog || m_pLog->IsFailing();
    if (bFailing && !m_bLogFailing)
        m_host.NoticeLogFailure();
    m_bLogFailing = bFailing;
}

void CAlarmMonitor::FlushLog() {
    const std::string& path = m_settings.strLogPath;
    if (path != m_strLogPathSet) {
        m_pLog.reset();
        m_strLogPathSet = path;
        m_strLogFullPath = AbsoluteFilePath(path);
    }
    std::string header;
    if (!m_pLog) {
        BOOL bExisted = FALSE;
        DWORD dwError = ERROR_SUCCESS;
        m_pLog = CRecordFile::Open(m_strLogFullPath, &bExisted, &dwError);
        if (m_pLog && !m_pLog->SeekToEnd())
            m_pLog.reset();
        if (m_pLog && m_pLog->Sink().End() == 0)
            header = FormatAlarmLogHeader();
    }
    if (!m_pLog) {
        if (m_strLogWaiting.size() > kMaxWaitingBytes) {
            const std::size_t cut = m_strLogWaiting.find("\r\n", m_strLogWaiting.size() - kMaxWaitingBytes);
            m_strLogWaiting.erase(0, cut == std::string::npos ? m_strLogWaiting.size() : cut + 2);
        }
        return;
    }
    m_pLog->Append(header, m_strLogWaiting);
    // What the file did not take waits in its own sink now.
    m_strLogWaiting.clear();
}

std::string CAlarmMonitor::LogFailureText() const {
    std::string text = std::string(kLogFailed) + "\r\n" + m_settings.strLogPath + "\r\n";
    if (m_pLog)
        text += SystemErrorText(m_pLog->GetLastError()) + "\r\n";
    return text + "\r\n" + kLogRetried;
}

std::string CAlarmMonitor::Close() {
    if (m_settings.strLogPath.empty() || (m_strLogWaiting.empty() && !(m_pLog && m_pLog->IsFailing())))
        return std::string();
    FlushLog();
    if (m_pLog && m_strLogWaiting.empty() && !m_pLog->IsFailing())
        return std::string();
    return kLogLostAtExit + m_settings.strLogPath + ".";
}

void CAlarmMonitor::OnReading(const CInstrument&, int nChannel) {
    if (nChannel != CInstrument::kNoChannel && Judge(nChannel))
        m_host.StatusChanged();
}
