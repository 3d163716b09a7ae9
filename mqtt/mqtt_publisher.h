// The publishing thread's work, without the thread: connect to the broker
// with the instrument's will, say "online", send discovery, publish what the
// outbox holds with QoS 1, keep the connection alive, and after a failure
// try again after 1 s, 2 s, 4 s ... 60 s. Ends when the outbox's stop is
// asked for; then it sends the status "offline" and DISCONNECT without
// waiting for anything. States go out with QoS 1 and are not retained: a
// value is live only while the instrument's status says "online", and a
// retained one would look live to a dashboard opened after the program has
// gone.
#pragma once

#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_transport.h"

#include <functional>
#include <string>

struct MqttPublisherConfig {
    MqttUrl url;
    std::string strUser;
    std::string strPassword;
    std::string strClientId;
    std::string strBase = "qm487";
    bool bDiscovery = true;
    bool bRemoveDiscovery = false;  // discovery was switched off: empty its entities
    std::string strPrefix = "homeassistant";
    std::string strVersion;
};

namespace mqttpub {
const unsigned kConnectTimeoutMs = 10000;
const unsigned kKeepAliveS = 30;
const unsigned kBackoffFirstMs = 1000;
const unsigned kBackoffMaxMs = 60000;
const std::size_t kMaxInFlight = 32;  // QoS 1 messages not yet acknowledged
}  // namespace mqttpub

// The wait before the next attempt after one that waited previousMs (0: the
// connection had worked): 1 s, 2 s, 4 s ... 60 s.
unsigned NextMqttBackoffMs(unsigned previousMs);

// onFailingChanged is called on the thread when publishing starts or stops
// failing.
void RunMqttPublisher(IMqttTransport& transport, CMqttOutbox& outbox, const MqttPublisherConfig& config,
                      const std::function<void()>& onFailingChanged);

struct MqttCheckResult {
    bool bAccepted = false;
    bool bAnswered = false;  // the broker answered CONNECT (accepting or refusing)
    std::string strAnswer;   // the broker's answer, or why there was none
};
// Connects, waits for the broker's answer and disconnects; no will, no
// subscriptions, nothing published. Cancelled through the transport.
MqttCheckResult CheckMqttBroker(IMqttTransport& transport, const MqttPublisherConfig& config);

// What the "MQTT" dialog says of publishing (Windows-1250).
std::string DescribeMqttState(const MqttPublishState& state, bool bRunning, bool bInstrumentKnown);
// What it says of a connection check (Windows-1250).
std::string DescribeMqttCheck(const MqttCheckResult& result);
