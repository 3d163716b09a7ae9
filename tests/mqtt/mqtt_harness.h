// For the Windows tests of publishing: a private Mosquitto (a Linux program,
// run by mosquitto_server.sh, which leaves a marker file per command as Wine
// cannot wait for it), a subscriber that reads back what arrives, and a
// hostile broker that answers every connection with the bytes it is given.
// Every wait is bounded.
#pragma once

#include "mqtt/mqtt_packet.h"
#include "mqtt/mqtt_socket.h"
#include "tests/app/child_process.h"
#include "tests/app/program_harness.h"
#include "tests/server_script.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm487test {

class MosquittoBroker {
public:
    // mode: plain, password, or tls and its kinds (mosquitto_server.sh).
    MosquittoBroker(const std::string& name, const std::string& mode)
        : m_script(QM487_MOSQUITTO_SCRIPT, std::string(QM487_MOSQUITTO_BASE) + "/" + name), m_mode(mode) {}
    ~MosquittoBroker() { m_script.Run("clean", 30000); }

    bool Start() {
        if (!m_script.Run("start", 60000, m_mode))
            return false;
        m_nPort = std::stoi(ReadText("port"));
        return true;
    }
    bool Stop() { return m_script.Run("stop", 30000); }
    int Port() const { return m_nPort; }
    std::string Url() const {
        return (m_mode.compare(0, 3, "tls") == 0 ? "mqtts://localhost:" : "mqtt://127.0.0.1:") +
               std::to_string(m_nPort);
    }
    std::string CaFile() const { return m_script.Path("ca.pem"); }
    std::string ReadText(const std::string& name) const { return m_script.ReadText(name); }

private:
    ServerScript m_script;
    std::string m_mode;
    int m_nPort = 0;
};

struct ReceivedMessage {
    std::string strTopic, strPayload;
    bool bRetain;
};

// Reads back what the broker delivers (QoS 1 subscriptions).
class TestSubscriber {
public:
    explicit TestSubscriber(const std::string& caFile = std::string()) : m_socket(caFile) {}
    ~TestSubscriber() {
        m_socket.Send(mqtt::EncodeDisconnect());
        m_socket.Close();
    }
    // bClean false: the broker keeps the session and queues for it while
    // this subscriber (or the broker) is away.
    bool Connect(const std::string& url, const std::string& clientId, bool bClean = true,
                 const std::string& user = "lab", const std::string& password = "Has-7;x") {
        MqttUrl parsed;
        std::string error;
        if (!ParseMqttUrl(url, parsed) || !m_socket.Open(parsed, 10000, &error))
            return false;
        m_reader = mqtt::CPacketReader();
        mqtt::ConnectOptions o;
        o.strClientId = clientId;
        o.bCleanSession = bClean;
        o.nKeepAliveS = 600;
        o.strUser = user;
        o.strPassword = password;
        mqtt::Packet p;
        return m_socket.Send(mqtt::EncodeConnect(o)) && Next(&p, 10000) && p.type == mqtt::kConnAck &&
               p.nReturnCode == 0;
    }
    bool Subscribe(const std::string& filter) {
        mqtt::Packet p;
        if (!m_socket.Send(mqtt::EncodeSubscribe(++m_nId, filter, 1)))
            return false;
        while (Next(&p, 10000))
            if (p.type == mqtt::kSubAck)
                return p.nReturnCode <= 2;
        return false;
    }
    bool Publish(const std::string& topic, const std::string& payload, bool bRetain = false) {
        return m_socket.Send(mqtt::EncodePublish(topic, payload, 0, bRetain, 0));
    }
    // Reads until pred holds for what has arrived, or the time is up.
    template <class Pred>
    bool WaitFor(Pred pred, DWORD timeoutMs = 60000) {
        mqtt::Packet p;
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!pred()) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return false;
            Next(&p, static_cast<unsigned>(std::min<ULONGLONG>(deadline - now, 500)));
        }
        return true;
    }
    std::vector<ReceivedMessage> On(const std::string& topic) const {
        std::vector<ReceivedMessage> out;
        for (const ReceivedMessage& m : messages)
            if (m.strTopic == topic)
                out.push_back(m);
        return out;
    }
    std::vector<ReceivedMessage> messages;

private:
    // The next packet other than a PUBLISH (which is kept and acknowledged).
    bool Next(mqtt::Packet* p, unsigned nMs) {
        const ULONGLONG deadline = GetTickCount64() + nMs;
        char buffer[4096];
        for (;;) {
            mqtt::CPacketReader::Result r;
            while ((r = m_reader.Next(p)) == mqtt::CPacketReader::kPacket) {
                if (p->type != mqtt::kPublish)
                    return true;
                messages.push_back({p->strTopic, p->strPayload, (p->nFlags & 1) != 0});
                if (p->nFlags & 0x06)
                    m_socket.Send(mqtt::EncodePubAck(p->nPacketId));
            }
            const ULONGLONG now = GetTickCount64();
            if (r == mqtt::CPacketReader::kError || now >= deadline)
                return false;
            const int n = m_socket.Receive(buffer, sizeof buffer, static_cast<unsigned>(deadline - now));
            if (n < 0)
                return false;
            m_reader.Feed(buffer, static_cast<std::size_t>(n));
        }
    }

    CMqttSocket m_socket;
    mqtt::CPacketReader m_reader;
    std::uint16_t m_nId = 0;
};

// A broker that answers each connection's first bytes with a reply of the
// test's choosing, then hangs up or keeps listening (nothing more said).
class HostileBroker {
public:
    HostileBroker(const std::string& reply, bool bHangUp) : m_reply(reply), m_bHangUp(bHangUp) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(m_listener, 8);
        int n = sizeof a;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &n);
        m_nPort = ntohs(a.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~HostileBroker() {
        m_bStop = true;
        m_thread.join();
        closesocket(m_listener);
        WSACleanup();
    }
    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(m_nPort); }
    int Connections() const { return m_nConnections; }
    std::string Received() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    // True when the socket has something (or has ended) within 50 ms.
    static bool Readable(SOCKET s) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv = {0, 50000};
        return select(0, &set, nullptr, nullptr, &tv) > 0;
    }
    void Serve() {
        std::vector<SOCKET> open;
        while (!m_bStop) {
            if (Readable(m_listener)) {
                SOCKET s = accept(m_listener, nullptr, nullptr);
                ++m_nConnections;
                if (!m_reply.empty() || m_bHangUp) {
                    while (!m_bStop && !Readable(s)) {
                    }
                    char buffer[4096];
                    recv(s, buffer, sizeof buffer, 0);  // the CONNECT
                    send(s, m_reply.data(), static_cast<int>(m_reply.size()), 0);
                }
                if (m_bHangUp)
                    closesocket(s);
                else
                    open.push_back(s);
            }
            for (std::size_t i = 0; i < open.size(); ++i) {
                char buffer[4096];
                if (!Readable(open[i]))
                    continue;
                const int n = recv(open[i], buffer, sizeof buffer, 0);
                if (n <= 0) {
                    closesocket(open[i]);
                    open.erase(open.begin() + static_cast<std::ptrdiff_t>(i--));
                    continue;
                }
                std::lock_guard<std::mutex> lock(m_mutex);
                m_received.append(buffer, static_cast<std::size_t>(n));
            }
        }
        for (SOCKET s : open)
            closesocket(s);
    }

    std::string m_reply;
    bool m_bHangUp;
    SOCKET m_listener = INVALID_SOCKET;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nConnections{0};
    mutable std::mutex m_mutex;
    std::string m_received;
    std::thread m_thread;
};

}  // namespace qm487test
