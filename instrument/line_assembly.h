// Cutting the received byte stream into lines, and the link watchdog.
//
// The owner (the instrument) feeds every received byte to OnPortChar and
// reaches the window's timer and its own reading logic through
// CLineAssembly::Host, so that this logic runs and is tested without Windows.
#pragma once

#include "common/timer_host.h"
#include "common/timer_ids.h"
#include "common/win_types.h"
#include "instrument/line_decoder.h"

class CLineAssembly {
public:
    enum { kBufferSize = 1000, kWatchdogTimerId = timer_id::kLineWatchdog, kWatchdogPeriodMs = 5000 };

    class Host : public CTimerHost {
    public:
        // Channel of the last accepted line.
        virtual void SetLastChannel(int channel) = 0;
        // After every complete line (TRUE accepted) and every watchdog expiry (FALSE).
        virtual void ApplyReading(BOOL ok) = 0;
    };

    explicit CLineAssembly(Host& host);

    // One received byte. A carriage return completes a line; the 1000th byte
    // without one drops what is held, silently.
    void OnPortChar(unsigned char b);

    // The watchdog timer fired: no line was accepted for a whole period.
    void OnWatchdogTimer();

    CLineDecoder& Decoder() { return m_decoder; }
    const CLineDecoder& Decoder() const { return m_decoder; }
    int LineLength() const { return m_nLineLength; }
    const unsigned char* LineBuffer() const { return m_lineBuffer; }
    UINT_PTR WatchdogTimer() const { return m_nWatchdogTimer; }

private:
    Host& m_host;
    unsigned char m_lineBuffer[kBufferSize];
    int m_nLineLength;
    UINT_PTR m_nWatchdogTimer;
    CLineDecoder m_decoder;
};
