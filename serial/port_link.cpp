#include "serial/port_link.h"

#include "serial/com_port.h"

#include <utility>

namespace {
// The instrument's line: 300 baud, no parity, 7 data bits, 1 stop bit.
const int kBaudRate = 300;
const char kParity = 'N';
const int kDataBits = 7;
const int kStopBits = 1;
}  // namespace

CPortLink::CPortLink(Host& host) : m_host(host) {}

CPortLink::~CPortLink() { Close(); }

int CPortLink::DriverNumber() const { return m_pPort ? m_pPort->GetPortNumber() : 0; }

bool CPortLink::IsGone() const { return m_pPort && m_pPort->IsGone(); }

bool CPortLink::Open(int nPort) {
    m_pPort = std::make_unique<CComPort>();
    if (m_pPort->Open(m_host.Owner(), nPort, kBaudRate, kParity, kDataBits, kStopBits, EV_RXCHAR)) {
        m_pPort->StartMonitoring();
        return true;
    }
    Close();
    return false;
}

bool CPortLink::Choose(int nPort) {
    Close();
    const bool bOpen = Open(nPort);
    m_nNumber = bOpen ? nPort : 0;
    return bOpen;
}

void CPortLink::Close() {
    // Out of m_pPort before it closes: closing handles the reader's last
    // byte, and what that byte sets off may come back here.
    std::unique_ptr<CComPort> pPort(std::move(m_pPort));
    if (pPort)
        pPort->Close();
}

void CPortLink::ReopenLater() { m_host.SetTimer(kReopenTimerId, kReopenPeriodMs); }

void CPortLink::OnReopenTimer() {
    // Stopped while the port changes: the old driver's destructor dispatches
    // messages, and this timer must not come back in meanwhile.
    m_host.KillTimer(kReopenTimerId);
    if (m_pPort && !m_pPort->IsGone())
        return;  // reopened meanwhile (the port dialog)
    // The same number as before; the lost link shows until it opens, and a
    // failure says nothing: the adapter is simply not back yet.
    const int nPort = m_pPort ? m_pPort->GetPortNumber() : m_nNumber;
    Close();
    if (nPort > 0 && !Open(nPort))
        ReopenLater();
}
