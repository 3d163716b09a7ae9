// What the program says over MQTT, as topics and payloads: the broker's
// address, the state of each channel as a small JSON object, the
// instrument's status, and the Home Assistant discovery messages that make
// each channel a sensor (and each channel with alarm limits a problem
// sensor) of one device per instrument. Payloads and topics are UTF-8, as
// MQTT requires: the base topic and the discovery prefix come from the
// settings in Windows-1250 and are converted here, and every text placed in
// a JSON string is escaped.
#pragma once

#include "instrument/channel_config.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MqttUrl {
    bool bTls = false;
    std::string strHost;
    std::uint16_t nPort = 0;
};

// mqtt://host[:1883] or mqtts://host[:8883]; an IPv6 address in brackets;
// one trailing slash is allowed. False for anything else.
bool ParseMqttUrl(const std::string& text, MqttUrl& url);

// A base topic or discovery prefix as the settings may hold it (Windows-1250):
// one or more levels, none empty, of printable characters (Polish letters
// too) without spaces or wildcards, at most kMaxTopicBaseBytes in UTF-8 (the
// topics stay far below MQTT's 65535).
const std::size_t kMaxTopicBaseBytes = 1024;
bool IsValidTopicBase(const std::string& text);

// One channel's reading as it goes out. strValue is the decimal the
// instrument sent ("21.4", "21.45", "-4.25"), empty for a reading with error
// flags.
struct MqttReading {
    int nChannel = 0;  // 0 (the mean) to 8
    std::string strValue;
    int nAlarm = 0;            // -1 low, 0 none, 1 high
    std::int64_t nTimeMs = 0;  // UTC, milliseconds since 1970
};

// "2026-12-08T14:03:12.123Z".
std::string IsoUtcTime(std::int64_t nTimeMs);

// Topics are UTF-8; base and prefix are given in Windows-1250.
std::string StateTopic(const std::string& base, int nInstrument, int nChannel);
std::string StatusTopic(const std::string& base, int nInstrument);
// {"value":21.4,"status":"ok","alarm":0,"time":"..."}, or without value and
// with "status":"error".
std::string StatePayload(const MqttReading& reading);

extern const char kStatusOnline[];
extern const char kStatusOffline[];

// Where Home Assistant says it has (re)started.
std::string HomeAssistantStatusTopic(const std::string& prefix);

struct DiscoveryMessage {
    std::string strTopic;
    std::string strPayload;  // empty: removes the entity
};

// The channels as the user set them: the inputs in use (bit c: channel c;
// the mean always) and the names (Windows-1250; empty: none, "T3").
struct MqttChannels {
    unsigned nInUseMask = 0x1FF;
    std::string strNames[9];

    bool InUse(int nChannel) const { return (nInUseMask >> nChannel & 1u) != 0; }
    bool operator==(const MqttChannels& other) const;
    bool operator!=(const MqttChannels& other) const { return !(*this == other); }
};
MqttChannels MqttChannelsOf(const ChannelConfig& config);

struct DiscoveryDevice {
    std::string strBase;    // base topic of the states (Windows-1250)
    std::string strPrefix;  // discovery prefix (Windows-1250)
    int nInstrument = 0;
    std::string strVersion;  // the program's
    bool bFine = false;      // hundredths: two decimals shown
    MqttChannels channels;
};

// Every channel in use as a temperature sensor named as the user named it
// ("T3" for none; "Zamrażarka 1"), and a problem sensor for each channel in
// nAlarmMask (bit c: channel c has limits); channels without limits get an
// empty payload for theirs, which removes one left over, and a channel not
// in use gets empty payloads for both.
std::vector<DiscoveryMessage> DiscoveryMessages(const DiscoveryDevice& device, unsigned nAlarmMask);
// Empty payloads for every entity DiscoveryMessages can make: discovery off.
std::vector<DiscoveryMessage> DiscoveryRemovals(const DiscoveryDevice& device);
