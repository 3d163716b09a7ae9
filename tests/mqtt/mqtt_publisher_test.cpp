// The publishing loop against a broker played in memory: what goes out on
// a connection, what a reconnect sends, and how bad answers end a
// connection without harm. Every wait is bounded.
#include "mqtt/mqtt_packet.h"
#include "mqtt/mqtt_publisher.h"
#include "secrets/secret_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

struct Message {
    std::string strTopic, strPayload;
    bool bRetain;
};

class ScriptedBroker : public IMqttTransport {
public:
    // What the broker says to each CONNECT, and whether it then hangs up.
    std::string strConnectReply = std::string("\x20\x02\x00\x00", 4);
    bool bHangUpAfterReply = false;
    bool bOpenFails = false;

    bool Open(const MqttUrl&, unsigned, std::string* pError) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nOpens;
        if (m_bCancelled || bOpenFails) {
            *pError = "connection refused";
            return false;
        }
        m_bOpen = true;
        *pError = "a text that means nothing on success";
        return true;
    }
    bool Send(const std::string& bytes) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bOpen)
            return false;
        const int type = static_cast<unsigned char>(bytes[0]) >> 4;
        std::size_t at = 1;
        while (static_cast<unsigned char>(bytes[at]) & 0x80)
            ++at;
        const std::string body = bytes.substr(at + 1);
        if (type == mqtt::kConnect) {
            m_connects.push_back(body);
            m_in += strConnectReply;
            m_bHangUp = bHangUpAfterReply;
        } else if (type == mqtt::kPublish) {
            const std::size_t n = static_cast<unsigned char>(body[0]) * 256 + static_cast<unsigned char>(body[1]);
            const bool bQos1 = (bytes[0] & 0x06) == 0x02;
            m_published.push_back({body.substr(2, n), body.substr(2 + n + (bQos1 ? 2 : 0)), (bytes[0] & 1) != 0});
            if (bQos1)
                m_in += mqtt::EncodePubAck(static_cast<std::uint16_t>(static_cast<unsigned char>(body[2 + n]) * 256 +
                                                                      static_cast<unsigned char>(body[3 + n])));
        } else if (type == mqtt::kSubscribe) {
            m_subscriptions.push_back(body.substr(4, body.size() - 5));
            m_in += std::string("\x90\x03", 2) + body.substr(0, 2) + std::string(1, '\0');
        } else if (type == mqtt::kDisconnect) {
            ++m_nDisconnects;
        }
        m_cv.notify_all();
        return true;
    }
    int Receive(char* pBuffer, int nSize, unsigned nMs) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(nMs),
                      [&] { return m_bCancelled || m_bWoken || !m_in.empty() || m_bHangUp; });
        m_bWoken = false;
        if (m_bCancelled || (m_in.empty() && m_bHangUp))
            return -1;
        const int n = std::min(nSize, static_cast<int>(m_in.size()));
        m_in.copy(pBuffer, n);
        m_in.erase(0, n);
        return n;
    }
    void Close() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOpen = m_bHangUp = false;
        m_in.clear();
    }
    void Wake() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bWoken = true;
        m_cv.notify_all();
    }
    void Cancel() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bCancelled = true;
        m_cv.notify_all();
    }
    // Bytes from the broker on the open connection.
    void Inject(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_in += bytes;
        m_cv.notify_all();
    }
    void Set(bool ScriptedBroker::*pFlag, bool b) {
        std::lock_guard<std::mutex> lock(m_mutex);
        this->*pFlag = b;
    }
    std::vector<Message> Published() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_published;
    }
    std::vector<Message> PublishedTo(const std::string& topic) const {
        std::vector<Message> out;
        for (const Message& m : Published())
            if (m.strTopic == topic)
                out.push_back(m);
        return out;
    }
    std::vector<std::string> Connects() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_connects;
    }
    int Opens() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nOpens;
    }
    int Disconnects() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nDisconnects;
    }
    std::vector<std::string> Subscriptions() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_subscriptions;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_in;
    bool m_bOpen = false, m_bHangUp = false, m_bWoken = false, m_bCancelled = false;
    int m_nOpens = 0, m_nDisconnects = 0;
    std::vector<std::string> m_connects, m_subscriptions;
    std::vector<Message> m_published;
};

