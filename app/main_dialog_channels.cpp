// The window's side of the channels' settings: "Ustawienia -> Kana\xB3y...",
// what a change there tells the parts, and the calibration's due dates
// looked at on the once-a-second tick.
#include "app/main_dialog.h"

#include "common/civil_time.h"
#include "config/cp1250.h"
#include "ui/channels_dialog.h"

void CMainDialog::OnChannels() {
    CChannelsDialog dlg(this);
    dlg.m_config = m_instrument.GetChannelConfig();
    if (dlg.DoModal() != IDOK)
        return;
    // At once: the next reading is corrected and named by the new settings.
    m_instrument.SetChannelConfig(dlg.m_config);
    SaveSettingsNow();
    OnChannelsApplied();
}

// What shows or writes the channels redoes it now, not at the next start.
void CMainDialog::OnChannelsApplied() {
    OnChannelConfigChanged();  // the fields: their titles, and which inputs have one
    m_recorder.OnChannelConfigChanged();  // a fresh header line when the report's columns changed
    m_alarms.OnChannelConfigChanged();    // an input switched off loses its alarm
    m_mqttFeed.OnChannelConfigChanged(m_instrument);  // entities renamed, or removed for inputs off
    m_calibration.OnConfigChanged(m_instrument.GetChannelConfig());
    UpdateStatusLine();
    m_dde.NotifyAll();
}

void CMainDialog::OnCalibrationTick() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const ChannelConfig& config = m_instrument.GetChannelConfig();
    if (!m_calibration.OnTick(config, DaysFromCivil(now.wYear, now.wMonth, now.wDay)))
        return;
    const std::vector<CalibrationNotice> notices = m_calibration.TakeNotices();
    for (const CalibrationNotice& notice : notices)
        m_notify.OnCalibrationDue(notice.nChannel, Cp1250ToUtf8(config.Title(notice.nChannel)), notice.strDue,
                                  notice.nDaysLeft);
    // Kept at once: a power cut after a notice must not bring it again.
    if (!notices.empty())
        SaveSettingsNow();
    UpdateStatusLine();
}
