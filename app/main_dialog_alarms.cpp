// The window's side of the alarms (app/alarm_monitor.h does the rest): the
// menu commands, a click on a field in alarm, the "Alarmy" dialog and the
// messages about the alarm log.
#include "app/main_dialog.h"

#include "framework/win_app.h"
#include "res/resource.h"
#include "alarms/alarm_dialog.h"

void CMainDialog::AlarmHost::OfferAcknowledgement(BOOL bOffer) {
    if (m_dlg.m_hWnd != nullptr)
        EnableMenuItem(GetMenu(m_dlg.m_hWnd), ID_ACKNOWLEDGE_ALARMS, MF_BYCOMMAND | (bOffer ? MF_ENABLED : MF_GRAYED));
}

// Posted, so the message box waits for no reading.
void CMainDialog::AlarmHost::NoticeLogFailure() { PostMessageW(m_dlg.m_hWnd, WM_ALARM_LOG_NOTICE, 0, 0); }

void CMainDialog::OnAcknowledgeAlarms() { m_alarms.Acknowledge(); }

// The fields let clicks through to the window, which finds the field hit.
void CMainDialog::OnLButtonDown(UINT, POINT point) {
    for (int c = 0; c < 9; ++c) {
        if (m_channels[c].alarm.nState == kAlarmNone)
            continue;
        RECT rc;
        ::GetWindowRect(Field(c), &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        if (PtInRect(&rc, point)) {
            m_alarms.Acknowledge();
            return;
        }
    }
}

LRESULT CMainDialog::OnAlarmLogNotice(WPARAM, LPARAM) {
    AfxMessageBox(m_alarms.LogFailureText(), MB_ICONEXCLAMATION);
    return 0;
}

// In the status line, not a box: the window is also closed by the
// uninstaller and by scripts, and a box would hold the port, the files and
// the DDE name until someone answers. The failure itself was told in a box
// when it began.
void CMainDialog::TellAlarmLogLoss() {
    const std::string text = m_alarms.Close();
    if (text.empty() || m_hWnd == nullptr)
        return;
    m_strStatus = text;
    m_editStatus.SetWindowText(text);
    ::UpdateWindow(m_editStatus);
}

void CMainDialog::OnAlarms() {
    CAlarmDialog dlg(this);
    dlg.m_settings = m_alarms.Settings();
    if (dlg.DoModal() != IDOK)
        return;
    m_alarms.ChangeSettings(dlg.m_settings);
    SaveSettingsNow();
    UpdateStatusLine();
    m_dde.NotifyAll();
}
