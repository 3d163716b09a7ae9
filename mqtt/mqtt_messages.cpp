#include "mqtt/mqtt_messages.h"

#include "config/cp1250.h"
#include "alarms/channel_alarm.h"
#include "common/civil_time.h"
#include "common/json_string.h"

#include <cstdio>

const char kStatusOnline[] = "online";
const char kStatusOffline[] = "offline";

namespace {

const int kChannels = 9;

bool ParsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n == 0 || n > 65535)
        return false;
    port = static_cast<std::uint16_t>(n);
    return true;
}

// A setting's text (Windows-1250) as it goes into a topic: UTF-8.
std::string TopicText(const std::string& text) { return Cp1250ToUtf8(text); }

// Home Assistant's ids: the instrument and the channel, lower case.
std::string ObjectId(int nInstrument, int nChannel) {
    std::string name = ChannelName(nChannel);
    for (char& c : name)
        c = static_cast<char>(c == 'T' ? 't' : c);
    return "qm487_" + std::to_string(nInstrument) + "_" + name;
}

// The device the entities belong to, and the origin Home Assistant logs
// for them (the program that announced them).
std::string DeviceJson(const DiscoveryDevice& d) {
    const std::string n = std::to_string(d.nInstrument);
    const std::string version = JsonString(Cp1250ToUtf8(d.strVersion));
    return "\"device\":{\"identifiers\":[" + JsonString("qm487_" + n) + "],\"name\":" + JsonString("QM487 " + n) +
           ",\"model\":\"QM-487\",\"sw_version\":" + version +
           "},\"origin\":{\"name\":\"QM487\",\"sw_version\":" + version + "}";
}

std::string SensorTopic(const DiscoveryDevice& d, int c) {
    return TopicText(d.strPrefix) + "/sensor/" + ObjectId(d.nInstrument, c) + "/config";
}

std::string AlarmTopic(const DiscoveryDevice& d, int c) {
    return TopicText(d.strPrefix) + "/binary_sensor/" + ObjectId(d.nInstrument, c) + "_alarm/config";
}

// domain: "sensor" or "binary_sensor". Home Assistant takes the entity id
// from default_entity_id since 2025.10; object_id stays for older versions
// (newer ones ignore it, without a warning while default_entity_id is there).
std::string CommonJson(const DiscoveryDevice& d, int c, const std::string& domain, const std::string& id) {
    return "\"unique_id\":" + JsonString(id) + ",\"default_entity_id\":" + JsonString(domain + "." + id) +
           ",\"object_id\":" + JsonString(id) +
           ",\"state_topic\":" + JsonString(StateTopic(d.strBase, d.nInstrument, c)) +
           ",\"availability_topic\":" + JsonString(StatusTopic(d.strBase, d.nInstrument)) +
           ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"," + DeviceJson(d);
}

// The entity's name: the channel's name in UTF-8, or its short name.
std::string EntityName(const DiscoveryDevice& d, int c) {
    const std::string& name = d.channels.strNames[c];
    return name.empty() ? ChannelName(c) : Cp1250ToUtf8(name);
}

}  // namespace

bool MqttChannels::operator==(const MqttChannels& other) const {
    if (nInUseMask != other.nInUseMask)
        return false;
    for (int c = 0; c < kChannels; ++c)
        if (strNames[c] != other.strNames[c])
            return false;
    return true;
}

MqttChannels MqttChannelsOf(const ChannelConfig& config) {
    MqttChannels channels;
    for (int c = 1; c < kChannels; ++c) {
        if (!config[c].bInUse)
            channels.nInUseMask &= ~(1u << c);
        channels.strNames[c] = config.Name(c);
    }
    return channels;
}

bool ParseMqttUrl(const std::string& text, MqttUrl& url) {
    MqttUrl u;
    std::string rest;
    if (text.compare(0, 7, "mqtt://") == 0) {
        rest = text.substr(7);
        u.nPort = 1883;
    } else if (text.compare(0, 8, "mqtts://") == 0) {
        rest = text.substr(8);
        u.bTls = true;
        u.nPort = 8883;
    } else {
        return false;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::string portText;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos)
            return false;
        u.strHost = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty() && (after[0] != ':' || !ParsePort(after.substr(1), u.nPort)))
            return false;
    } else {
        const std::size_t colon = rest.find(':');
        u.strHost = rest.substr(0, colon);
        if (colon != std::string::npos && !ParsePort(rest.substr(colon + 1), u.nPort))
            return false;
    }
    if (u.strHost.empty())
        return false;
    for (char c : u.strHost)
        if (c <= ' ' || c > '~' || c == '/' || c == '@' || c == '?' || c == '#')
            return false;
    url = u;
    return true;
}

