// One HTTP(S) request at a time to the database server, through WinHTTP:
// the system's TLS and certificate store, the system's proxy settings, a
// 10-second time-out. Used by the sender thread and the dialog's connection
// check, each with its own client.
#pragma once

#include "database/send_rules.h"

#include <windows.h>
#include <winhttp.h>

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
    explicit operator bool() const { return m_h != nullptr; }
    void Reset(HINTERNET h = nullptr) {
        if (m_h != nullptr)
            WinHttpCloseHandle(m_h);
        m_h = h;
    }

private:
    HINTERNET m_h = nullptr;
};

struct HttpAnswer {
    int nStatus = 0;         // 0: no answer; see nError
    DWORD nError = 0;        // WinHTTP's error code when there was no answer
    std::string strBody;     // at most 64 KB of it
    std::string strVersion;  // the server's X-Influxdb-Version header, if any
};

class CHttpClient {
public:
    CHttpClient(const DbServerUrl& url, const std::string& strAuthorization);

    // POST with a text body, or GET with none.
    HttpAnswer Post(const std::string& path, const std::string& body) { return Send(L"POST", path, body); }
    HttpAnswer Get(const std::string& path) { return Send(L"GET", path, std::string()); }

private:
    HttpAnswer Send(const wchar_t* verb, const std::string& path, const std::string& body);
    bool Connect(HttpAnswer& answer);

    DbServerUrl m_url;
    std::wstring m_strHeaders;
    CInternetHandle m_session;
    CInternetHandle m_connection;
};
