// MQTT 3.1.1 packets as bytes: the ones the program sends, built whole, and
// a reader that takes the broker's bytes as they come and hands back whole
// packets, refusing anything malformed. Only what a publisher needs: it
// sends CONNECT, PUBLISH, PUBACK (for a QoS 1 message it is sent),
// SUBSCRIBE, PINGREQ and DISCONNECT; it understands CONNACK, PUBLISH,
// PUBACK, SUBACK and PINGRESP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mqtt {

enum PacketType : std::uint8_t {
    kConnect = 1,
    kConnAck = 2,
    kPublish = 3,
    kPubAck = 4,
    kSubscribe = 8,
    kSubAck = 9,
    kPingReq = 12,
    kPingResp = 13,
    kDisconnect = 14,
};

struct ConnectOptions {
    std::string strClientId;
    std::string strUser;      // empty: none
    std::string strPassword;  // sent only with a user
    std::uint16_t nKeepAliveS = 30;
    bool bCleanSession = true;
    std::string strWillTopic;  // empty: no will
    std::string strWillPayload;
    bool bWillRetain = true;
    std::uint8_t nWillQos = 1;
};

std::string EncodeConnect(const ConnectOptions& options);
// nPacketId is used (and needed) only for QoS 1.
std::string EncodePublish(const std::string& topic, const std::string& payload, std::uint8_t nQos, bool bRetain,
                          std::uint16_t nPacketId);
std::string EncodePubAck(std::uint16_t nPacketId);
std::string EncodeSubscribe(std::uint16_t nPacketId, const std::string& topicFilter, std::uint8_t nQos);
std::string EncodePingReq();
std::string EncodeDisconnect();

// A packet from the broker, decoded.
struct Packet {
    PacketType type = kConnAck;
    std::uint8_t nFlags = 0;       // low nibble of the first byte
    bool bSessionPresent = false;  // CONNACK
    std::uint8_t nReturnCode = 0;  // CONNACK; SUBACK's first granted QoS
    std::uint16_t nPacketId = 0;   // PUBACK, SUBACK, PUBLISH with QoS 1 or 2
    std::string strTopic;          // PUBLISH
    std::string strPayload;        // PUBLISH
};

// Collects the broker's bytes and cuts them into packets. A packet that
// breaks the rules (a reserved type or flags, a length of more than four
// bytes or beyond the limit, a body that does not fit its type) puts the
// reader in error for good: the connection is then to be dropped.
class CPacketReader {
public:
    // The broker sends us small packets only (answers, and the status
    // messages we subscribe to); a larger message is passed over unread,
    // anything else larger is refused.
    static const std::size_t kMaxPacket = 64 * 1024;

    void Feed(const char* data, std::size_t n);
    enum Result { kNone, kPacket, kError };
    // kPacket with *pOut filled, kNone while a packet is incomplete, kError
    // once the bytes are not MQTT.
    Result Next(Packet* pOut);
    const std::string& Error() const { return m_strError; }

private:
    Result Fail(const char* why);
    std::string m_buffer;
    std::size_t m_nUsed = 0;  // bytes of m_buffer already handed out
    std::size_t m_nSkip = 0;  // bytes of a too large message still to pass over
    std::string m_strError;
};

// The broker's CONNACK return code in words ("bad user name or password").
const char* DescribeConnAck(std::uint8_t nReturnCode);

}  // namespace mqtt
