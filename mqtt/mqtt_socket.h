// The broker's byte stream on Windows: the framework's TCP and TLS stream
// (framework/tls_socket.h), opened as an mqtt:// or mqtts:// address says.
#pragma once

#include "framework/text.h"
#include "framework/tls_socket.h"
#include "mqtt/mqtt_transport.h"

#include <string>

class CMqttSocket : public IMqttTransport {
public:
    // strCaFile: a PEM or DER certificate file, Windows-1250 path; empty: none.
    explicit CMqttSocket(const std::string& strCaFile = std::string())
        : m_socket("broker", afx::Widen1250(strCaFile)) {}

    bool Open(const MqttUrl& url, unsigned nTimeoutMs, std::string* pError) override {
        return m_socket.Open(url.strHost, url.nPort, url.bTls, nTimeoutMs, pError);
    }
    bool Send(const std::string& bytes) override { return m_socket.Send(bytes); }
    int Receive(char* pBuffer, int nSize, unsigned nMs) override { return m_socket.Receive(pBuffer, nSize, nMs); }
    void Close() override { m_socket.Close(); }
    void Wake() override { m_socket.Wake(); }
    void Cancel() override { m_socket.Cancel(); }

private:
    CTlsSocket m_socket;
};
