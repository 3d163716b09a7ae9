#include "app/main_window_hosts.h"

#include "app/main_dialog.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "recording/recording_dialog.h"
#include "recording/report_file.h"
#include "res/resource.h"

UINT_PTR CMainWindowHosts::SetTimer(UINT_PTR id, UINT elapseMs) { return m_dlg.SetTimer(id, elapseMs); }

void CMainWindowHosts::KillTimer(UINT_PTR id) { m_dlg.KillTimer(id); }

HWND CMainWindowHosts::NotifyWindow() const { return m_dlg.m_hWnd; }

CWnd* CMainWindowHosts::Owner() { return &m_dlg; }

int CMainWindowHosts::InstrumentNumber() const { return m_dlg.m_instrument.SerialNumber(); }
const ChannelConfig& CMainWindowHosts::ChannelConfiguration() const { return m_dlg.m_instrument.GetChannelConfig(); }

bool CMainWindowHosts::StartedWithWindows() const { return m_dlg.m_start.bStartedWithWindows; }

void CMainWindowHosts::StatusChanged() {
    const CRecorder& recorder = m_dlg.m_recorder;
    std::string strWhy;
    for (const CRecordFile* pFile : {recorder.ReportFile(), recorder.BinaryFile()})
        if (pFile != nullptr && pFile->IsFailing())
            strWhy += (strWhy.empty() ? "" : "; ") + pFile->GetPath() + " (" + std::to_string(pFile->GetLastError()) + ")";
    m_dlg.m_notify.OnRecordingState(recorder.IsFailing(), strWhy);
    m_dlg.m_notify.OnDiskSpace(recorder.DiskWarning());
    m_dlg.UpdateStatusLine();
}

void CMainWindowHosts::ShowAlarmMark(int nChannel, int nState) { m_dlg.m_panel.Field(nChannel).SetAlarmMark(nState); }

void CMainWindowHosts::OfferAcknowledgement(BOOL bOffer) {
    if (m_dlg.m_hWnd != nullptr)
        EnableMenuItem(GetMenu(m_dlg.m_hWnd), ID_ACKNOWLEDGE_ALARMS, MF_BYCOMMAND | (bOffer ? MF_ENABLED : MF_GRAYED));
}

// Posted, so the message box waits for no reading.
void CMainWindowHosts::NoticeLogFailure() { PostMessageW(m_dlg.m_hWnd, WM_ALARM_LOG_NOTICE, 0, 0); }

int CMainWindowHosts::ShowMessage(const std::string& strText, UINT nType) { return AfxMessageBox(strText, nType); }

bool CMainWindowHosts::EditSettings(RecordingSettings& settings, std::string& strComment) {
    CRecordingDialog dlg(&m_dlg);
    dlg.m_settings = settings;
    dlg.m_strComment = strComment;
    if (dlg.DoModal() != IDOK)
        return false;
    settings = dlg.m_settings;
    strComment = dlg.m_strComment;
    return true;
}

void CMainWindowHosts::SaveSettings() { m_dlg.SaveSettingsNow(); }

void CMainWindowHosts::EnableSettingsCommand() {
    EnableMenuItem(GetMenu(m_dlg.m_hWnd), ID_RECORDING, MF_BYCOMMAND | MF_ENABLED);
}

// Nobody may be at the screen of a copy started with Windows.
void CMainWindowHosts::Tell(const std::string& text, UINT type) {
    if (!m_dlg.m_start.bStartedWithWindows)
        AfxMessageBox(text, type);
}

unsigned CMainWindowHosts::ChannelsWithAlarmLimits() const {
    unsigned mask = 0;
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        mask |= m_dlg.m_alarms.Settings().limits[c].IsSet() ? 1u << c : 0u;
    return mask;
}

std::string CMainWindowHosts::ProfileName() const { return m_dlg.m_start.strProfile; }

std::string CMainWindowHosts::SettingsPath() const { return afx::PathKeyText(m_dlg.m_start.strSettingsPath); }

std::wstring CMainWindowHosts::SettingsFile() const { return m_dlg.m_start.strSettingsPath; }

// The user's choice for the report serves the messages too.
char CMainWindowHosts::DecimalSeparator() const {
    const RecordingSettings& s = m_dlg.m_recorder.Settings();
    return ReportDecimalComma(s.nSeparator, s.bDecimalComma) ? ',' : '.';
}

void CMainWindowHosts::OnLinkChanged(const CInstrument& instrument) {
    m_dlg.m_panel.ShowResolution(instrument.Channels());
    m_dlg.LayOutAgain();
}

void CMainWindowHosts::OnReading(const CInstrument& instrument, int nChannel) {
    m_dlg.UpdateStatusLine();
    if (nChannel == CInstrument::kNoChannel)
        m_dlg.m_panel.ShowAllChannels(instrument.Channels());
    else
        m_dlg.m_panel.ShowChannel(instrument.Channels(), nChannel);
}
