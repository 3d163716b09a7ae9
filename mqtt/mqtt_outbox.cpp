#include "mqtt/mqtt_outbox.h"

#include <chrono>

void CMqttOutbox::PutReading(const MqttReading& reading, int nInstrument, bool bFine, unsigned nAlarmMask) {
    if (reading.nChannel < 0 || reading.nChannel >= kChannels)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_channels.InUse(reading.nChannel))
            return;
        if (nInstrument != m_nInstrument) {
            // A new instrument's channels start empty.
            for (Slot& slot : m_slots)
                slot = Slot();
            m_nInstrument = nInstrument;
        }
        Slot& slot = m_slots[reading.nChannel];
        slot.bHas = slot.bDirty = true;
        slot.reading = reading;
        if (!m_bLinkUp)
            m_bLinkUp = m_bStatusDirty = true;
        if (bFine != m_bFine || nAlarmMask != m_nAlarmMask)
            m_bDiscoveryDirty = true;
        m_bFine = bFine;
        m_nAlarmMask = nAlarmMask;
    }
    m_wake.notify_all();
    WakeTransport();
}

void CMqttOutbox::SetChannels(const MqttChannels& channels) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (channels == m_channels)
            return;
        m_channels = channels;
        for (int c = 0; c < kChannels; ++c)
            if (!m_channels.InUse(c))
                m_slots[c] = Slot();
        m_bDiscoveryDirty = true;
    }
    m_wake.notify_all();
    WakeTransport();
}

void CMqttOutbox::PutLinkLost() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bLinkUp)
            return;
        m_bLinkUp = false;
        m_bStatusDirty = true;
    }
    WakeTransport();
}

void CMqttOutbox::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Slot& slot : m_slots)
        slot = Slot();
    m_nInstrument = -1;
    m_bLinkUp = m_bStatusDirty = m_bDiscoveryDirty = false;
    m_state = MqttPublishState();
}

void CMqttOutbox::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        if (m_pTransport != nullptr)
            m_pTransport->Cancel();
    }
    m_wake.notify_all();
}

MqttPublishState CMqttOutbox::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

void CMqttOutbox::Attach(IMqttTransport* pTransport) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pTransport = pTransport;
    if (m_pTransport != nullptr && m_bStop)
        m_pTransport->Cancel();
}

int CMqttOutbox::Instrument() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nInstrument;
}

bool CMqttOutbox::Wait(unsigned nMs, bool bForInstrument) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(nMs),
                    [&] { return m_bStop.load() || (bForInstrument && m_nInstrument >= 0); });
    return !m_bStop;
}

void CMqttOutbox::MarkAllDirty() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Slot& slot : m_slots)
        slot.bDirty = slot.bHas;
    m_bStatusDirty = m_bDiscoveryDirty = true;
}

MqttPending CMqttOutbox::TakePending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    MqttPending pending;
    // The status first: "online" before the values it makes available.
    pending.bStatus = m_bStatusDirty;
    pending.bLinkUp = m_bLinkUp;
    pending.bDiscovery = m_bDiscoveryDirty;
    pending.bFine = m_bFine;
    pending.nAlarmMask = m_nAlarmMask;
    pending.channels = m_channels;
    m_bStatusDirty = m_bDiscoveryDirty = false;
    for (Slot& slot : m_slots)
        if (slot.bDirty) {
            pending.readings.push_back(slot.reading);
            slot.bDirty = false;
        }
    return pending;
}

bool CMqttOutbox::SetConnected(bool bConnected, const std::string& error, unsigned nRetryMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool bFailing = !error.empty();
    const bool bChanged = bFailing != m_state.bFailing;
    m_state.bConnected = bConnected;
    m_state.bFailing = bFailing;
    m_state.nRetryMs = nRetryMs;
    if (bFailing)
        m_state.strError = error;
    return bChanged;
}

void CMqttOutbox::CountPublished(std::uint64_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.nPublished += n;
}

void CMqttOutbox::WakeTransport() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pTransport != nullptr)
        m_pTransport->Wake();
}
