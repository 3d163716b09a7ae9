// The broker's byte stream on Windows: a Winsock TCP connection, and for
// mqtts:// TLS through Schannel. The broker's certificate is always checked
// (chain and name, against the system's trust); a CA certificate file given
// in the settings is trusted as one more root, for a broker with a CA of its
// own, as exactly that certificate. Every wait also watches a cancel event, so the owner's stop ends it
// at once.
#pragma once

#include "framework/handles.h"
#include "mqtt/mqtt_transport.h"

#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <string>

class CMqttSocket : public IMqttTransport {
public:
    // strCaFile: a PEM or DER certificate file, Windows-1250 path; empty: none.
    explicit CMqttSocket(const std::string& strCaFile = std::string());
    ~CMqttSocket() override;
    CMqttSocket(const CMqttSocket&) = delete;
    CMqttSocket& operator=(const CMqttSocket&) = delete;

    bool Open(const MqttUrl& url, unsigned nTimeoutMs, std::string* pError) override;
    bool Send(const std::string& bytes) override;
    int Receive(char* pBuffer, int nSize, unsigned nMs) override;
    void Close() override;
    void Wake() override { SetEvent(m_wake.Get()); }
    void Cancel() override { SetEvent(m_cancel.Get()); }

private:
    enum WaitResult { kReady, kTimeUp, kWoken, kCancelled };
    // Waits for the socket's next event (nothing else may be waited for
    // with bAlsoWake false).
    WaitResult WaitSocket(unsigned nMs, bool bAlsoWake);
    bool Connect(const MqttUrl& url, unsigned nTimeoutMs, std::string* pError);
    bool Handshake(const std::string& host, unsigned nTimeoutMs, std::string* pError);
    // One call of InitializeSecurityContext on what m_raw holds; its token
    // is sent and what it left is kept. SEC_E_INTERNAL_ERROR: the send failed.
    SECURITY_STATUS HandshakeStep(wchar_t* pTarget, bool bFirst);
    bool CheckCertificate(const std::string& host, std::string* pError);
    bool SendRaw(const char* p, std::size_t n);
    // Appends what the socket has to m_raw, waiting up to nMs: >0 bytes
    // came, 0 none, -1 the connection has ended.
    int ReceiveRaw(unsigned nMs, bool bAlsoWake);
    // Decrypts what m_raw holds into m_plain; false when the stream is bad.
    bool Decrypt();

    std::string m_strCaFile;
    bool m_bWinsock = false;
    CSocket m_socket;
    CHandle m_netEvent;
    CHandle m_wake;    // auto-reset: a Receive returns
    CHandle m_cancel;  // manual reset: every wait ends, for good
    bool m_bTls = false;
    CCredentials m_cred;
    CSecurityContext m_context;
    SecPkgContext_StreamSizes m_sizes = {};
    std::string m_raw;    // received and not yet decrypted (TLS)
    std::string m_plain;  // decrypted and not yet handed out
};
