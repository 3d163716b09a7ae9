// The instrument as the program sees it: the bytes from its port cut into
// lines, what each line or a silent period means for the nine channels, the
// link state and the channel last heard. The parts that want every reading
// (the window's fields, the alarms, the database, MQTT, DDE) register as
// readers and are told in the order they registered, so that, say, the
// alarms have judged a reading before the database point carries it.
#pragma once

#include "common/timer_host.h"
#include "instrument/channels.h"
#include "instrument/line_assembly.h"

#include <vector>

class CInstrument : private CLineAssembly::Host {
public:
    enum { kNoChannel = -1 };

    class Reader {
    public:
        virtual ~Reader() = default;
        // The link came up or went down, or the resolution changed; told
        // before the reading of the line that changed it.
        virtual void OnLinkChanged(const CInstrument&) {}
        // After every line and every watchdog expiry, the channel set
        // written: nChannel's accepted reading, or kNoChannel when the line
        // was rejected or the instrument fell silent (every channel lost
        // its value).
        virtual void OnReading(const CInstrument& instrument, int nChannel) = 0;
    };

    // timers: the window's, for the link watchdog.
    explicit CInstrument(CTimerHost& timers) : m_timers(timers), m_lineAssembly(*this) {}

    // Readers are told in this order; each must outlive the instrument's use.
    void AddReader(Reader& reader) { m_readers.push_back(&reader); }

    // One byte from the port.
    void OnPortChar(unsigned char b) { m_lineAssembly.OnPortChar(b); }
    // The watchdog fired, or nothing was heard yet: the link is down.
    void OnWatchdogTimer() { m_lineAssembly.OnWatchdogTimer(); }

    const CChannelSet& Channels() const { return m_channels; }
    // For the alarms, which keep each channel's alarm state in the set.
    CChannelSet& Channels() { return m_channels; }
    // The channels' names, inputs in use and calibration corrections, in
    // force from the next reading on: the window sets them from the settings
    // and from its dialog; every reader finds them here.
    void SetChannelConfig(const ChannelConfig& config) { m_channels.SetConfig(config); }
    const ChannelConfig& GetChannelConfig() const { return m_channels.Config(); }
    const CLineDecoder& Decoder() const { return m_lineAssembly.Decoder(); }
    const CLineAssembly& LineAssembly() const { return m_lineAssembly; }
    bool IsLinkUp() const { return m_bLinkUp; }
    // The channel of the last accepted line (0 before any).
    int LastChannel() const { return m_nLastChannel; }
    int SerialNumber() const { return Decoder().m_nSerialNumber; }

private:
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override { return m_timers.SetTimer(id, elapseMs); }
    void KillTimer(UINT_PTR id) override { m_timers.KillTimer(id); }
    void SetLastChannel(int channel) override { m_nLastChannel = channel; }
    void ApplyReading(BOOL ok) override;

    CTimerHost& m_timers;
    CChannelSet m_channels;
    CLineAssembly m_lineAssembly;  // line buffer, watchdog and decoder
    bool m_bLinkUp = false;
    int m_nLastChannel = 0;
    std::vector<Reader*> m_readers;
};
