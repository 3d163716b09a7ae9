#include "mqtt/mqtt_messages.h"
#include "mqtt/mqtt_packet.h"
#include "mqtt/mqtt_publisher.h"

#include <gtest/gtest.h>

using namespace mqtt;

namespace {
std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}
}  // namespace

TEST(MqttPackets, WhatThePublisherSendsIsByteExact) {
    ConnectOptions o;
    o.strClientId = "c";
    o.strWillTopic = "w";
    o.strWillPayload = "off";
    o.strUser = "u";
    o.strPassword = "p";
    EXPECT_EQ(EncodeConnect(o), Bytes({0x10, 27, 0, 4, 'M', 'Q', 'T', 'T', 4, 0xEE, 0, 30, 0, 1, 'c', 0, 1, 'w', 0, 3,
                                       'o', 'f', 'f', 0, 1, 'u', 0, 1, 'p'}));
    ConnectOptions bare;
    bare.strClientId = "c";
    EXPECT_EQ(EncodeConnect(bare), Bytes({0x10, 13, 0, 4, 'M', 'Q', 'T', 'T', 4, 0x02, 0, 30, 0, 1, 'c'}));
    EXPECT_EQ(EncodePublish("a/b", "x", 1, true, 0x1234), Bytes({0x33, 8, 0, 3, 'a', '/', 'b', 0x12, 0x34, 'x'}));
    EXPECT_EQ(EncodePublish("t", "", 0, false, 7), Bytes({0x30, 3, 0, 1, 't'}));
    EXPECT_EQ(EncodePubAck(0x0102), Bytes({0x40, 2, 1, 2}));
    EXPECT_EQ(EncodeSubscribe(5, "h/s", 0), Bytes({0x82, 8, 0, 5, 0, 3, 'h', '/', 's', 0}));
    EXPECT_EQ(EncodePingReq(), Bytes({0xC0, 0}));
    EXPECT_EQ(EncodeDisconnect(), Bytes({0xE0, 0}));
    // Remaining length past 127 takes two bytes.
    const std::string big = EncodePublish("t", std::string(200, 'v'), 0, false, 0);
    EXPECT_EQ(big.substr(0, 3), Bytes({0x30, 0xCB, 0x01}));
    EXPECT_EQ(big.size(), 3u + 203u);
}

TEST(MqttPackets, TheBrokersAnswersAreReadWholeEvenByteByByte) {
    // A retained message too large to keep is passed over, not an error
    // that every reconnect would meet again.
    const std::string stream = Bytes({0x20, 2, 1, 4, 0x40, 2, 0, 9, 0x90, 3, 0, 1, 0, 0xD0, 0}) +
                               EncodePublish("homeassistant/status", std::string(70000, 'x'), 0, true, 0) +
                               EncodePublish("homeassistant/status", "online", 1, false, 77);
    for (std::size_t chunk : {stream.size(), std::size_t(1), std::size_t(3)}) {
        CPacketReader reader;
        std::vector<Packet> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
            Packet p;
            while (reader.Next(&p) == CPacketReader::kPacket)
                got.push_back(p);
        }
        ASSERT_EQ(got.size(), 5u) << chunk;
        EXPECT_EQ(got[0].type, kConnAck);
        EXPECT_TRUE(got[0].bSessionPresent);
        EXPECT_EQ(got[0].nReturnCode, 4);
        EXPECT_EQ(got[1].type, kPubAck);
        EXPECT_EQ(got[1].nPacketId, 9);
        EXPECT_EQ(got[2].type, kSubAck);
        EXPECT_EQ(got[3].type, kPingResp);
        EXPECT_EQ(got[4].strTopic, "homeassistant/status");
        EXPECT_EQ(got[4].strPayload, "online");
        EXPECT_EQ(got[4].nPacketId, 77);
    }
}

