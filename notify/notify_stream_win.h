// The mail server's byte stream on Windows: the framework's TCP and TLS
// stream, the same as MQTT's, with its certificate checks.
#pragma once

#include "framework/tls_socket.h"
#include "notify/notify_ports.h"

class CNotifyStreamWin : public INotifyStream {
public:
    CNotifyStreamWin() : m_socket("server", std::wstring()) {}

    bool Open(const std::string& strHost, int nPort, bool bTls, const std::string& strCaFile, unsigned nTimeoutMs,
              std::string* pError) override;
    bool StartTls(unsigned nTimeoutMs, std::string* pError) override { return m_socket.StartTls(nTimeoutMs, pError); }
    bool Send(const std::string& bytes) override { return m_socket.Send(bytes); }
    int Receive(char* pBuffer, int nSize, unsigned nMs) override { return m_socket.Receive(pBuffer, nSize, nMs); }
    void Close() override { m_socket.Close(); }
    void Cancel() override { m_socket.Cancel(); }

private:
    CTlsSocket m_socket;
};
