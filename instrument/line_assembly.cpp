#include "instrument/line_assembly.h"

CLineAssembly::CLineAssembly(Host& host)
    : m_host(host), m_lineBuffer(), m_nLineLength(0), m_nWatchdogTimer(0) {}

void CLineAssembly::OnPortChar(unsigned char b) {
    const int n = m_nLineLength + 1;
    m_nLineLength = n;
    if (n >= kBufferSize) {
        m_nLineLength = 0;
        return;
    }
    m_lineBuffer[n - 1] = b;
    if (b != 0x0D)
        return;

    const BOOL ok = m_decoder.Decode(m_lineBuffer, n);
    if (ok) {
        m_host.SetLastChannel(m_decoder.m_nChannel);
        // Killed and set again, so every accepted line gives a full period.
        if (m_nWatchdogTimer != 0)
            m_host.KillTimer(m_nWatchdogTimer);
        m_nWatchdogTimer = m_host.SetTimer(kWatchdogTimerId, kWatchdogPeriodMs);
    }
    m_nLineLength = 0;
    m_host.ApplyReading(ok);
}

void CLineAssembly::OnWatchdogTimer() { m_host.ApplyReading(FALSE); }
