#include "mqtt/mqtt_publisher.h"

#include "config/cp1250.h"
#include "mqtt/mqtt_packet.h"
#include "config/setting_rules.h"
#include "secrets/secret_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;

unsigned MsUntil(Clock::time_point t) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<unsigned>(left);
}

// One connection: from CONNECT to its end.
class CConnection {
public:
    CConnection(IMqttTransport& transport, CMqttOutbox* pOutbox, const MqttPublisherConfig& config)
        : m_t(transport), m_pOutbox(pOutbox), m_config(config) {}

    // Connects and waits for CONNACK; false with m_strError.
    bool Open(int nInstrument) {
        m_nInstrument = nInstrument;
        if (!m_config.strCaFile.empty() && !IsFullWindowsPath(m_config.strCaFile))
            return Fail(kMqttCaFileNotFull);
        // The transport's text counts only when it fails.
        std::string error;
        if (!m_t.Open(m_config.url, mqttpub::kConnectTimeoutMs, &error))
            return Fail(error);
        mqtt::ConnectOptions o;
        o.strClientId = m_config.strClientId;
        o.strUser = Cp1250ToUtf8(m_config.strUser);
        o.strPassword = SecretTextToUtf8(m_config.strPassword);
        o.nKeepAliveS = mqttpub::kKeepAliveS;
        if (nInstrument >= 0) {
            o.strWillTopic = StatusTopic(m_config.strBase, nInstrument);
            o.strWillPayload = kStatusOffline;
        }
        if (!Send(mqtt::EncodeConnect(o)))
            return false;
        mqtt::Packet p;
        if (!ReadPacket(&p, Clock::now() + std::chrono::milliseconds(mqttpub::kConnectTimeoutMs)))
            return false;
        if (p.type != mqtt::kConnAck)
            return Fail("the broker answered CONNECT with another packet");
        m_nConnAck = p.nReturnCode;
        if (p.nReturnCode != 0)
            return Fail(mqtt::DescribeConnAck(p.nReturnCode));
        return true;
    }

    // Publishes until the connection fails (false), or the stop or a new
    // instrument ends it (true).
    bool Publish() {
        m_pOutbox->MarkAllDirty();
        const std::string haStatus = HomeAssistantStatusTopic(m_config.strPrefix);
        if (m_config.bDiscovery && !Send(mqtt::EncodeSubscribe(NextId(), haStatus, 0)))
            return false;
        if (!m_config.bDiscovery && m_config.bRemoveDiscovery)
            for (const DiscoveryMessage& m : DiscoveryRemovals(Device(false)))
                if (!PublishOne(m.strTopic, m.strPayload, true))
                    return false;
        Clock::time_point pingAnswerDue = Clock::time_point::max();
        char buffer[4096];
        for (;;) {
            if (m_pOutbox->StopRequested() || m_pOutbox->Instrument() != m_nInstrument) {
                Goodbye();
                return true;
            }
            if (m_inFlight.size() < mqttpub::kMaxInFlight && !SendPending())
                return false;
            const Clock::time_point now = Clock::now();
            if (now >= pingAnswerDue || now - OldestInFlight(now) > std::chrono::seconds(mqttpub::kKeepAliveS))
                return Fail("no answer from the broker");
            const bool bPingWaiting = pingAnswerDue != Clock::time_point::max();
            if (now >= m_lastSend + std::chrono::seconds(mqttpub::kKeepAliveS) && !bPingWaiting) {
                if (!Send(mqtt::EncodePingReq()))
                    return false;
                pingAnswerDue = now + std::chrono::seconds(mqttpub::kKeepAliveS);
            }
            const unsigned wait = std::min(MsUntil(m_lastSend + std::chrono::seconds(mqttpub::kKeepAliveS)), 1000u);
            const int n = m_t.Receive(buffer, sizeof buffer, wait);
            if (n < 0 && m_pOutbox->StopRequested()) {
                Goodbye();
                return true;
            }
            if (n < 0)
                return Fail("the broker closed the connection");
            m_reader.Feed(buffer, static_cast<std::size_t>(n));
            mqtt::Packet p;
            mqtt::CPacketReader::Result r;
            while ((r = m_reader.Next(&p)) == mqtt::CPacketReader::kPacket)
                if (!Handle(p, &pingAnswerDue))
                    return false;
            if (r == mqtt::CPacketReader::kError)
                return Fail("the broker sent bytes that are not MQTT: " + m_reader.Error());
        }
    }

