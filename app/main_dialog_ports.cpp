// The port dialog, run from the main window.
#include "app/main_dialog.h"
#include "serial/port_dialog.h"
#include "serial/com_port.h"

int CMainDialog::ChoosePort() {
    if (!m_bOfferPortDialog)
        return 0;
    // The scan first, then the dialog with what it found.
    CPortDialog dlg;
    dlg.m_entries = ScanPortsWhileWaiting();
    dlg.m_nCurrentPort = m_pPort != nullptr ? m_pPort->GetPortNumber() : 0;
    const INT_PTR nResult = dlg.DoModal();
    return nResult == IDOK ? dlg.m_nCurrentPort : 0;
}

LRESULT CMainDialog::OnPortGone(WPARAM, LPARAM) {
    SetTimer(kReopenPortTimerId, 2000);
    return 0;
}

void CMainDialog::ReopenPort() {
    // Stopped while the port changes: the old driver's destructor dispatches
    // messages, and this timer must not come back in meanwhile.
    KillTimer(kReopenPortTimerId);
    if (m_pPort != nullptr && !m_pPort->IsGone())
        return;  // reopened meanwhile (the port dialog)
    // The same number as before; the lost link shows until it opens, and a
    // failure says nothing: the adapter is simply not back yet.
    const int nPort = m_pPort != nullptr ? m_pPort->GetPortNumber() : m_nPortNumber;
    ClosePort();
    if (nPort > 0 && !OpenPort(nPort))
        SetTimer(kReopenPortTimerId, 2000);
}
