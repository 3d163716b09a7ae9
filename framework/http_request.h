// HTTP(S) requests through WinHTTP to one server: the system's TLS (1.2 or
// 1.3 only) and certificate checks, the system's proxy settings, no
// redirect followed (a 3xx is an answer like any other: a redirect would
// take what is sent to another host), bounded time-outs. The database feed
// and the web hook of the notifications use it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

// Owns one WinHTTP handle.
class CInternetHandle {
public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET h) : m_h(h) {}
    ~CInternetHandle() { Reset(); }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET Get() const { return m_h; }
    HINTERNET Detach() {
        HINTERNET h = m_h;
        m_h = nullptr;
        return h;
    }
    explicit operator bool() const { return m_h != nullptr; }
    void Reset(HINTERNET h = nullptr) {
        if (m_h != nullptr)
            WinHttpCloseHandle(m_h);
        m_h = h;
    }

private:
    HINTERNET m_h = nullptr;
};

struct HttpReply {
    int nStatus = 0;          // 0: no answer; see nError
    DWORD nError = 0;         // WinHTTP's error code when there was no answer
    std::string strBody;      // its start: what came within the body's bound
    std::string strHeader;    // the value of the header asked for, if any (ASCII)
};

class CHttpConnection {
public:
    CHttpConnection(const std::wstring& host, unsigned nPort, bool bSecure, unsigned nTimeoutMs);

    // One request; headers: "Name: value\r\n" lines. pszWantedHeader: an
    // answer header whose value goes to strHeader (may be null). A status
    // that came is the answer: of its body, only what comes within 2 s (the
    // time-out if shorter), up to nMaxBody bytes, is read, so a body sent
    // slowly or never ended cannot turn an answer into none.
    HttpReply Send(const wchar_t* verb, const std::wstring& path, const std::wstring& headers, const std::string& body,
                   const wchar_t* pszWantedHeader = nullptr, std::size_t nMaxBody = 65536);
    // From any thread: the status of the request under way once it came, 0
    // before (for a caller that stops waiting while its body is read).
    int AnsweredStatus() const { return m_nStatus.load(); }
    // From another thread: the request under way ends at once (its handle
    // is closed, which WinHTTP answers by failing the call), and every one
    // to come fails.
    void Cancel();

private:
    bool Connect(HttpReply& reply);
    // Takes the request's handle back from Cancel's reach; false when
    // Cancel already closed it.
    bool Release(HINTERNET hRequest);
    void ReadBody(HINTERNET hRequest, std::size_t nMaxBody, HttpReply& reply) const;

    std::wstring m_host;
    unsigned m_nPort;
    bool m_bSecure;
    unsigned m_nTimeoutMs;
    CInternetHandle m_session;
    CInternetHandle m_connection;
    std::mutex m_mutex;  // guards the two below, which Cancel touches
    HINTERNET m_hRequest = nullptr;
    bool m_bCancelled = false;
    std::atomic<int> m_nStatus{0};
};
