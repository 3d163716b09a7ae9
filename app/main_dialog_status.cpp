// The status line, which says what every part is doing, and the messages
// that change it: the database, MQTT or a way of notifying began or stopped
// failing, a worker thread ended.
#include "app/main_dialog.h"

#include "instrument/status_line.h"

void CMainDialog::UpdateStatusLine() {
    if (m_hWnd == nullptr)
        return;
    const CLineDecoder& decoder = m_instrument.Decoder();
    const int c = m_instrument.LastChannel();
    const bool bChannelKnown = c >= 0 && c < CLineDecoder::kChannels;
    StatusLineState state;
    state.bLinkUp = m_instrument.IsLinkUp();
    state.nSerialNumber = decoder.m_nSerialNumber;
    state.nLastChannel = c;
    state.nValueError = bChannelKnown ? decoder.m_bValueError[c] : 0;
    state.nCalibrationError = bChannelKnown ? decoder.m_bCalibrationError[c] : 0;
    state.bRecording = m_recorder.IsRecording();
    state.nIntervalSeconds = m_recorder.Settings().nInterval;
    state.bRecordingFailing = m_recorder.IsFailing();
    state.strDiskLow = m_recorder.DiskWarning();
    ChannelAlarm alarms[CChannelSet::kChannels];
    for (int channel = 0; channel < CChannelSet::kChannels; ++channel)
        alarms[channel] = m_instrument.Channels()[channel].alarm;
    state.strAlarm = ComposeAlarmPiece(alarms, m_instrument.GetChannelConfig()) +
                     ComposeRefusedLimitsPiece(m_alarms.Settings()) +
                     ComposeRefusedChannelsPiece(m_instrument.GetChannelConfig()) + m_calibration.StatusPiece();
    state.bDatabaseFailing = m_database.IsFailing();
    state.strDatabaseReason = ShortSendFault(m_database.State());
    state.bMqttFailing = m_mqttFeed.IsFailing();
    state.bNotifyFailing = m_notify.IsFailing();
    state.bThreadFailed = m_bThreadFailed;
    m_panel.ShowStatus(ComposeStatusLine(state));
}

void CMainDialog::OnFeedStateChanged() { UpdateStatusLine(); }

void CMainDialog::OnThreadFailed() {
    m_bThreadFailed = true;
    UpdateStatusLine();
}

// The recording, the database, MQTT and the notifications: the feeds run their own dialogs;
// what they changed goes to the status line and the file.
void CMainDialog::OnRecording() { m_recorder.OnSettingsCommand(); }

void CMainDialog::OnDatabase() {
    if (!m_database.RunDialog(this))
        return;
    UpdateStatusLine();
    SaveSettingsNow();
}

void CMainDialog::OnMqtt() {
    if (!m_mqttFeed.RunDialog(this))
        return;
    UpdateStatusLine();
    SaveSettingsNow();
}

void CMainDialog::OnNotifications() {
    if (!m_notify.RunDialog(this))
        return;
    UpdateStatusLine();
    SaveSettingsNow();
}
