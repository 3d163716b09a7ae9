#include "mqtt/mqtt_thread.h"

void CMqttPublisherThread::Start(const MqttPublisherConfig& config, HWND hNotify, UINT nMessage) {
    Stop();
    m_config = config;
    m_socket.reset(new CMqttSocket(config.strCaFile));
    m_outbox.ResetStop();
    m_thread.Start([this, hNotify, nMessage] {
        RunMqttPublisher(*m_socket, m_outbox, m_config, [hNotify, nMessage] {
            if (hNotify != nullptr)
                PostMessageW(hNotify, nMessage, 0, 0);
        });
        return 0u;
    });
}

void CMqttPublisherThread::Stop() {
    if (!m_thread.IsStarted())
        return;
    m_outbox.RequestStop();
    m_thread.Join();
    m_socket.reset();
}
