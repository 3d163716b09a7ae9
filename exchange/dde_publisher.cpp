#include "exchange/dde_publisher.h"

#include <cstdio>

namespace {
const char kDdeStartFailed[] = "B\xB3\xB9" "d inicjalizacji DDE!";
const char kDdeNumberTaken[] =
    "B\xB3\xB9" "d inicjalizacji DDE: przyrz\xB9" "d nr %d udost\xEApnia ju\xBF inne okno programu QM487.\n\n"
    "Odczyty tego okna nie s\xB9 dost\xEApne przez DDE, dop\xF3ki tamto okno je udost\xEApnia. "
    "Nadaj przyrz\xB9" "dom r\xF3\xBFne numery, aby arkusz m\xF3g\xB3 czyta\xE6 oba.";
}  // namespace

CDdePublisher::CDdePublisher(Host& host, const CInstrument& instrument) : m_host(host), m_instrument(instrument) {}

void CDdePublisher::Attach() { m_server.SetChannels(&m_instrument.Channels(), m_host.NotifyWindow()); }

void CDdePublisher::OnAdviseStarted(int nChannel, int nItem) {
    // The server may have stopped or restarted meanwhile; it then has no
    // such link and the post reaches nobody.
    m_server.PostAdvise(nChannel, nItem);
}

// Every copy registers the service; the topics carry the instrument's
// number, so two copies with one number would answer the same topics. A
// named mutex per number decides: the copy that holds it publishes.
bool CDdePublisher::Claim(int nSerial) {
    if (m_numberClaim.IsValid() && m_nClaimedNumber == nSerial)
        return true;
    m_numberClaim.Close();
    m_nClaimedNumber = 0;
    const HWND hWnd = m_host.NotifyWindow();
    RemovePropW(hWnd, dde::kPublishedNumberMark);
    if (nSerial <= 0)
        return true;
    wchar_t szName[48];
    std::swprintf(szName, 48, L"Local\\QM487 DDE %d", nSerial);
    m_numberClaim.Attach(CreateMutexW(nullptr, FALSE, szName));
    if (m_numberClaim.IsValid() && GetLastError() == ERROR_ALREADY_EXISTS) {
        m_numberClaim.Close();
        return false;
    }
    m_nClaimedNumber = nSerial;
    SetPropW(hWnd, dde::kPublishedNumberMark, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(nSerial)));
    return true;
}

// Ending the service can wait for the clients' replies (DDEML on Windows
// runs a message loop for them in DdeUninitialize); the serial reader's
// bytes are handled meanwhile, so a line can bring a restart back here
// while the server is half stopped. Such a line only asks for another pass,
// made with the link state and serial number of the latest line.
void CDdePublisher::Restart() {
    if (m_bRestarting) {
        m_bRestartAgain = true;
        return;
    }
    m_bRestarting = true;
    bool bFailed = false;
    int nTaken = 0;  // another copy publishes this number
    do {
        m_bRestartAgain = false;
        m_server.Stop();
        // The topics carry the serial number of the line that brought the
        // link up; an instrument numbered 0 is not published.
        const int nSerial = m_instrument.SerialNumber();
        const bool bServe = !m_bStopped && m_instrument.IsLinkUp() && nSerial > 0;
        nTaken = bServe && !Claim(nSerial) ? nSerial : 0;
        bFailed = bServe && nTaken == 0 && !m_server.Start(nSerial);
        // The number is free for another copy while this one does not publish it.
        if (!bServe || bFailed)
            Claim(0);
    } while (m_bRestartAgain);
    m_bRestarting = false;
    if (bFailed)
        m_host.Tell(kDdeStartFailed, MB_ICONERROR);
    if (nTaken != 0 && nTaken != m_nRefusedNumber) {
        char szText[sizeof kDdeNumberTaken + 16];
        std::snprintf(szText, sizeof szText, kDdeNumberTaken, nTaken);
        m_host.Tell(szText, MB_ICONEXCLAMATION);
    }
    m_nRefusedNumber = nTaken != 0 ? nTaken : m_nRefusedNumber;
}

// A stop already under way (a restart) is asked for one more pass, which
// now starts nothing; otherwise the stop runs under the same guard, so a
// line or timer handled inside DdeUninitialize cannot stop it a second time.
void CDdePublisher::Stop() {
    m_bStopped = true;
    if (m_bRestarting) {
        m_bRestartAgain = true;
        return;
    }
    m_bRestarting = true;
    m_server.Stop();
    Claim(0);
    m_bRestarting = false;
}