template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

MqttReading Reading(int channel, const char* value, int alarm = 0) {
    MqttReading r;
    r.nChannel = channel;
    r.strValue = value;
    r.nAlarm = alarm;
    r.nTimeMs = 1796738592123;
    return r;
}

// The loop on a thread of its own, stopped and joined at the end.
class Publisher {
public:
    explicit Publisher(ScriptedBroker& broker, MqttPublisherConfig config = MqttPublisherConfig()) : m_config(config) {
        m_config.strVersion = "3.05";
        IMqttTransport* pTransport = &broker;
        m_thread = std::thread(
            [this, pTransport] { RunMqttPublisher(*pTransport, outbox, m_config, [this] { ++nFailingChanges; }); });
    }
    ~Publisher() { Stop(); }
    void Stop() {
        outbox.RequestStop();
        if (m_thread.joinable())
            m_thread.join();
    }
    CMqttOutbox outbox;
    std::atomic<int> nFailingChanges{0};

private:
    MqttPublisherConfig m_config;
    std::thread m_thread;
};

const std::string kState1 = "{\"value\":21.4,\"status\":\"ok\",\"alarm\":0,\"time\":\"2026-12-08T14:03:12.123Z\"}";

}  // namespace

TEST(MqttPublisher, AConnectionSaysOnlineSendsDiscoveryAndReadingsAndOfflineOnStop) {
    ScriptedBroker broker;
    Publisher pub(broker);
    pub.outbox.PutReading(Reading(1, "21.4"), 4660, false, 1u << 1);
    ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/4660/T1").size() == 1; }));
    pub.outbox.PutReading(Reading(0, "-4.25", 1), 4660, false, 1u << 1);
    ASSERT_TRUE(WaitUntil([&] { return pub.outbox.State().nPublished == 1 + 18 + 2; }));
    ASSERT_EQ(broker.Connects().size(), 1u);
    const std::string connect = broker.Connects()[0];
    EXPECT_NE(connect.find("qm487/4660/status"), std::string::npos);  // the will
    EXPECT_EQ(connect[7] & 0x3E, 0x2E);                               // clean session, will with QoS 1, retained
    const std::vector<Message> all = broker.Published();
    EXPECT_EQ(all[0].strTopic, "qm487/4660/status");
    EXPECT_EQ(all[0].strPayload, "online");
    EXPECT_TRUE(all[0].bRetain);
    EXPECT_EQ(all[1].strTopic, "homeassistant/sensor/qm487_4660_t/config");
    EXPECT_TRUE(all[1].bRetain);
    EXPECT_EQ(all[4].strTopic, "homeassistant/binary_sensor/qm487_4660_t1_alarm/config");
    EXPECT_NE(all[4].strPayload, "");
    EXPECT_EQ(broker.PublishedTo("qm487/4660/T1")[0].strPayload, kState1);
    EXPECT_FALSE(broker.PublishedTo("qm487/4660/T1")[0].bRetain);
    EXPECT_EQ(broker.PublishedTo("qm487/4660/T")[0].strPayload,
              "{\"value\":-4.25,\"status\":\"ok\",\"alarm\":1,\"time\":\"2026-12-08T14:03:12.123Z\"}");
    EXPECT_EQ(broker.Subscriptions(), std::vector<std::string>{"homeassistant/status"});
    EXPECT_FALSE(pub.outbox.State().bFailing);

    // A lost link: the status says so while the connection stays.
    pub.outbox.PutLinkLost();
    ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/4660/status").size() == 2; }));
    EXPECT_EQ(broker.PublishedTo("qm487/4660/status")[1].strPayload, "offline");
    pub.outbox.PutReading(Reading(1, "21.4"), 4660, false, 1u << 1);
    ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/4660/status").size() == 3; }));
    EXPECT_EQ(broker.PublishedTo("qm487/4660/status")[2].strPayload, "online");

    // Home Assistant restarted: discovery again.
    broker.Inject(mqtt::EncodePublish("homeassistant/status", "online", 1, false, 3));
    ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("homeassistant/sensor/qm487_4660_t3/config").size() == 2; }));

    pub.Stop();
    EXPECT_EQ(broker.PublishedTo("qm487/4660/status").back().strPayload, "offline");
    EXPECT_EQ(broker.Disconnects(), 1);
    EXPECT_EQ(broker.Connects().size(), 1u);
}