    void Goodbye() {
        // Best effort: the will does not fire on a clean DISCONNECT, so the
        // status is said here; nothing waits for an answer.
        if (m_nInstrument >= 0)
            m_t.Send(mqtt::EncodePublish(StatusTopic(m_config.strBase, m_nInstrument), kStatusOffline, 0, true, 0));
        m_t.Send(mqtt::EncodeDisconnect());
    }

    const std::string& Error() const { return m_strError; }
    int ConnAck() const { return m_nConnAck; }

private:
    bool Fail(const std::string& why) {
        if (m_strError.empty())
            m_strError = why;
        return false;
    }

    bool Send(const std::string& bytes) {
        if (!m_t.Send(bytes))
            return Fail(m_pOutbox != nullptr && m_pOutbox->StopRequested() ? "stopped" : "the connection broke");
        m_lastSend = Clock::now();
        return true;
    }

    std::uint16_t NextId() {
        // 0 is no packet id; ids still in flight are skipped.
        do
            m_nNextId = static_cast<std::uint16_t>(m_nNextId + 1);
        while (m_nNextId == 0 || m_inFlight.count(m_nNextId) != 0);
        return m_nNextId;
    }

    // When the oldest message still unacknowledged went (now: none). By the
    // time, not the lowest id: ids wrap past 65535, and a message the broker
    // never answers would then never be noticed, holding a slot for good.
    Clock::time_point OldestInFlight(Clock::time_point now) const {
        Clock::time_point oldest = now;
        for (const auto& entry : m_inFlight)
            oldest = std::min(oldest, entry.second);
        return oldest;
    }

    bool PublishOne(const std::string& topic, const std::string& payload, bool bRetain) {
        const std::uint16_t id = NextId();
        m_inFlight[id] = Clock::now();
        return Send(mqtt::EncodePublish(topic, payload, 1, bRetain, id));
    }

    DiscoveryDevice Device(bool bFine) const {
        DiscoveryDevice d;
        d.strBase = m_config.strBase;
        d.strPrefix = m_config.strPrefix;
        d.nInstrument = m_nInstrument;
        d.strVersion = m_config.strVersion;
        d.bFine = bFine;
        return d;
    }

    bool SendPending() {
        MqttPending pending = m_pOutbox->TakePending();
        if (pending.bStatus && !PublishOne(StatusTopic(m_config.strBase, m_nInstrument),
                                           pending.bLinkUp ? kStatusOnline : kStatusOffline, true))
            return false;
        if (pending.bDiscovery && m_config.bDiscovery)
            for (const DiscoveryMessage& m : DiscoveryMessages(Device(pending.bFine), pending.nAlarmMask))
                if (!PublishOne(m.strTopic, m.strPayload, true))
                    return false;
        for (const MqttReading& r : pending.readings)
            if (!PublishOne(StateTopic(m_config.strBase, m_nInstrument, r.nChannel), StatePayload(r), false))
                return false;
        return true;
    }

    bool Handle(const mqtt::Packet& p, Clock::time_point* pPingAnswerDue) {
        switch (p.type) {
        case mqtt::kPubAck:
            // An id we never sent (or already had acknowledged) is ignored.
            if (m_inFlight.erase(p.nPacketId) != 0)
                m_pOutbox->CountPublished(1);
            return true;
        case mqtt::kPingResp:
            *pPingAnswerDue = Clock::time_point::max();
            return true;
        case mqtt::kSubAck:
            return true;
        case mqtt::kPublish:
            if (((p.nFlags >> 1) & 3) == 1 && !Send(mqtt::EncodePubAck(p.nPacketId)))
                return false;
            if (p.strTopic == HomeAssistantStatusTopic(m_config.strPrefix) && p.strPayload == kStatusOnline)
                m_pOutbox->MarkAllDirty();  // Home Assistant (re)started: discovery and the states again
            return true;
        default:
            return Fail("the broker sent an unexpected packet");
        }
    }

    bool ReadPacket(mqtt::Packet* p, Clock::time_point deadline) {
        char buffer[512];
        for (;;) {
            const mqtt::CPacketReader::Result r = m_reader.Next(p);
            if (r == mqtt::CPacketReader::kPacket)
                return true;
            if (r == mqtt::CPacketReader::kError)
                return Fail("the broker sent bytes that are not MQTT: " + m_reader.Error());
            const unsigned left = MsUntil(deadline);
            if (left == 0)
                return Fail("no answer from the broker");
            const int n = m_t.Receive(buffer, sizeof buffer, left);
            if (n < 0)
                return Fail("the broker closed the connection");
            m_reader.Feed(buffer, static_cast<std::size_t>(n));
        }
    }

