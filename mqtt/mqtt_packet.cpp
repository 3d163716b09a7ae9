#include "mqtt/mqtt_packet.h"

#include <algorithm>

namespace mqtt {

namespace {

void PutU16(std::string& out, std::size_t n) {
    out += static_cast<char>((n >> 8) & 0xFF);
    out += static_cast<char>(n & 0xFF);
}

// Strings are at most 65,535 bytes; longer ones are cut, never wrapped.
void PutString(std::string& out, const std::string& s) {
    const std::size_t n = s.size() < 0xFFFF ? s.size() : 0xFFFF;
    PutU16(out, n);
    out.append(s, 0, n);
}

std::string Frame(std::uint8_t firstByte, const std::string& body) {
    std::string out(1, static_cast<char>(firstByte));
    std::size_t n = body.size();
    do {
        std::uint8_t digit = n % 128;
        n /= 128;
        if (n > 0)
            digit |= 0x80;
        out += static_cast<char>(digit);
    } while (n > 0);
    return out + body;
}

std::uint16_t GetU16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>((static_cast<std::uint8_t>(s[at]) << 8) | static_cast<std::uint8_t>(s[at + 1]));
}

}  // namespace

std::string EncodeConnect(const ConnectOptions& o) {
    std::string body;
    PutString(body, "MQTT");
    body += '\x04';  // 3.1.1
    std::uint8_t flags = o.bCleanSession ? 0x02 : 0x00;
    if (!o.strWillTopic.empty())
        flags |= 0x04 | ((o.nWillQos & 3) << 3) | (o.bWillRetain ? 0x20 : 0);
    if (!o.strUser.empty())
        flags |= 0x80 | 0x40;
    body += static_cast<char>(flags);
    PutU16(body, o.nKeepAliveS);
    PutString(body, o.strClientId);
    if (!o.strWillTopic.empty()) {
        PutString(body, o.strWillTopic);
        PutString(body, o.strWillPayload);
    }
    if (!o.strUser.empty()) {
        PutString(body, o.strUser);
        PutString(body, o.strPassword);
    }
    return Frame(kConnect << 4, body);
}

std::string EncodePublish(const std::string& topic, const std::string& payload, std::uint8_t nQos, bool bRetain,
                          std::uint16_t nPacketId) {
    std::string body;
    PutString(body, topic);
    if (nQos > 0)
        PutU16(body, nPacketId);
    body += payload;
    return Frame(static_cast<std::uint8_t>(kPublish << 4 | (nQos & 3) << 1 | (bRetain ? 1 : 0)), body);
}

std::string EncodePubAck(std::uint16_t nPacketId) {
    std::string body;
    PutU16(body, nPacketId);
    return Frame(kPubAck << 4, body);
}

std::string EncodeSubscribe(std::uint16_t nPacketId, const std::string& topicFilter, std::uint8_t nQos) {
    std::string body;
    PutU16(body, nPacketId);
    PutString(body, topicFilter);
    body += static_cast<char>(nQos & 3);
    return Frame(kSubscribe << 4 | 0x02, body);  // SUBSCRIBE's reserved flags are 0010
}

std::string EncodePingReq() { return Frame(kPingReq << 4, std::string()); }

std::string EncodeDisconnect() { return Frame(kDisconnect << 4, std::string()); }

void CPacketReader::Feed(const char* data, std::size_t n) {
    // Handed-out bytes go before new ones come, so the buffer holds at most
    // one packet and a piece.
    if (m_nUsed > 0) {
        m_buffer.erase(0, m_nUsed);
        m_nUsed = 0;
    }
    m_buffer.append(data, n);
}

CPacketReader::Result CPacketReader::Fail(const char* why) {
    if (m_strError.empty())
        m_strError = why;
    return kError;
}