TEST(MqttPublisher, WhileTheBrokerIsAwayOnlyEachChannelsLatestReadingWaits) {
    ScriptedBroker broker;
    broker.bOpenFails = true;
    Publisher pub(broker);
    for (int i = 0; i < 100; ++i)
        pub.outbox.PutReading(Reading(1 + i % 2, i == 98 ? "21.4" : "20.0"), 4660, false, 0);
    ASSERT_TRUE(WaitUntil([&] { return pub.outbox.State().bFailing; }));
    EXPECT_EQ(pub.outbox.State().strError, "connection refused");
    EXPECT_EQ(pub.nFailingChanges, 1);
    broker.Set(&ScriptedBroker::bOpenFails, false);  // the next try, after the back-off's first second
    ASSERT_TRUE(WaitUntil([&] { return !pub.outbox.State().bFailing && pub.outbox.State().nPublished == 1 + 18 + 2; }));
    EXPECT_EQ(broker.PublishedTo("qm487/4660/T1").size(), 1u);
    EXPECT_EQ(broker.PublishedTo("qm487/4660/T1")[0].strPayload, kState1);
    EXPECT_EQ(broker.PublishedTo("qm487/4660/T2").size(), 1u);
    EXPECT_EQ(pub.nFailingChanges, 2);
}

TEST(MqttPublisher, ANewInstrumentReconnectsWithItsWillAndTheOldOneGoesOffline) {
    ScriptedBroker broker;
    Publisher pub(broker);
    pub.outbox.PutReading(Reading(1, "21.4"), 4660, false, 0);
    ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/4660/T1").size() == 1; }));
    pub.outbox.PutReading(Reading(2, "19.5"), 17, false, 0);
    ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/17/T2").size() == 1; }));
    ASSERT_EQ(broker.Connects().size(), 2u);
    EXPECT_NE(broker.Connects()[1].find("qm487/17/status"), std::string::npos);
    EXPECT_EQ(broker.PublishedTo("qm487/4660/status").back().strPayload, "offline");
    EXPECT_TRUE(broker.PublishedTo("qm487/17/T1").empty());
}

TEST(MqttPublisher, DiscoverySwitchedOffRemovesItsEntitiesOrSendsNone) {
    for (bool bRemove : {true, false}) {
        ScriptedBroker broker;
        MqttPublisherConfig config;
        config.bDiscovery = false;
        config.bRemoveDiscovery = bRemove;
        config.strPrefix = "ha";
        Publisher pub(broker, config);
        pub.outbox.PutReading(Reading(1, "21.4"), 4660, false, 1);
        ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/4660/T1").size() == 1; }));
        int nDiscovery = 0;
        for (const Message& m : broker.Published())
            if (m.strTopic.compare(0, 3, "ha/") == 0) {
                ++nDiscovery;
                EXPECT_EQ(m.strPayload, "");
                EXPECT_TRUE(m.bRetain);
            }
        EXPECT_EQ(nDiscovery, bRemove ? 18 : 0);
        EXPECT_TRUE(broker.Subscriptions().empty());
    }
}

