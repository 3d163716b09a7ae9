// A byte stream to a server on Windows: a Winsock TCP connection, with TLS
// (1.2 or newer) through Schannel at once or later on the same connection
// (STARTTLS). The server's certificate is always checked (chain and name,
// against the system's trust); a CA certificate file the user gave is
// trusted as one more root, for a server with a CA of its own, as exactly
// that certificate. Every wait also watches a cancel event, so the owner's stop
// ends it at once. MQTT and the mail notifications both use it.
#pragma once

#include "framework/handles.h"

#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <string>

class CTlsSocket {
public:
    // pszPeer names the server in the errors ("broker", "server");
    // caFile: a PEM or DER certificate file; empty: none.
    CTlsSocket(const char* pszPeer, const std::wstring& caFile);
    ~CTlsSocket();
    CTlsSocket(const CTlsSocket&) = delete;
    CTlsSocket& operator=(const CTlsSocket&) = delete;

    // For the connections to come (from the owning thread, not during one).
    void SetCaFile(const std::wstring& caFile) { m_caFile = caFile; }

    // Connects, and makes TLS when bTls, within nTimeoutMs; false with
    // *pError saying why.
    bool Open(const std::string& host, unsigned nPort, bool bTls, unsigned nTimeoutMs, std::string* pError);
    // TLS on the open plain connection, checked against the host Open had.
    bool StartTls(unsigned nTimeoutMs, std::string* pError);
    // All the bytes, or false: the connection is no good. A Send that would
    // have to wait fails once cancelled; one that fits in the socket's
    // buffer still goes, so a goodbye can be said.
    bool Send(const std::string& bytes);
    // Waits up to nMs for bytes: their count, 0 when none came (time up, or
    // woken), -1 when the connection has ended (or is cancelled).
    int Receive(char* pBuffer, int nSize, unsigned nMs);
    void Close();
    // From another thread: a Receive under way returns at once.
    void Wake() { SetEvent(m_wake.Get()); }
    // From another thread: every wait, under way or to come, ends at once.
    void Cancel() { SetEvent(m_cancel.Get()); }

private:
    enum WaitResult { kReady, kTimeUp, kWoken, kCancelled };
    // Waits for the socket's next event (nothing else may be waited for
    // with bAlsoWake false).
    WaitResult WaitSocket(unsigned nMs, bool bAlsoWake);
    bool Connect(const std::string& host, unsigned nPort, unsigned nTimeoutMs, std::string* pError);
    bool Handshake(unsigned nTimeoutMs, std::string* pError);
    // One call of InitializeSecurityContext on what m_raw holds; its token
    // is sent and what it left is kept. SEC_E_INTERNAL_ERROR: the send failed.
    SECURITY_STATUS HandshakeStep(wchar_t* pTarget, bool bFirst);
    bool CheckCertificate(std::string* pError);
    std::string CertificateError(long code) const;
    bool SendRaw(const char* p, std::size_t n);
    // Appends what the socket has to m_raw, waiting up to nMs: >0 bytes
    // came, 0 none, -1 the connection has ended.
    int ReceiveRaw(unsigned nMs, bool bAlsoWake);
    // Decrypts what m_raw holds into m_plain; false when the stream is bad.
    bool Decrypt();

    std::string m_strPeer;
    std::wstring m_caFile;
    std::string m_strHost;
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
