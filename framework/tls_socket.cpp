#include "framework/tls_socket.h"

#include "framework/host_lookup.h"

#include <ws2tcpip.h>
#include <schannel.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// SECURITY_FLAG_IGNORE_UNKNOWN_CA of wininet.h, which this file needs no more of.
const DWORD kIgnoreUnknownCa = 0x00000100;

const DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                            ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

std::string Code(const char* what, long code) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(code));
    return text;
}

std::string SocketError(int code) {
    switch (code) {
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAETIMEDOUT:
        return "connection timed out";
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return "host unreachable";
    default:
        return Code("connection failed", code);
    }
}

// Frees what Schannel allocated for an output token.
struct CTokenBuffer {
    SecBuffer buffer = {0, SECBUFFER_TOKEN, nullptr};
    ~CTokenBuffer() {
        if (buffer.pvBuffer != nullptr)
            FreeContextBuffer(buffer.pvBuffer);
    }
};

// The first certificate of a PEM or DER file.
PCCERT_CONTEXT LoadCertificate(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.find("-----BEGIN") != std::string::npos) {
        DWORD n = 0;
        if (!CryptStringToBinaryA(bytes.c_str(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                  &n, nullptr, nullptr))
            return nullptr;
        std::string der(n, '\0');
        if (!CryptStringToBinaryA(bytes.c_str(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER,
                                  reinterpret_cast<BYTE*>(&der[0]), &n, nullptr, nullptr))
            return nullptr;
        bytes = der.substr(0, n);
    }
    return CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                        reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

}  // namespace

std::string CTlsSocket::CertificateError(long code) const {
    const std::string whose = "the " + m_strPeer + "'s certificate ";
    switch (code) {
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case TRUST_E_CERT_SIGNATURE:
        return whose + "is not trusted";
    case CERT_E_CN_NO_MATCH:
        return whose + "is for another name";
    case CERT_E_EXPIRED:
        return whose + "has expired";
    default:
        return Code((whose + "was refused").c_str(), code);
    }
}

CTlsSocket::CTlsSocket(const char* pszPeer, const std::wstring& caFile)
    : m_strPeer(pszPeer),
      m_caFile(caFile),
      m_netEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    WSADATA data;
    m_bWinsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CTlsSocket::~CTlsSocket() {
    Close();
    if (m_bWinsock)
        WSACleanup();
}

void CTlsSocket::Close() {
    m_context.Close();
    m_cred.Close();
    m_bTls = false;
    m_socket.Close();
    m_raw.clear();
    m_plain.clear();
}

CTlsSocket::WaitResult CTlsSocket::WaitSocket(unsigned nMs, bool bAlsoWake) {
    const HANDLE handles[3] = {m_cancel.Get(), m_netEvent.Get(), m_wake.Get()};
    const DWORD r = WaitForMultipleObjects(bAlsoWake ? 3 : 2, handles, FALSE, nMs);
    if (r == WAIT_OBJECT_0 + 1) {
        WSANETWORKEVENTS events;
        WSAEnumNetworkEvents(m_socket.Get(), m_netEvent.Get(), &events);  // resets the event
        return kReady;
    }
    if (r == WAIT_OBJECT_0 + 2)
        return kWoken;
    if (r == WAIT_TIMEOUT)
        return kTimeUp;
    return kCancelled;
}

bool CTlsSocket::Open(const std::string& host, unsigned nPort, bool bTls, unsigned nTimeoutMs, std::string* pError) {
    Close();
    m_strHost = host;
    if (!m_bWinsock) {
        *pError = "Winsock is not available";
        return false;
    }
    if (!Connect(host, nPort, nTimeoutMs, pError))
        return false;
    if (bTls && !Handshake(nTimeoutMs, pError)) {
        Close();
        return false;
    }
    return true;
}

bool CTlsSocket::StartTls(unsigned nTimeoutMs, std::string* pError) {
    if (!m_socket.IsValid() || m_bTls) {
        *pError = m_bTls ? "TLS is already on" : "not connected";
        return false;
    }
    // Bytes the server sent before its TLS began would be taken as part of
    // the handshake: injected plain text must never count as protected.
    if (!m_raw.empty()) {
        *pError = "the " + m_strPeer + " sent more before TLS";
        Close();
        return false;
    }
    if (!Handshake(nTimeoutMs, pError)) {
        Close();
        return false;
    }
    return true;
}

bool CTlsSocket::Connect(const std::string& host, unsigned nPort, unsigned nTimeoutMs, std::string* pError) {
    const ULONGLONG deadline = GetTickCount64() + nTimeoutMs;
    std::vector<HostAddress> addresses;
    if (!LookUpHost(host, nPort, m_cancel.Get(), nTimeoutMs, &addresses, pError))
        return false;
    std::string lastError = "connection refused";
    for (const HostAddress& a : addresses) {
        m_socket.Attach(socket(a.nFamily, SOCK_STREAM, IPPROTO_TCP));
        if (!m_socket.IsValid())
            continue;
        ResetEvent(m_netEvent.Get());
        // Also makes the socket non-blocking.
        WSAEventSelect(m_socket.Get(), m_netEvent.Get(), FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
        const BOOL noDelay = TRUE;
        setsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        int error = 0;
        if (connect(m_socket.Get(), reinterpret_cast<const sockaddr*>(a.sockaddr.data()),
                    static_cast<int>(a.sockaddr.size())) != 0) {
            error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                error = WSAETIMEDOUT;
                for (;;) {
                    const ULONGLONG now = GetTickCount64();
                    if (now >= deadline)
                        break;
                    const DWORD r =
                        WaitForMultipleObjects(2, std::vector<HANDLE>{m_cancel.Get(), m_netEvent.Get()}.data(), FALSE,
                                               static_cast<DWORD>(deadline - now));
                    if (r != WAIT_OBJECT_0 + 1) {
                        if (r == WAIT_OBJECT_0) {
                            Close();
                            *pError = "stopped";
                            return false;
                        }
                        continue;
                    }
                    WSANETWORKEVENTS events;
                    WSAEnumNetworkEvents(m_socket.Get(), m_netEvent.Get(), &events);
                    if (events.lNetworkEvents & FD_CONNECT) {
                        error = events.iErrorCode[FD_CONNECT_BIT];
                        break;
                    }
                }
            }
        }
        if (error == 0)
            return true;
        lastError = SocketError(error);
        Close();
    }
    *pError = lastError;
    return false;
}

bool CTlsSocket::SendRaw(const char* p, std::size_t n) {
    while (n > 0) {
        const int sent = send(m_socket.Get(), p, static_cast<int>(n), 0);
        if (sent > 0) {
            p += sent;
            n -= static_cast<std::size_t>(sent);
            continue;
        }
        // A full buffer waits for room, unless the owner is stopping.
        if (WSAGetLastError() != WSAEWOULDBLOCK || WaitForSingleObject(m_cancel.Get(), 0) == WAIT_OBJECT_0)
            return false;
        if (WaitSocket(10000, false) != kReady)
            return false;
    }
    return true;
}

int CTlsSocket::ReceiveRaw(unsigned nMs, bool bAlsoWake) {
    char buffer[4096];
    for (;;) {
        const int n = recv(m_socket.Get(), buffer, sizeof buffer, 0);
        if (n > 0) {
            m_raw.append(buffer, static_cast<std::size_t>(n));
            return n;
        }
        if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            return -1;
        switch (WaitSocket(nMs, bAlsoWake)) {
        case kReady:
            continue;
        case kCancelled:
            return -1;
        default:
            return 0;
        }
    }
}

bool CTlsSocket::Send(const std::string& bytes) {
    if (!m_socket.IsValid())
        return false;
    if (!m_bTls)
        return SendRaw(bytes.data(), bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min<std::size_t>(bytes.size() - at, m_sizes.cbMaximumMessage);
        std::string record(m_sizes.cbHeader + n + m_sizes.cbTrailer, '\0');
        bytes.copy(&record[m_sizes.cbHeader], n, at);
        SecBuffer parts[4] = {
            {m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, &record[0]},
            {static_cast<unsigned long>(n), SECBUFFER_DATA, &record[m_sizes.cbHeader]},
            {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, &record[m_sizes.cbHeader + n]},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, parts};
        if (EncryptMessage(m_context.Address(), 0, &desc, 0) != SEC_E_OK)
            return false;
        if (!SendRaw(record.data(), parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer))
            return false;
        at += n;
    }
    return true;
}

int CTlsSocket::Receive(char* pBuffer, int nSize, unsigned nMs) {
    if (!m_socket.IsValid())
        return -1;
    for (;;) {
        if (m_bTls && !Decrypt())
            return -1;
        std::string& source = m_bTls ? m_plain : m_raw;
        if (!source.empty()) {
            const int n = std::min(nSize, static_cast<int>(source.size()));
            source.copy(pBuffer, static_cast<std::size_t>(n));
            source.erase(0, static_cast<std::size_t>(n));
            return n;
        }
        const int n = ReceiveRaw(nMs, true);
        if (n <= 0)
            return n;
    }
}

bool CTlsSocket::Decrypt() {
    while (!m_raw.empty()) {
        SecBuffer parts[4] = {{static_cast<unsigned long>(m_raw.size()), SECBUFFER_DATA, &m_raw[0]},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = DecryptMessage(m_context.Address(), &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return true;
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
            return false;  // closed by the server (SEC_I_CONTEXT_EXPIRED) or damaged
        std::string extra;
        for (const SecBuffer& part : parts) {
            if (part.BufferType == SECBUFFER_DATA)
                m_plain.append(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
            else if (part.BufferType == SECBUFFER_EXTRA)
                extra.assign(m_raw, m_raw.size() - part.cbBuffer, part.cbBuffer);
        }
        m_raw = extra;
        // TLS 1.3 messages after the handshake (new session tickets) go
        // back to the context; the data after them stays.
        if (status == SEC_I_RENEGOTIATE) {
            const SECURITY_STATUS step = HandshakeStep(nullptr, false);
            if (step != SEC_E_OK && step != SEC_I_CONTINUE_NEEDED)
                return false;
        }
    }
    return true;
}

SECURITY_STATUS CTlsSocket::HandshakeStep(wchar_t* pTarget, bool bFirst) {
    SecBuffer in[2] = {{static_cast<unsigned long>(m_raw.size()), SECBUFFER_TOKEN, m_raw.empty() ? nullptr : &m_raw[0]},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
    CTokenBuffer out;
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &out.buffer};
    ULONG attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        m_cred.Address(), bFirst ? nullptr : m_context.Address(), pTarget, kContextFlags, 0, 0,
        bFirst ? nullptr : &inDesc, 0, bFirst ? m_context.Receive() : nullptr, &outDesc, &attributes, nullptr);
    // A first call that failed made no context to delete.
    if (bFirst && status != SEC_I_CONTINUE_NEEDED && status != SEC_E_OK)
        m_context.Detach();
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
        return status;  // SEC_E_INCOMPLETE_MESSAGE keeps m_raw for more to come
    if (out.buffer.cbBuffer > 0 && !SendRaw(static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer))
        return SEC_E_INTERNAL_ERROR;
    m_raw = in[1].BufferType == SECBUFFER_EXTRA ? m_raw.substr(m_raw.size() - in[1].cbBuffer) : std::string();
    return status;
}

bool CTlsSocket::Handshake(unsigned nTimeoutMs, std::string* pError) {
    SCHANNEL_CRED cred = {};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // The certificate is checked below, by CheckCertificate, so that an
    // extra CA may count; nothing is ever accepted unchecked.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    if (AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
                                  nullptr, nullptr, m_cred.Receive(), &expiry) != SEC_E_OK) {
        m_cred.Detach();  // a failed call made no credentials to free
        *pError = "TLS is not available";
        return false;
    }
    std::wstring target(m_strHost.begin(), m_strHost.end());
    const ULONGLONG deadline = GetTickCount64() + nTimeoutMs;
    SECURITY_STATUS status = HandshakeStep(&target[0], true);
    while (status != SEC_E_OK) {
        if (status != SEC_E_INCOMPLETE_MESSAGE && status != SEC_I_CONTINUE_NEEDED) {
            *pError = status == SEC_E_INTERNAL_ERROR ? "the connection broke" : Code("TLS handshake failed", status);
            return false;
        }
        // The server's next handshake message, or the rest of one.
        if (status == SEC_E_INCOMPLETE_MESSAGE || m_raw.empty()) {
            const ULONGLONG now = GetTickCount64();
            const int n = now >= deadline ? 0 : ReceiveRaw(static_cast<unsigned>(deadline - now), false);
            if (n <= 0) {
                *pError = n == 0 ? "no answer from the " + m_strPeer : "the " + m_strPeer + " closed the connection";
                return false;
            }
        }
        status = HandshakeStep(&target[0], false);
    }
    if (QueryContextAttributesW(m_context.Address(), SECPKG_ATTR_STREAM_SIZES, &m_sizes) != SEC_E_OK) {
        *pError = "TLS handshake failed";
        return false;
    }
    // TLS 1.2 at least, as the web hook asks of WinHTTP. The version agreed
    // is judged rather than the offer narrowed: SCHANNEL_CRED cannot name
    // TLS 1.3 on every Windows, and nothing of ours has gone over it yet.
    SecPkgContext_ConnectionInfo info = {};
    if (QueryContextAttributesW(m_context.Address(), SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK ||
        (info.dwProtocol & (SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1)) != 0) {
        *pError = "the " + m_strPeer + " offers no TLS 1.2 or newer";
        return false;
    }
    // Records that came behind the last handshake message stay in m_raw
    // for Receive.
    m_bTls = true;
    return CheckCertificate(pError);
}

bool CTlsSocket::CheckCertificate(std::string* pError) {
    CCertificate server;
    if (QueryContextAttributesW(m_context.Address(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, server.Receive()) != SEC_E_OK ||
        !server.IsValid()) {
        *pError = "the " + m_strPeer + " sent no certificate";
        return false;
    }
    CCertificate ca;
    const CCertStore stores(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
    CCertStore extra;
    if (stores.Get() != nullptr && server.Get()->hCertStore != nullptr)
        CertAddStoreToCollection(stores.Get(), server.Get()->hCertStore, 0, 0);
    if (!m_caFile.empty()) {
        ca.Attach(LoadCertificate(m_caFile));
        if (!ca.IsValid()) {
            *pError = "the CA certificate file cannot be read";
            return false;
        }
        extra.Attach(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
        if (extra.Get() != nullptr && stores.Get() != nullptr) {
            CertAddCertificateContextToStore(extra.Get(), ca.Get(), CERT_STORE_ADD_ALWAYS, nullptr);
            CertAddStoreToCollection(stores.Get(), extra.Get(), 0, 0);
        }
    }
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    LPSTR usage = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = &usage;
    // Only what the server sent and the stores hold: an issuer fetched from an
    // address the certificate names would make this thread, which a stop or
    // the dialog's close waits for, wait on a server of the peer's choosing.
    CCertChain chain;
    if (!CertGetCertificateChain(nullptr, server.Get(), nullptr, stores.Get(), &para, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL,
                                 nullptr, chain.Receive())) {
        *pError = "the " + m_strPeer + "'s certificate cannot be checked";
        return false;
    }
    // A chain that stops short of a root (no issuer found) or holds a
    // signature that is not its issuer's is refused here as well: Wine's
    // policy check lets a chain ending at an unknown issuer pass.
    const DWORD trust = chain.Get()->TrustStatus.dwErrorStatus;
    if ((trust & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_NOT_SIGNATURE_VALID)) != 0) {
        *pError = CertificateError(CERT_E_CHAINING);
        return false;
    }
    // The given CA counts as a root only where it is this chain's root, byte
    // for byte: its name and serial number are public, anyone can make a CA
    // that has them (the signatures up to it were checked above).
    bool bOwnRoot = false;
    if (ca.Get() != nullptr && chain.Get()->cChain > 0) {
        const CERT_SIMPLE_CHAIN* simple = chain.Get()->rgpChain[0];
        if (simple->cElement > 0) {
            const CERT_CONTEXT* root = simple->rgpElement[simple->cElement - 1]->pCertContext;
            bOwnRoot = root->cbCertEncoded == ca.Get()->cbCertEncoded &&
                       std::memcmp(root->pbCertEncoded, ca.Get()->pbCertEncoded, root->cbCertEncoded) == 0;
        }
    }
    std::wstring name(m_strHost.begin(), m_strHost.end());
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = bOwnRoot ? kIgnoreUnknownCa : 0;
    ssl.pwszServerName = &name[0];
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.dwFlags = bOwnRoot ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &status)) {
        *pError = "the " + m_strPeer + "'s certificate cannot be checked";
        return false;
    }
    if (status.dwError != 0) {
        *pError = CertificateError(static_cast<long>(status.dwError));
        return false;
    }
    return true;
}
