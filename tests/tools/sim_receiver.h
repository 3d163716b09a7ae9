// The receiving side for the simulator's tests: bytes go through the
// program's own line assembly and decoder, on a simulated clock that runs
// the 5 s link watchdog.
#pragma once

#include "instrument/line_assembly.h"

#include <cstddef>
#include <vector>

struct ReceivedLine {
    bool accepted = false;
    int length = 0;
    int channel = -1;
    double value = 0;
    bool fine = false;
    bool valueError = false;
    bool calibrationError = false;
    int serialNumber = -1;
    long long atMs = 0;
    unsigned char first = 0;  // the line's first byte
};

class CReceiver : public CLineAssembly::Host {
public:
    std::vector<ReceivedLine> lines;
    std::vector<long long> watchdogExpiries;  // clock times
    long long nowMs = 0;

    CReceiver() : m_assembly(*this) {}
    // The assembly holds a reference to its host: not copyable.
    CReceiver(const CReceiver&) = delete;
    CReceiver& operator=(const CReceiver&) = delete;

    void Feed(const unsigned char* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            m_assembly.OnPortChar(bytes[i]);
    }
    void Feed(const std::vector<unsigned char>& bytes) { Feed(bytes.data(), bytes.size()); }

    // Moves the clock on, firing the periodic watchdog when it is due.
    void Advance(long long ms) {
        const long long end = nowMs + ms;
        while (m_bTimer && m_dueMs <= end) {
            nowMs = m_dueMs;
            m_dueMs += CLineAssembly::kWatchdogPeriodMs;
            m_bWatchdog = true;
            m_assembly.OnWatchdogTimer();
            m_bWatchdog = false;
        }
        nowMs = end;
    }

    int Pending() const { return m_assembly.LineLength(); }
    std::size_t Accepted() const {
        std::size_t n = 0;
        for (const ReceivedLine& l : lines)
            n += l.accepted;
        return n;
    }

    UINT_PTR SetTimer(UINT_PTR id, UINT ms) override {
        m_bTimer = true;
        m_dueMs = nowMs + ms;
        return id;
    }
    void KillTimer(UINT_PTR) override { m_bTimer = false; }
    void SetLastChannel(int) override {}

    void ApplyReading(BOOL ok) override {
        if (m_bWatchdog) {
            watchdogExpiries.push_back(nowMs);
            return;
        }
        const CLineDecoder& d = m_assembly.Decoder();
        ReceivedLine l;
        l.accepted = ok != FALSE;
        l.length = d.m_nLength;
        l.first = m_assembly.LineBuffer()[0];
        l.atMs = nowMs;
        if (ok) {
            l.channel = d.m_nChannel;
            l.value = d.m_dValues[d.m_nChannel];
            l.fine = d.m_bFine != FALSE;
            l.valueError = d.m_bValueError[d.m_nChannel] != 0;
            l.calibrationError = d.m_bCalibrationError[d.m_nChannel] != 0;
            l.serialNumber = d.m_nSerialNumber;
        }
        lines.push_back(l);
    }

private:
    CLineAssembly m_assembly;
    bool m_bTimer = false;
    bool m_bWatchdog = false;
    long long m_dueMs = 0;
};
