// The main window's side of the DDE server: the channels it reads, and the
// advise post that has to wait until DDEML has made a new link.
#include "app/main_dialog.h"

#include "framework/win_app.h"

namespace {
const char kDdeStartFailed[] = "B\xB3\xB9" "d inicjalizacji DDE!";
}  // namespace

void CMainDialog::HandChannelsToDdeServer() { m_ddeServer.SetChannels(&m_channels, m_hWnd); }

LRESULT CMainDialog::OnDdeAdviseStarted(WPARAM wParam, LPARAM lParam) {
    // The server may have stopped or restarted meanwhile; it then has no
    // such link and the post reaches nobody.
    m_ddeServer.PostAdvise(static_cast<int>(wParam), static_cast<int>(lParam));
    return 0;
}

// Ending the service can wait for the clients' replies (DDEML on Windows
// runs a message loop for them in DdeUninitialize); the serial reader's
// bytes are handled meanwhile, so a line can bring ApplyReading back here
// while the server is half stopped. Such a line only asks for another pass,
// made with the link state and serial number of the latest line.
void CMainDialog::RestartDdeServer() {
    if (m_bDdeRestarting) {
        m_bDdeRestartAgain = TRUE;
        return;
    }
    m_bDdeRestarting = TRUE;
    BOOL bFailed = FALSE;
    do {
        m_bDdeRestartAgain = FALSE;
        m_ddeServer.Stop();
        // The topics carry the serial number of the line that brought the
        // link up; an instrument numbered 0 is not published.
        const int nSerial = Decoder().m_nSerialNumber;
        bFailed = m_bLinkUp && nSerial > 0 && !m_ddeServer.Start(nSerial);
    } while (m_bDdeRestartAgain);
    m_bDdeRestarting = FALSE;
    if (bFailed)
        AfxMessageBox(kDdeStartFailed, MB_ICONERROR);
}