TEST(MqttPublisher, BadAnswersEndTheConnectionWithAReasonAndNeverHang) {
    const std::string connack(std::string("\x20\x02\x00\x00", 4));
    const struct {
        const char* name;
        std::string reply;
        bool bHangUp;
        const char* error;  // nullptr: the connection is fine
    } rows[] = {
        {"refused", std::string("\x20\x02\x00\x04", 4), false, "bad user name or password"},
        {"garbage", "HTTP/1.1 400 Bad Request\r\n\r\n", false, "not MQTT"},
        {"closed mid-packet", std::string("\x20\x02\x00", 3), true, "closed the connection"},
        {"closed at once", "", true, "closed the connection"},
        {"another packet first", std::string("\xD0\x00", 2), false, "another packet"},
        {"unknown PUBACK", connack + std::string("\x40\x02\x77\x77", 4), false, nullptr},
        {"garbage after CONNACK", connack + std::string(40, '\xFF'), false, "not MQTT"},
        {"CONNACK twice", connack + connack, false, "unexpected packet"},
        {"huge packet", connack + std::string("\x32\xFF\xFF\xFF\x7F", 5), false, "too large"},
        {"huge retained status",
         connack + mqtt::EncodePublish("homeassistant/status", std::string(70000, 'x'), 0, true, 0), false, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedBroker broker;
        broker.strConnectReply = row.reply;
        broker.bHangUpAfterReply = row.bHangUp;
        Publisher pub(broker);
        pub.outbox.PutReading(Reading(1, "21.4"), 4660, false, 0);
        if (row.error == nullptr) {
            ASSERT_TRUE(WaitUntil([&] { return broker.PublishedTo("qm487/4660/T1").size() == 1; }));
            EXPECT_TRUE(WaitUntil([&] { return pub.outbox.State().nPublished == 1 + 18 + 1; }));
            EXPECT_FALSE(pub.outbox.State().bFailing);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return pub.outbox.State().bFailing; }));
            EXPECT_NE(pub.outbox.State().strError.find(row.error), std::string::npos) << pub.outbox.State().strError;
        }
        const auto started = std::chrono::steady_clock::now();
        pub.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));  // a bound, not a speed
    }
}

// Another client with the same id pushes this one off as soon as it is on:
// the waits between tries keep growing, never starting again at 1 s.
TEST(MqttPublisher, AConnectionEndedAtOnceDoesNotStartTheBackOffAgain) {
    ScriptedBroker broker;
    broker.bHangUpAfterReply = true;  // after CONNACK
    Publisher pub(broker);
    pub.outbox.PutReading(Reading(1, "21.4"), 4660, false, 0);
    ASSERT_TRUE(WaitUntil([&] { return pub.outbox.State().nRetryMs == 1000; }));
    EXPECT_EQ(pub.outbox.State().strError, "the broker closed the connection");
    ASSERT_TRUE(WaitUntil([&] { return pub.outbox.State().nRetryMs == 2000; }));  // after the second connection
    EXPECT_GE(broker.Connects().size(), 2u);
}

TEST(MqttPublisher, TheCheckSaysTheBrokersAnswer) {
    // MQTT's strings are UTF-8: the password as typed, also where Windows-1250
    // lacks its letters (the dialog then holds it as marked UTF-8).
    const std::string polish = "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87";
    const std::string cyrillic = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
    const std::pair<int, std::string> rows[] = {{0, polish}, {4, polish}, {5, polish}, {0, cyrillic}};
    for (const auto& [code, utf8] : rows) {
        ScriptedBroker broker;
        broker.strConnectReply = std::string("\x20\x02\x00", 3) + static_cast<char>(code);
        MqttPublisherConfig config;
        config.strClientId = "qm487-PC-default";
        config.strUser = "Pawe\xB3";
        config.strPassword = SecretTextFromUtf8(utf8);
        const MqttCheckResult result = CheckMqttBroker(broker, config);
        EXPECT_EQ(result.bAccepted, code == 0);
        EXPECT_EQ(result.strAnswer, mqtt::DescribeConnAck(static_cast<std::uint8_t>(code)));
        ASSERT_EQ(broker.Connects().size(), 1u);
        const std::string tail = "Pawe\xC5\x82" + std::string("\x00", 1) + static_cast<char>(utf8.size()) + utf8;
        EXPECT_EQ(broker.Connects()[0].substr(broker.Connects()[0].size() - tail.size()), tail);
        EXPECT_EQ(broker.Connects()[0][7] & 0x04, 0);  // no will
        EXPECT_TRUE(broker.Published().empty());
        EXPECT_EQ(broker.Disconnects(), code == 0 ? 1 : 0);
    }
    // A CA file by a relative name would be read from whatever folder is current.
    ScriptedBroker broker;
    MqttPublisherConfig config;
    config.strCaFile = "ca.pem";
    EXPECT_EQ(CheckMqttBroker(broker, config).strAnswer, kMqttCaFileNotFull);
    EXPECT_EQ(broker.Opens(), 0);
}
