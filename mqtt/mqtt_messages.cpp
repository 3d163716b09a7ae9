#include "mqtt/mqtt_messages.h"

#include "instrument/channel_alarm.h"
#include "viewer/kvf_reader.h"

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

// Home Assistant's ids: the instrument and the channel, lower case.
std::string ObjectId(int nInstrument, int nChannel) {
    std::string name = ChannelName(nChannel);
    for (char& c : name)
        c = static_cast<char>(c == 'T' ? 't' : c);
    return "qm487_" + std::to_string(nInstrument) + "_" + name;
}

std::string DeviceJson(const DiscoveryDevice& d) {
    const std::string n = std::to_string(d.nInstrument);
    return "\"device\":{\"identifiers\":[\"qm487_" + n + "\"],\"name\":\"QM487 " + n +
           "\",\"model\":\"QM-487\",\"sw_version\":\"" + d.strVersion + "\"}";
}

std::string SensorTopic(const DiscoveryDevice& d, int c) {
    return d.strPrefix + "/sensor/" + ObjectId(d.nInstrument, c) + "/config";
}

std::string AlarmTopic(const DiscoveryDevice& d, int c) {
    return d.strPrefix + "/binary_sensor/" + ObjectId(d.nInstrument, c) + "_alarm/config";
}

std::string CommonJson(const DiscoveryDevice& d, int c, const std::string& id) {
    return "\"unique_id\":\"" + id + "\",\"object_id\":\"" + id + "\",\"state_topic\":\"" +
           StateTopic(d.strBase, d.nInstrument, c) + "\",\"availability_topic\":\"" +
           StatusTopic(d.strBase, d.nInstrument) + "\",\"payload_available\":\"online\"," +
           "\"payload_not_available\":\"offline\"," + DeviceJson(d);
}

}  // namespace

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
    if (text.empty() || text.front() == '/' || text.back() == '/' || text.find("//") != std::string::npos)
        return false;
    for (char c : text)
        if (c <= ' ' || c > '~' || c == '+' || c == '#')
            return false;
    return true;
}

std::string IsoUtcTime(std::int64_t nTimeMs) {
    std::int64_t seconds = nTimeMs / 1000;
    int ms = static_cast<int>(nTimeMs % 1000);
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    std::string text = FormatKvfSeconds(seconds);  // "2026-12-08 14:03:12"
    text[10] = 'T';
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", ms);
    return text + fraction;
}

std::string StateTopic(const std::string& base, int nInstrument, int nChannel) {
    return base + "/" + std::to_string(nInstrument) + "/" + ChannelName(nChannel);
}

std::string StatusTopic(const std::string& base, int nInstrument) {
    return base + "/" + std::to_string(nInstrument) + "/status";
}

std::string StatePayload(const MqttReading& r) {
    std::string json = "{";
    if (!r.strValue.empty())
        json += "\"value\":" + r.strValue + ",\"status\":\"ok\"";
    else
        json += "\"status\":\"error\"";
    return json + ",\"alarm\":" + std::to_string(r.nAlarm) + ",\"time\":\"" + IsoUtcTime(r.nTimeMs) + "\"}";
}

std::string HomeAssistantStatusTopic(const std::string& prefix) { return prefix + "/status"; }

std::vector<DiscoveryMessage> DiscoveryMessages(const DiscoveryDevice& d, unsigned nAlarmMask) {
    std::vector<DiscoveryMessage> out;
    for (int c = 0; c < kChannels; ++c) {
        const std::string id = ObjectId(d.nInstrument, c);
        // An error reading has no value: the sensor is then unknown.
        out.push_back({SensorTopic(d, c),
                       "{\"name\":\"" + ChannelName(c) + "\"," + CommonJson(d, c, id) +
                           ",\"value_template\":\"{{ value_json.value if value_json.value is defined else none }}\","
                           "\"device_class\":\"temperature\",\"state_class\":\"measurement\","
                           "\"unit_of_measurement\":\"\xC2\xB0" "C\",\"suggested_display_precision\":" +
                           std::string(d.bFine ? "2" : "1") + "}"});
        std::string alarm;
        if (nAlarmMask & (1u << c))
            alarm = "{\"name\":\"" + ChannelName(c) + " alarm\"," + CommonJson(d, c, id + "_alarm") +
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
