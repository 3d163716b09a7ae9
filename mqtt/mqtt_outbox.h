// What waits to be published, shared by the window (which puts each
// reading in) and the publishing thread (which takes it out). One slot per
// channel keeps only the latest reading: while the broker cannot be reached
// nothing piles up, and on reconnect each channel's latest reading goes out
// once. Also the thread's state for the window, and the stop request.
#pragma once

#include "mqtt/mqtt_messages.h"
#include "mqtt/mqtt_transport.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct MqttPublishState {
    bool bConnected = false;
    bool bFailing = false;         // the last attempt failed or the connection broke
    std::string strError;          // why, in the broker's or the system's words
    unsigned nRetryMs = 0;         // while failing: the wait before the next try
    std::uint64_t nPublished = 0;  // messages the broker acknowledged
};

// What the thread takes out in one go.
struct MqttPending {
    std::vector<MqttReading> readings;
    bool bStatus = false;  // the status is to be published
    bool bLinkUp = false;
    bool bDiscovery = false;  // discovery is to be (re)sent
    bool bFine = false;
    unsigned nAlarmMask = 0;
    MqttChannels channels;
};

class CMqttOutbox {
public:
    static const int kChannels = 9;

    // The window's side. nInstrument is the instrument's number; bit c of
    // nAlarmMask says channel c has alarm limits.
    void PutReading(const MqttReading& reading, int nInstrument, bool bFine, unsigned nAlarmMask);
    void PutLinkLost();
    // The channels' names and inputs in use; a change is announced again
    // (discovery), and a channel leaving use has its waiting reading dropped
    // and takes no more.
    void SetChannels(const MqttChannels& channels);
    // Forgets the readings (publishing was switched off or reconfigured).
    void Clear();

    // Either side: ends waits and the transport's operations for good.
    void RequestStop();
    bool StopRequested() const { return m_bStop.load(); }
    void ResetStop() { m_bStop = false; }
    MqttPublishState State() const;

    // The thread's side. The transport is woken by every put and cancelled
    // by a stop while it is attached.
    void Attach(IMqttTransport* pTransport);
    int Instrument() const;  // -1 until the first reading
    // Waits up to nMs for a stop, or (bForInstrument) an instrument number.
    // True unless stop was asked for.
    bool Wait(unsigned nMs, bool bForInstrument);
    // Marks every channel that has a reading, the status and discovery as
    // to be sent: a new connection.
    void MarkAllDirty();
    MqttPending TakePending();
    // Returns true when bFailing changed.
    bool SetConnected(bool bConnected, const std::string& error, unsigned nRetryMs);
    void CountPublished(std::uint64_t n);

private:
    struct Slot {
        bool bHas = false;
        bool bDirty = false;
        MqttReading reading;
    };
    void WakeTransport();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_bStop{false};
    IMqttTransport* m_pTransport = nullptr;
    Slot m_slots[kChannels];
    int m_nInstrument = -1;
    bool m_bLinkUp = false;
    bool m_bStatusDirty = false;
    bool m_bFine = false;
    unsigned m_nAlarmMask = 0;
    MqttChannels m_channels;
    bool m_bDiscoveryDirty = false;
    MqttPublishState m_state;
};
