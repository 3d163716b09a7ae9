// The publishing thread: RunMqttPublisher on a CWorkerThread, over a
// CMqttSocket. The window puts readings into the outbox and never waits for
// the network; Stop cancels every wait of the socket, so it returns within
// the time the thread takes to notice (the goodbye it sends never waits).
#pragma once

#include "framework/worker_thread.h"
#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_socket.h"

#include <windows.h>

#include <memory>
#include <string>

class CMqttPublisherThread {
public:
    CMqttPublisherThread() = default;
    ~CMqttPublisherThread() { Stop(); }
    CMqttPublisherThread(const CMqttPublisherThread&) = delete;
    CMqttPublisherThread& operator=(const CMqttPublisherThread&) = delete;

    // Starts (or restarts, with new settings) the thread; nMessage is posted
    // to hNotify whenever publishing starts or stops failing.
    void Start(const MqttPublisherConfig& config, HWND hNotify, UINT nMessage);
    void Stop();
    bool IsRunning() const { return m_thread.IsStarted(); }

    CMqttOutbox& Outbox() { return m_outbox; }
    MqttPublishState State() const { return m_outbox.State(); }

private:
    CMqttOutbox m_outbox;
    std::unique_ptr<CMqttSocket> m_socket;  // the thread's, made before it starts, freed after it ends
    MqttPublisherConfig m_config;           // read by the thread
    CWorkerThread m_thread;
};
