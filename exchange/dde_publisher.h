// The readings published over DDE while the link is up: the server, the
// claim on the instrument's number that keeps two copies from answering the
// same topics, and the guard that keeps a restart from running inside
// another. The main window owns one and is reached through Host, so the
// rules hold without a window.
#pragma once

#include "exchange/dde_server.h"
#include "framework/handles.h"
#include "instrument/instrument.h"

#include <windows.h>

#include <string>

class CDdePublisher : public CInstrument::Reader {
public:
    class Host {
    public:
        virtual ~Host() {}
        // Gets WM_DDE_ADVISE_STARTED and carries the mark of the number published.
        virtual HWND NotifyWindow() const = 0;
        // A failure or a refused number, Windows-1250, for a message box.
        virtual void Tell(const std::string& text, UINT type) = 0;
    };

    // instrument: its channels are read at every request, its link state and
    // number (0 is never published) at every restart; it must outlive this.
    CDdePublisher(Host& host, const CInstrument& instrument);

    // The window exists: requests are answered and advise starts posted to it.
    void Attach();
    // Stops the server and, while the link is up, starts it for the
    // instrument's number.
    void Restart();
    // Stops it for good, when the window goes; guarded like Restart.
    void Stop();
    // Every item may have changed.
    void NotifyAll() { m_server.NotifyAll(); }
    // WM_DDE_ADVISE_STARTED: the first advise post of a link DDEML has made.
    void OnAdviseStarted(int nChannel, int nItem);
    bool IsRunning() const { return m_server.IsRunning() != FALSE; }

    // A change of the link restarts the server; every reading may change every item.
    void OnLinkChanged(const CInstrument&) override { Restart(); }
    void OnReading(const CInstrument&, int) override { NotifyAll(); }

private:
    // false when another copy publishes nSerial; 0 gives the claim up.
    bool Claim(int nSerial);

    Host& m_host;
    const CInstrument& m_instrument;
    CDdeServer m_server;
    bool m_bRestarting = false;    // Restart or Stop is running
    bool m_bStopped = false;       // the window is going: no more starts
    bool m_bRestartAgain = false;  // a line asked for it meanwhile
    CHandle m_numberClaim;         // the named mutex of the number published
    int m_nClaimedNumber = 0;
    int m_nRefusedNumber = 0;  // said once per number
};
