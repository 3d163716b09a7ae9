// The port dialog, run from the main window.
#include "app/main_dialog.h"
#include "serial/port_dialog.h"

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
