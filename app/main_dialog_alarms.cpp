// The window's side of the alarms (alarms/alarm_monitor.h does the rest): the
// menu commands, a click on a field in alarm, the "Alarmy" dialog and the
// messages about the alarm log.
#include "app/main_dialog.h"

#include "framework/win_app.h"
#include "res/resource.h"
#include "alarms/alarm_dialog.h"

void CMainDialog::OnAcknowledgeAlarms() { m_alarms.Acknowledge(); }

// The fields let clicks through to the window, which finds the field hit.
void CMainDialog::OnLButtonDown(UINT, POINT point) {
    if (m_panel.AlarmFieldAt(m_instrument.Channels(), m_hWnd, point) >= 0)
        m_alarms.Acknowledge();
}

void CMainDialog::OnAlarmLogNotice() { AfxMessageBox(m_alarms.LogFailureText(), MB_ICONEXCLAMATION); }

// In the status line, not a box: the window is also closed by the
// uninstaller and by scripts, and a box would hold the port, the files and
// the DDE name until someone answers. The failure itself was told in a box
// when it began.
void CMainDialog::TellAlarmLogLoss() {
    const std::string text = m_alarms.Close();
    if (text.empty() || m_hWnd == nullptr)
        return;
    m_panel.ShowStatusNow(text);
}

void CMainDialog::OnAlarms() {
    CAlarmDialog dlg(this);
    dlg.m_settings = m_alarms.Settings();
    dlg.m_channels = m_instrument.GetChannelConfig();
    if (dlg.DoModal() != IDOK)
        return;
    m_alarms.ChangeSettings(dlg.m_settings);
    SaveSettingsNow();
    UpdateStatusLine();
    m_dde.NotifyAll();
}
