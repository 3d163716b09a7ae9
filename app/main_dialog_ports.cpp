// The instrument's port from the window: opened at start, chosen in the
// port dialog, reopened after an unplug, and every byte it receives handed
// to the instrument.
#include "app/main_dialog.h"

#include "framework/win_app.h"
#include "serial/port_dialog.h"

#include <cstdio>

namespace {

const char kCannotOpenPort[] = "Nie mo\xBFna otworzy\xE6 portu COM%d";

}  // namespace

// Started with Windows, nobody may be at the screen and a USB adapter may
// not be there yet: the port is retried as after an unplug, silently.
void CMainDialog::OpenPortAtStart() {
    const int nPort = m_port.Number();
    if (nPort > 0 && m_port.Open(nPort))
        return;
    if (m_start.bStartedWithWindows) {
        if (nPort > 0)
            m_port.ReopenLater();
        return;
    }
    if (nPort > 0) {
        char szText[64];
        std::snprintf(szText, sizeof szText, kCannotOpenPort, nPort);
        AfxMessageBox(szText, MB_OK);
    }
    OnSerialPort();
}

void CMainDialog::OnSerialPort() {
    if (!IsWindowVisible(m_hWnd)) {
        SetTimer(kPortDialogTimerId, 500);
        return;
    }
    for (;;) {
        const int nChosen = ChoosePort();
        // A port whose device has gone counts as not open: choosing it reopens it.
        const int nOpen = m_port.IsGone() ? 0 : m_port.DriverNumber();
        if (nChosen == nOpen || nChosen <= 0)
            return;
        if (m_port.Choose(nChosen)) {
            SaveSettingsNow();
            return;
        }
        char szText[64];
        std::snprintf(szText, sizeof szText, kCannotOpenPort, nChosen);
        AfxMessageBox(szText, MB_OK);
    }
}

int CMainDialog::ChoosePort() {
    if (!m_start.bOfferPortDialog)
        return 0;
    // The scan first, then the dialog with what it found.
    CPortDialog dlg;
    dlg.m_entries = ScanPortsWhileWaiting();
    dlg.m_nCurrentPort = m_port.DriverNumber();
    const INT_PTR nResult = dlg.DoModal();
    return nResult == IDOK ? dlg.m_nCurrentPort : 0;
}

void CMainDialog::OnPortChar(unsigned char b) { m_instrument.OnPortChar(b); }

void CMainDialog::OnPortGone() { m_port.ReopenLater(); }