bool IsValidTopicBase(const std::string& text) {
    if (text.empty() || text.front() == '/' || text.back() == '/' || text.find("//") != std::string::npos ||
        TopicText(text).size() > kMaxTopicBaseBytes)
        return false;
    for (char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        // Spaces and controls (no-break space and soft hyphen among them,
        // and the five bytes Windows-1250 leaves unassigned) and wildcards.
        if (b <= ' ' || b == 0x7F || b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98 || b == 0xA0 ||
            b == 0xAD || c == '+' || c == '#')
            return false;
    }
    return true;
}

std::string IsoUtcTime(std::int64_t nTimeMs) {
    std::int64_t seconds = nTimeMs / 1000;
    int ms = static_cast<int>(nTimeMs % 1000);
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    std::string text = FormatCivilSeconds(seconds);  // "2026-12-08 14:03:12"
    text[10] = 'T';
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", ms);
    return text + fraction;
}

std::string StateTopic(const std::string& base, int nInstrument, int nChannel) {
    return TopicText(base) + "/" + std::to_string(nInstrument) + "/" + ChannelName(nChannel);
}

std::string StatusTopic(const std::string& base, int nInstrument) {
    return TopicText(base) + "/" + std::to_string(nInstrument) + "/status";
}

std::string StatePayload(const MqttReading& r) {
    std::string json = "{";
    if (!r.strValue.empty())
        json += "\"value\":" + r.strValue + ",\"status\":\"ok\"";
    else
        json += "\"status\":\"error\"";
    return json + ",\"alarm\":" + std::to_string(r.nAlarm) + ",\"time\":\"" + IsoUtcTime(r.nTimeMs) + "\"}";
}

std::string HomeAssistantStatusTopic(const std::string& prefix) { return TopicText(prefix) + "/status"; }

std::vector<DiscoveryMessage> DiscoveryMessages(const DiscoveryDevice& d, unsigned nAlarmMask) {
    std::vector<DiscoveryMessage> out;
    for (int c = 0; c < kChannels; ++c) {
        if (!d.channels.InUse(c)) {
            // No probe there: no entity, and one announced before goes.
            out.push_back({SensorTopic(d, c), std::string()});
            out.push_back({AlarmTopic(d, c), std::string()});
            continue;
        }
        const std::string id = ObjectId(d.nInstrument, c);
        // An error reading has no value: the sensor is then unknown.
        out.push_back({SensorTopic(d, c),
                       "{\"name\":" + JsonString(EntityName(d, c)) + "," + CommonJson(d, c, "sensor", id) +
                           ",\"value_template\":\"{{ value_json.value if value_json.value is defined else none }}\","
                           "\"device_class\":\"temperature\",\"state_class\":\"measurement\","
                           "\"unit_of_measurement\":\"\xC2\xB0"
                           "C\",\"suggested_display_precision\":" +
                           std::string(d.bFine ? "2" : "1") + "}"});
        std::string alarm;
        if (nAlarmMask & (1u << c))
            alarm = "{\"name\":" + JsonString(EntityName(d, c) + " alarm") + "," +
                    CommonJson(d, c, "binary_sensor", id + "_alarm") +
                    ",\"value_template\":\"{{ 'ON' if value_json.alarm != 0 else 'OFF' }}\","
                    "\"device_class\":\"problem\"}";
        out.push_back({AlarmTopic(d, c), alarm});
    }
    return out;
}

std::vector<DiscoveryMessage> DiscoveryRemovals(const DiscoveryDevice& d) {
    std::vector<DiscoveryMessage> out;
    for (int c = 0; c < kChannels; ++c) {
        out.push_back({SensorTopic(d, c), std::string()});
        out.push_back({AlarmTopic(d, c), std::string()});
    }
    return out;
}
