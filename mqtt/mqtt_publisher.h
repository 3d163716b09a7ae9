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
    std::string strUser;      // Windows-1250, sent as UTF-8
    std::string strPassword;  // held form (secrets/secret_text.h), sent as UTF-8
    std::string strClientId;  // UTF-8
    // One more CA certificate for mqtts:// (Windows-1250), by its full path:
    // a relative name would be read from whatever folder is current, and
    // any file there trusted. Empty: none.
    std::string strCaFile;
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
// Only a connection that lasted this long starts the back-off again: one the
// broker ends sooner (another client with the same id pushing it off, say)
// is a failure like any other, and one longer than the longest wait means
// the peer is not reconnecting at that pace.
const unsigned kLastedMs = 2 * kBackoffMaxMs;
const std::size_t kMaxInFlight = 32;  // QoS 1 messages not yet acknowledged
}  // namespace mqttpub

// Why a CA file by a relative name is refused (Windows-1250).
extern const char kMqttCaFileNotFull[];

// The wait before the next attempt after one that waited previousMs (0: the
// connection had lasted kLastedMs): 1 s, 2 s, 4 s ... 60 s.
unsigned NextMqttBackoffMs(unsigned previousMs);

// The client id of one copy of the program: qm487-<computer>-<profile>-<8 hex
// digits>, the digits a digest of the settings file's full path with its
// letters in one case, so that two copies with one profile name in different
// folders, or a profile named "default" and the default profile, never share
// a session (the broker would push one off whenever the other connects).
// strComputer is UTF-8; the profile (empty: the default one) and the path are
// Windows-1250; the id is UTF-8.
std::string MqttClientId(const std::string& strComputer, const std::string& strProfile,
                         const std::string& strSettingsPath);

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