TEST(MqttPackets, MalformedAnswersPutTheReaderInErrorAndTruncatedOnesWait) {
    const struct {
        std::string bytes;
        CPacketReader::Result expected;
    } rows[] = {
        {Bytes({0x20, 3, 0, 0, 0}), CPacketReader::kError},          // CONNACK of three bytes
        {Bytes({0x21, 2, 0, 0}), CPacketReader::kError},             // CONNACK with flags
        {Bytes({0x20, 2, 2, 0}), CPacketReader::kError},             // reserved acknowledge flags
        {Bytes({0x40, 1, 0}), CPacketReader::kError},                // PUBACK of one byte
        {Bytes({0x90, 2, 0, 1}), CPacketReader::kError},             // SUBACK without a code
        {Bytes({0xD0, 1, 0}), CPacketReader::kError},                // PINGRESP with a body
        {Bytes({0x36, 2, 0, 0}), CPacketReader::kError},             // PUBLISH with QoS 3
        {Bytes({0x30, 3, 0, 9, 'a'}), CPacketReader::kError},        // topic longer than the packet
        {Bytes({0x32, 3, 0, 1, 'a'}), CPacketReader::kError},        // QoS 1 without an id
        {Bytes({0x10, 0}), CPacketReader::kError},                   // a CONNECT from the broker
        {Bytes({0x00, 0}), CPacketReader::kError},                   // reserved type 0
        {Bytes({0xF0, 0}), CPacketReader::kError},                   // reserved type 15
        {Bytes({0x30, 0xFF, 0xFF, 0xFF, 0xFF, 1}), CPacketReader::kError},  // five length bytes
        {Bytes({0x32, 0xFF, 0xFF, 0x7F}), CPacketReader::kError},    // QoS 1 beyond the size limit
        {Bytes({0x30, 0xFF, 0xFF, 0x7F}), CPacketReader::kNone},     // QoS 0 beyond it: passed over
        {std::string("HTTP/1.1 400 Bad Request\r\n"), CPacketReader::kError},
        {Bytes({0x20}), CPacketReader::kNone},                       // truncated: more may come
        {Bytes({0x20, 2, 0}), CPacketReader::kNone},
        {Bytes({0x30, 0x80}), CPacketReader::kNone},
        {Bytes({0x30, 10, 0, 1, 't'}), CPacketReader::kNone},
    };
    for (const auto& row : rows) {
        CPacketReader reader;
        reader.Feed(row.bytes.data(), row.bytes.size());
        Packet p;
        EXPECT_EQ(reader.Next(&p), row.expected) << testing::PrintToString(row.bytes);
        if (row.expected == CPacketReader::kError) {
            EXPECT_FALSE(reader.Error().empty());
            reader.Feed("\xD0\x00", 2);  // nothing good comes after
            EXPECT_EQ(reader.Next(&p), CPacketReader::kError);
        }
    }
    EXPECT_STREQ(DescribeConnAck(4), "bad user name or password");
    EXPECT_STREQ(DescribeConnAck(5), "not authorized");
    EXPECT_STREQ(DescribeConnAck(200), "refused with an unknown code");
}

