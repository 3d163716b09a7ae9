// The instrument's port as the main window uses it: the driver it owns,
// opened with the instrument's line settings, and the port of the settings,
// tried again every two seconds while its device is gone (a pulled USB
// adapter) until it comes back. The window is reached through Host for its
// timer and as the driver's owner, to which the reader sends every byte.
#pragma once

#include "common/timer_host.h"
#include "common/timer_ids.h"

#include <windows.h>

#include <memory>

class CComPort;
class CWnd;

class CPortLink {
public:
    enum { kReopenTimerId = timer_id::kPortReopen, kReopenPeriodMs = 2000 };

    class Host : public CTimerHost {
    public:
        // The window the reader sends WM_PORT_CHAR and WM_PORT_GONE to.
        virtual CWnd* Owner() = 0;
    };

    explicit CPortLink(Host& host);
    ~CPortLink();

    // The port of the settings, 0 for none.
    int Number() const { return m_nNumber; }
    void SetNumber(int nPort) { m_nNumber = nPort; }
    // The port of the driver held, its device gone or not; 0 without one.
    int DriverNumber() const;
    bool IsOpen() const { return m_pPort != nullptr; }
    // The driver held has found its device gone.
    bool IsGone() const;

    // Opens COM<nPort>; false, with no driver left, when it cannot be opened.
    bool Open(int nPort);
    // The user chose nPort: it replaces the port of the settings when it
    // opens, else no port is kept.
    bool Choose(int nPort);
    // Closes the port (the reader thread ends); nothing once closed.
    void Close();

    // The device went, or is not there at start: tried again after a while.
    void ReopenLater();
    void OnReopenTimer();

private:
    Host& m_host;
    std::unique_ptr<CComPort> m_pPort;
    int m_nNumber = 0;
};