    IMqttTransport& m_t;
    CMqttOutbox* m_pOutbox;
    const MqttPublisherConfig& m_config;
    int m_nInstrument = -1;
    mqtt::CPacketReader m_reader;
    std::map<std::uint16_t, Clock::time_point> m_inFlight;
    std::uint16_t m_nNextId = 0;
    Clock::time_point m_lastSend = Clock::now();
    std::string m_strError;
    int m_nConnAck = -1;
};

}  // namespace

const char kMqttCaFileNotFull[] = "plik certyfikatu CA trzeba poda\xE6 pe\xB3n\xB9 \x9C\x63ie\xBFk\xB9 (np. C:\\Certyfikaty\\ca.pem)";

unsigned NextMqttBackoffMs(unsigned previousMs) {
    return previousMs == 0 ? mqttpub::kBackoffFirstMs : std::min(previousMs * 2, mqttpub::kBackoffMaxMs);
}

std::string MqttClientId(const std::string& strComputer, const std::string& strProfile,
                         const std::string& strSettingsPath) {
    std::uint32_t digest = 2166136261u;  // FNV-1a
    for (char c : strSettingsPath) {
        digest ^= Cp1250ToLower(static_cast<unsigned char>(c));
        digest *= 16777619u;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(digest));
    return "qm487-" + (strComputer.empty() ? std::string("pc") : strComputer) + "-" +
           (strProfile.empty() ? std::string("default") : Cp1250ToUtf8(strProfile)) + "-" + hex;
}

void RunMqttPublisher(IMqttTransport& transport, CMqttOutbox& outbox, const MqttPublisherConfig& config,
                      const std::function<void()>& onFailingChanged) {
    outbox.Attach(&transport);
    unsigned backoffMs = 0;
    auto report = [&](bool bConnected, const std::string& error, unsigned nRetryMs) {
        if (outbox.SetConnected(bConnected, error, nRetryMs) && onFailingChanged)
            onFailingChanged();
    };
    // The will names the instrument: no connection before its number is known.
    while (outbox.Wait(~0u, true)) {
        CConnection connection(transport, &outbox, config);
        bool bEnded = false;
        if (connection.Open(outbox.Instrument())) {
            report(true, std::string(), 0);
            const Clock::time_point opened = Clock::now();
            bEnded = connection.Publish();
            if (Clock::now() - opened >= std::chrono::milliseconds(mqttpub::kLastedMs))
                backoffMs = 0;
        }
        transport.Close();
        if (outbox.StopRequested())
            break;
        if (bEnded)
            continue;  // a new instrument: connect again at once, with its will
        backoffMs = NextMqttBackoffMs(backoffMs);
        report(false, connection.Error(), backoffMs);
        if (!outbox.Wait(backoffMs, false))
            break;
    }
    transport.Close();
    report(false, std::string(), 0);
    outbox.Attach(nullptr);
}

MqttCheckResult CheckMqttBroker(IMqttTransport& transport, const MqttPublisherConfig& config) {
    MqttCheckResult result;
    CConnection connection(transport, nullptr, config);
    result.bAccepted = connection.Open(-1);
    result.bAnswered = connection.ConnAck() >= 0;
    result.strAnswer = result.bAccepted ? mqtt::DescribeConnAck(0) : connection.Error();
    if (result.bAccepted)
        transport.Send(mqtt::EncodeDisconnect());
    transport.Close();
    return result;
}

std::string DescribeMqttState(const MqttPublishState& state, bool bRunning, bool bInstrumentKnown) {
    if (!bRunning)
        return "Publikowanie wy\xB3\xB9" "czone.";
    if (state.bFailing)
        return "B\xB3\xB9" "d po\xB3\xB9" "czenia: " + state.strError + ". Ponowna pr\xF3" "ba wkr\xF3tce.";
    if (state.bConnected)
        return "Po\xB3\xB9" "czono. Serwer potwierdzi\xB3 wiadomo\x9C" "ci: " + std::to_string(state.nPublished) + ".";
    return bInstrumentKnown ? "\xA3\xB9" "czenie..." : "Czeka na pierwszy odczyt z urz\xB9" "dzenia.";
}

std::string DescribeMqttCheck(const MqttCheckResult& result) {
    if (result.bAccepted)
        return "Serwer przyj\xB9\xB3 po\xB3\xB9" "czenie (" + result.strAnswer + ").";
    if (result.bAnswered)
        return "Serwer odm\xF3wi\xB3: " + result.strAnswer + ".";
    return "Brak po\xB3\xB9" "czenia: " + result.strAnswer + ".";
}