CPacketReader::Result CPacketReader::Next(Packet* pOut) {
    if (!m_strError.empty())
        return kError;
    if (m_nSkip > 0) {
        const std::size_t n = std::min(m_buffer.size() - m_nUsed, m_nSkip);
        m_nUsed += n;
        m_nSkip -= n;
        if (m_nSkip > 0)
            return kNone;
    }
    const std::size_t avail = m_buffer.size() - m_nUsed;
    if (avail == 0)
        return kNone;
    const std::uint8_t first = static_cast<std::uint8_t>(m_buffer[m_nUsed]);
    // The first byte alone tells bytes that are no answer of a broker, so
    // they fail at once instead of waiting for a length they never meant.
    switch (first >> 4) {
    case kPublish:
        break;
    case kConnAck:
    case kPubAck:
    case kSubAck:
    case kPingResp:
        if ((first & 0x0F) != 0)
            return Fail("reserved flags set");
        break;
    default:
        return Fail("unexpected packet type");
    }
    std::size_t length = 0;
    std::size_t header = 1;
    for (int shift = 0;; shift += 7) {
        if (header > 4)
            return Fail("remaining length longer than four bytes");
        if (header >= avail)
            return kNone;
        const std::uint8_t digit = static_cast<std::uint8_t>(m_buffer[m_nUsed + header]);
        length |= static_cast<std::size_t>(digit & 0x7F) << shift;
        ++header;
        if ((digit & 0x80) == 0)
            break;
    }
    if (length > kMaxPacket) {
        // A QoS 0 message too large to keep (a retained one on a topic we
        // subscribe to, say) is passed over as it comes: ending the
        // connection would meet it again at every reconnect, and no reading
        // would go out. One with an id to acknowledge is refused.
        if (first >> 4 != kPublish || (first & 0x06) != 0)
            return Fail("packet too large");
        m_nSkip = header + length;
        return Next(pOut);
    }
    if (avail < header + length)
        return kNone;
    const std::string body = m_buffer.substr(m_nUsed + header, length);
    m_nUsed += header + length;

    Packet p;
    p.type = static_cast<PacketType>(first >> 4);
    p.nFlags = first & 0x0F;
    switch (p.type) {
    case kConnAck:
        if (length != 2 || (static_cast<std::uint8_t>(body[0]) & 0xFE) != 0)
            return Fail("malformed CONNACK");
        p.bSessionPresent = body[0] != 0;
        p.nReturnCode = static_cast<std::uint8_t>(body[1]);
        break;
    case kPubAck:
        if (length != 2)
            return Fail("malformed PUBACK");
        p.nPacketId = GetU16(body, 0);
        break;
    case kSubAck:
        if (length < 3)
            return Fail("malformed SUBACK");
        p.nPacketId = GetU16(body, 0);
        p.nReturnCode = static_cast<std::uint8_t>(body[2]);
        break;
    case kPingResp:
        if (length != 0)
            return Fail("malformed PINGRESP");
        break;
    case kPublish: {
        const std::uint8_t qos = (p.nFlags >> 1) & 3;
        if (qos == 3 || length < 2)
            return Fail("malformed PUBLISH");
        const std::size_t topicLength = GetU16(body, 0);
        const std::size_t idLength = qos > 0 ? 2 : 0;
        if (2 + topicLength + idLength > length)
            return Fail("malformed PUBLISH");
        p.strTopic = body.substr(2, topicLength);
        if (qos > 0)
            p.nPacketId = GetU16(body, 2 + topicLength);
        p.strPayload = body.substr(2 + topicLength + idLength);
        break;
    }
    default:
        break;  // refused above
    }
    *pOut = p;
    return kPacket;
}

const char* DescribeConnAck(std::uint8_t nReturnCode) {
    switch (nReturnCode) {
    case 0:
        return "connection accepted";
    case 1:
        return "unacceptable protocol version";
    case 2:
        return "client identifier rejected";
    case 3:
        return "server unavailable";
    case 4:
        return "bad user name or password";
    case 5:
        return "not authorized";
    default:
        return "refused with an unknown code";
    }
}

}  // namespace mqtt