TEST(MqttMessages, BrokerAddressesTopicBasesAndClientIds) {
    const struct {
        const char* text;
        bool ok;
        bool tls;
        const char* host;
        int port;
    } rows[] = {
        {"mqtt://broker", true, false, "broker", 1883},
        {"mqtt://10.0.0.5:1884/", true, false, "10.0.0.5", 1884},
        {"mqtts://ha.local", true, true, "ha.local", 8883},
        {"mqtts://[::1]:8884", true, true, "::1", 8884},
        {"http://broker", false, false, "", 0}, {"mqtt://", false, false, "", 0}, {"mqtt://h:0", false, false, "", 0},
        {"mqtt://h:65536", false, false, "", 0}, {"mqtt://h:12x", false, false, "", 0},
        {"mqtt://h/path", false, false, "", 0},
        {"mqtt://u@h", false, false, "", 0}, {"mqtt://[::1", false, false, "", 0},
    };
    for (const auto& row : rows) {
        MqttUrl url;
        ASSERT_EQ(ParseMqttUrl(row.text, url), row.ok) << row.text;
        if (!row.ok)
            continue;
        EXPECT_EQ(url.bTls, row.tls) << row.text;
        EXPECT_EQ(url.strHost, row.host);
        EXPECT_EQ(url.nPort, row.port);
    }
    // Polish letters are Windows-1250 here and UTF-8 in the topics.
    using Texts = std::initializer_list<std::string>;
    for (const std::string& good : Texts{"qm487", "lab/qm487", "homeassistant", "\xB3o", "\xBF\xF3\xB3w", "a\"b\\c",
                                         std::string(kMaxTopicBaseBytes, 'a')})
        EXPECT_TRUE(IsValidTopicBase(good)) << good;
    for (const std::string& bad : Texts{"", "/qm", "qm/", "a//b", "a+b", "a/#", "a b", "a\tb", "a\x7F", "a\xA0z",
                                        "a\x81", "a\xAD", std::string(kMaxTopicBaseBytes / 2 + 1, '\xB3')})
        EXPECT_FALSE(IsValidTopicBase(bad)) << bad;
    EXPECT_EQ(StateTopic("\xBF\xF3\xB3w", 1, 3), "\xC5\xBC\xC3\xB3\xC5\x82w/1/T3");
    EXPECT_EQ(HomeAssistantStatusTopic("ha\xB3"), "ha\xC5\x82/status");
    for (unsigned ms : {0u, 1000u, 2000u, 4000u, 32000u, 60000u})
        EXPECT_EQ(NextMqttBackoffMs(ms), ms == 0 ? 1000u : std::min(ms * 2, 60000u));
    // One settings file, one id, whatever the letters' case; another folder,
    // or a profile named "default", is another copy with an id of its own.
    const std::string id = MqttClientId("LAB", "", "C:\\\xA3\xF3w\\qm487cfg.ini");
    EXPECT_EQ(id.substr(0, 18), "qm487-LAB-default-");
    EXPECT_EQ(id.size(), 18u + 8u);
    EXPECT_EQ(id, MqttClientId("LAB", "", "c:\\\xB3\xD3W\\QM487CFG.INI"));
    EXPECT_NE(id, MqttClientId("LAB", "default", "C:\\\xA3\xF3w\\qm487cfg-default.ini"));
    EXPECT_NE(id, MqttClientId("LAB", "", "D:\\\xA3\xF3w\\qm487cfg.ini"));
}

