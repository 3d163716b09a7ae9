// The main window's side of the DDE server: the channels it reads, and the
// advise post that has to wait until DDEML has made a new link.
#include "app/main_dialog.h"

#include "framework/win_app.h"

#include <cstdio>

namespace {
const char kDdeStartFailed[] = "B\xB3\xB9" "d inicjalizacji DDE!";
const char kDdeNumberTaken[] =
    "B\xB3\xB9" "d inicjalizacji DDE: przyrz\xB9" "d nr %d udost\xEApnia ju\xBF inne okno programu QM487.\n\n"
    "Odczyty tego okna nie s\xB9 dost\xEApne przez DDE, dop\xF3ki tamto okno je udost\xEApnia. "
    "Nadaj przyrz\xB9" "dom r\xF3\xBFne numery, aby arkusz m\xF3g\xB3 czyta\xE6 oba.";
}  // namespace

// Every copy registers the service; the topics carry the instrument's
// number, so two copies with one number would answer the same topics. A
// named mutex per number decides: the copy that holds it publishes.
BOOL CMainDialog::ClaimDdeNumber(int nSerial) {
    if (m_ddeNumberClaim.IsValid() && m_nDdeClaimedNumber == nSerial)
        return TRUE;
    m_ddeNumberClaim.Close();
    m_nDdeClaimedNumber = 0;
    RemovePropW(m_hWnd, dde::kPublishedNumberMark);
    if (nSerial <= 0)
        return TRUE;
    wchar_t szName[48];
    std::swprintf(szName, 48, L"Local\\QM487 DDE %d", nSerial);
    m_ddeNumberClaim.Attach(CreateMutexW(nullptr, FALSE, szName));
    if (m_ddeNumberClaim.IsValid() && GetLastError() == ERROR_ALREADY_EXISTS) {
        m_ddeNumberClaim.Close();
        return FALSE;
    }
    m_nDdeClaimedNumber = nSerial;
    SetPropW(m_hWnd, dde::kPublishedNumberMark, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(nSerial)));
    return TRUE;
}

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
    int nTaken = 0;  // another copy publishes this number
    do {
        m_bDdeRestartAgain = FALSE;
        m_ddeServer.Stop();
        // The topics carry the serial number of the line that brought the
        // link up; an instrument numbered 0 is not published.
        const int nSerial = Decoder().m_nSerialNumber;
        const BOOL bServe = !m_bDdeStopped && m_bLinkUp && nSerial > 0;
        nTaken = bServe && !ClaimDdeNumber(nSerial) ? nSerial : 0;
        bFailed = bServe && nTaken == 0 && !m_ddeServer.Start(nSerial);
        // The number is free for another copy while this one does not publish it.
        if (!bServe || bFailed)
            ClaimDdeNumber(0);
    } while (m_bDdeRestartAgain);
    m_bDdeRestarting = FALSE;
    // Nobody may be at the screen of a copy started with Windows.
    if (bFailed && !m_bStartedWithWindows)
        AfxMessageBox(kDdeStartFailed, MB_ICONERROR);
    if (nTaken != 0 && nTaken != m_nDdeRefusedNumber && !m_bStartedWithWindows) {
        char szText[sizeof kDdeNumberTaken + 16];
        std::snprintf(szText, sizeof szText, kDdeNumberTaken, nTaken);
        AfxMessageBox(szText, MB_ICONEXCLAMATION);
    }
    m_nDdeRefusedNumber = nTaken != 0 ? nTaken : m_nDdeRefusedNumber;
}

// A stop already under way (a restart) is asked for one more pass, which
// now starts nothing; otherwise the stop runs under the same guard, so a
// line or timer handled inside DdeUninitialize cannot stop it a second time.
void CMainDialog::StopDdeServer() {
    m_bDdeStopped = TRUE;
    if (m_bDdeRestarting) {
        m_bDdeRestartAgain = TRUE;
        return;
    }
    m_bDdeRestarting = TRUE;
    m_ddeServer.Stop();
    ClaimDdeNumber(0);
    m_bDdeRestarting = FALSE;
}
