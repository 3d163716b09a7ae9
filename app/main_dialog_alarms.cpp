// Alarms: each channel's valid readings judged against its limits, the
// field's mark and the status line's piece, the sound until the user
// acknowledges it, the alarm log, and the "Alarmy" dialog.
#include "app/main_dialog.h"

#include "framework/win_app.h"
#include "recording/alarm_log.h"
#include "res/resource.h"
#include "ui/alarm_dialog.h"

namespace {

const UINT kAlarmSoundPeriodMs = 10000;

const char kAlarmLogFailed[] = "Nie mo\xBFna zapisa\xE6 zdarzenia do dziennika alarm\xF3w:";
const char kAlarmLogRetried[] =
    "Alarmy dzia\xB3" "aj\xB9 dalej. Zapis jest ponawiany przy ka\xBF" "dym kolejnym zdarzeniu, "
    "a zaleg\xB3" "e zdarzenia zostan\xB9 dopisane, gdy tylko zapis si\xEA uda.";

// Lines kept in memory while no log file can be opened: weeks of events at
// any sensible rate; past it the oldest go.
const std::size_t kMaxWaitingBytes = 1u << 20;

}  // namespace

void CMainDialog::PlayExclamationSound() { MessageBeep(MB_ICONEXCLAMATION); }

BOOL CMainDialog::IsAnyAlarmActive() const {
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        if (m_channels[c].alarm.nState != kAlarmNone)
            return TRUE;
    return FALSE;
}

BOOL CMainDialog::JudgeChannelAlarm(int nChannel) {
    const ChannelState& channel = m_channels[nChannel];
    const ChannelAlarm before = channel.alarm;
    // Errors and a lost link leave the alarm as it is; the fields blink for them.
    const AlarmEvents events =
        m_channels.JudgeAlarm(nChannel, m_alarmSettings.limits[nChannel], m_alarmSettings.dHysteresis);
    BOOL bEntered = FALSE;
    for (int i = 0; i < events.nCount; ++i) {
        WriteAlarmLog(FormatAlarmLogLine(LocalRecordTime(), nChannel, events.events[i], channel.dValue,
                                         channel.bFineResolution != FALSE));
        bEntered = bEntered || events.events[i].kind != kAlarmEnded;
    }
    Field(nChannel).SetAlarmMark(channel.alarm.nState);
    if (bEntered)
        SoundAlarm();
    else if (m_bAlarmUnacknowledged && !IsAnyAlarmActive())
        AcknowledgeAlarms();  // nothing left to call anyone to
    return before.nState != channel.alarm.nState || before.dLimit != channel.alarm.dLimit;
}

void CMainDialog::SoundAlarm() {
    m_bAlarmUnacknowledged = TRUE;
    EnableMenuItem(GetMenu(m_hWnd), ID_ACKNOWLEDGE_ALARMS, MF_BYCOMMAND | MF_ENABLED);
    if (!m_alarmSettings.bSound)
        return;
    m_pfnAlarmSound();
    // A new alarm starts the period afresh.
    SetTimer(kAlarmSoundTimerId, kAlarmSoundPeriodMs);
}

void CMainDialog::OnAlarmSoundTick() {
    if (m_bAlarmUnacknowledged && m_alarmSettings.bSound && IsAnyAlarmActive())
        m_pfnAlarmSound();
    else
        KillTimer(kAlarmSoundTimerId);
}

// Silences the sound; the fields keep their marks while the alarms last.
void CMainDialog::AcknowledgeAlarms() {
    m_bAlarmUnacknowledged = FALSE;
    KillTimer(kAlarmSoundTimerId);
    if (m_hWnd != nullptr)
        EnableMenuItem(GetMenu(m_hWnd), ID_ACKNOWLEDGE_ALARMS, MF_BYCOMMAND | MF_GRAYED);
}

void CMainDialog::OnAcknowledgeAlarms() { AcknowledgeAlarms(); }

// The fields let clicks through to the window, which finds the field hit.
void CMainDialog::OnLButtonDown(UINT, POINT point) {
    for (int c = 0; c < 9; ++c) {
        if (m_channels[c].alarm.nState == kAlarmNone)
            continue;
        RECT rc;
        ::GetWindowRect(Field(c), &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        if (PtInRect(&rc, point)) {
            AcknowledgeAlarms();
            return;
        }
    }
}

// An event that cannot be written waits, with those before it, for the next
// event; the user is told once until a write works again.
void CMainDialog::WriteAlarmLog(const std::string& strLine) {
    const std::string& path = m_alarmSettings.strLogPath;
    if (path.empty())
        return;
    if (m_pAlarmLog && m_pAlarmLog->GetPath() != path)
        m_pAlarmLog.reset();
    std::string header;
    if (!m_pAlarmLog) {
        BOOL bExisted = FALSE;
        DWORD dwError = ERROR_SUCCESS;
        m_pAlarmLog = CRecordFile::Open(path, &bExisted, &dwError);
        if (m_pAlarmLog && !m_pAlarmLog->SeekToEnd())
            m_pAlarmLog.reset();
        if (m_pAlarmLog && m_pAlarmLog->Sink().End() == 0)
            header = FormatAlarmLogHeader();
    }
    m_strAlarmLogWaiting += strLine;
    if (!m_pAlarmLog) {
        if (m_strAlarmLogWaiting.size() > kMaxWaitingBytes) {
            const std::size_t cut = m_strAlarmLogWaiting.find("\r\n", m_strAlarmLogWaiting.size() - kMaxWaitingBytes);
            m_strAlarmLogWaiting.erase(0, cut == std::string::npos ? m_strAlarmLogWaiting.size() : cut + 2);
        }
    } else {
        m_pAlarmLog->Append(header, m_strAlarmLogWaiting);
        // What the file did not take waits in its own sink now.
        m_strAlarmLogWaiting.clear();
    }
    const BOOL bFailing = !m_pAlarmLog || m_pAlarmLog->IsFailing();
    if (bFailing && !m_bAlarmLogFailing)
        PostMessageW(m_hWnd, WM_ALARM_LOG_NOTICE, 0, 0);
    m_bAlarmLogFailing = bFailing;
}

LRESULT CMainDialog::OnAlarmLogNotice(WPARAM, LPARAM) {
    std::string text = std::string(kAlarmLogFailed) + "\r\n" + m_alarmSettings.strLogPath + "\r\n";
    if (m_pAlarmLog)
        text += SystemErrorText(m_pAlarmLog->GetLastError()) + "\r\n";
    AfxMessageBox(text + "\r\n" + kAlarmLogRetried, MB_ICONEXCLAMATION);
    return 0;
}

void CMainDialog::OnAlarms() {
    CAlarmDialog dlg(this);
    dlg.m_settings = m_alarmSettings;
    if (dlg.DoModal() != IDOK)
        return;
    m_alarmSettings = dlg.m_settings;
    SaveSettingsNow();
    if (m_pAlarmLog && m_pAlarmLog->GetPath() != m_alarmSettings.strLogPath)
        m_pAlarmLog.reset();
    if (!m_alarmSettings.bSound)
        KillTimer(kAlarmSoundTimerId);
    // New limits count from now for every channel that holds a valid value;
    // the others are judged at their next valid reading.
    for (int c = 0; c < 9; ++c)
        JudgeChannelAlarm(c);
    UpdateStatusLine();
    m_ddeServer.NotifyAll();
}
