// A server that takes connections and never answers, for the tests that
// show nothing waits on it (a database, a mail server).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace qm487test {

// A server that takes connections and never answers: a loopback listener
// whose connections are accepted and left alone.
class SilentServer {
public:
    SilentServer() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof addr;
        if (m_listener != INVALID_SOCKET && bind(m_listener, reinterpret_cast<sockaddr*>(&addr), size) == 0 &&
            listen(m_listener, 16) == 0 && getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &size) == 0)
            m_nPort = ntohs(addr.sin_port);
    }
    ~SilentServer() {
        for (SOCKET s : m_accepted)
            closesocket(s);
        if (m_listener != INVALID_SOCKET)
            closesocket(m_listener);
        WSACleanup();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }
    int Port() const { return m_nPort; }
    // Waits (bounded) for a connection and keeps it open, unanswered.
    bool AcceptOne(DWORD timeoutMs) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(m_listener, &set);
        timeval tv = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
        if (select(0, &set, nullptr, nullptr, &tv) != 1)
            return false;
        const SOCKET s = accept(m_listener, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return false;
        m_accepted.push_back(s);
        return true;
    }

private:
    SOCKET m_listener = INVALID_SOCKET;
    int m_nPort = 0;
    std::vector<SOCKET> m_accepted;
};

}  // namespace qm487test