TEST(MqttMessages, StatesCarryTheInstrumentsDecimalAndTheTimeInUtc) {
    MqttReading r;
    r.nChannel = 3;
    r.strValue = "21.45";
    r.nTimeMs = 1796738592123;  // 2026-12-08 14:03:12.123 UTC
    EXPECT_EQ(StateTopic("qm487", 4660, 3), "qm487/4660/T3");
    EXPECT_EQ(StateTopic("lab/a", 1, 0), "lab/a/1/T");
    EXPECT_EQ(StatusTopic("qm487", 4660), "qm487/4660/status");
    EXPECT_EQ(StatePayload(r), "{\"value\":21.45,\"status\":\"ok\",\"alarm\":0,\"time\":\"2026-12-08T14:03:12.123Z\"}");
    r.strValue.clear();
    r.nAlarm = -1;
    EXPECT_EQ(StatePayload(r), "{\"status\":\"error\",\"alarm\":-1,\"time\":\"2026-12-08T14:03:12.123Z\"}");
    EXPECT_EQ(IsoUtcTime(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoUtcTime(951782400999), "2000-02-29T00:00:00.999Z");
    EXPECT_EQ(IsoUtcTime(-1), "1969-12-31T23:59:59.999Z");
}

TEST(MqttMessages, DiscoveryMakesEachChannelASensorAndAlarmsProblemSensors) {
    DiscoveryDevice d;
    d.strBase = "qm487";
    d.strPrefix = "homeassistant";
    d.nInstrument = 4660;
    d.strVersion = "3.05";
    const std::vector<DiscoveryMessage> msgs = DiscoveryMessages(d, 1u << 3);
    ASSERT_EQ(msgs.size(), 18u);
    EXPECT_EQ(msgs[0].strTopic, "homeassistant/sensor/qm487_4660_t/config");
    EXPECT_EQ(msgs[6].strTopic, "homeassistant/sensor/qm487_4660_t3/config");
    const std::string& t3 = msgs[6].strPayload;
    for (const char* part :
         {"\"name\":\"T3\"", "\"unique_id\":\"qm487_4660_t3\"", "\"state_topic\":\"qm487/4660/T3\"",
          "\"availability_topic\":\"qm487/4660/status\"", "\"device_class\":\"temperature\"",
          "\"state_class\":\"measurement\"",
          "\"unit_of_measurement\":\"\xC2\xB0"
          "C\"",
          "\"value_template\":\"{{ value_json.value", "\"name\":\"QM487 4660\"", "\"sw_version\":\"3.05\"",
          "\"identifiers\":[\"qm487_4660\"]", "\"suggested_display_precision\":1",
          "\"default_entity_id\":\"sensor.qm487_4660_t3\"", "\"object_id\":\"qm487_4660_t3\"",
          "\"origin\":{\"name\":\"QM487\",\"sw_version\":\"3.05\"}"})
        EXPECT_NE(t3.find(part), std::string::npos) << part << "\n" << t3;
    EXPECT_EQ(msgs[7].strTopic, "homeassistant/binary_sensor/qm487_4660_t3_alarm/config");
    EXPECT_NE(msgs[7].strPayload.find("\"device_class\":\"problem\""), std::string::npos);
    EXPECT_NE(msgs[7].strPayload.find("\"default_entity_id\":\"binary_sensor.qm487_4660_t3_alarm\""),
              std::string::npos);
    EXPECT_EQ(msgs[5].strPayload, "");  // T2 has no limits: its problem sensor is removed
    for (const DiscoveryMessage& m : DiscoveryRemovals(d))
        EXPECT_EQ(m.strPayload, "") << m.strTopic;
    EXPECT_EQ(DiscoveryRemovals(d).size(), 18u);

    // Names are UTF-8 and escaped; a channel not in use has empty payloads.
    ChannelConfig config;
    config[3].strName = "Zamra\xBF" "arka \"1\"";
    config[5].bInUse = false;
    d.channels = MqttChannelsOf(config);
    const std::vector<DiscoveryMessage> named = DiscoveryMessages(d, 1u << 3 | 1u << 5);
    EXPECT_NE(named[6].strPayload.find("{\"name\":\"Zamra\xC5\xBC" "arka \\\"1\\\"\","), std::string::npos);
    EXPECT_NE(named[7].strPayload.find("{\"name\":\"Zamra\xC5\xBC" "arka \\\"1\\\" alarm\","), std::string::npos);
    EXPECT_EQ(named[10].strTopic + named[10].strPayload + named[11].strPayload,
              "homeassistant/sensor/qm487_4660_t5/config");

    // Quotes, backslashes and controls are escaped, Polish letters are UTF-8.
    d.strBase = "lab\"1\\\xB3";
    d.strPrefix = "ha\xB3";
    d.strVersion = "3.05\x01";
    const std::vector<DiscoveryMessage> odd = DiscoveryMessages(d, 0);
    EXPECT_EQ(odd[6].strTopic, "ha\xC5\x82/sensor/qm487_4660_t3/config");
    for (const char* part :
         {"\"state_topic\":\"lab\\\"1\\\\\xC5\x82/4660/T3\",",
          "\"availability_topic\":\"lab\\\"1\\\\\xC5\x82/4660/status\",", "\"sw_version\":\"3.05\\u0001\"}"})
        EXPECT_NE(odd[6].strPayload.find(part), std::string::npos) << part << "\n" << odd[6].strPayload;
}
