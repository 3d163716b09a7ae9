#include "database/http_client.h"

#include "framework/text.h"

namespace {

std::string HeaderValue(HINTERNET hRequest, const wchar_t* name) {
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (!WinHttpQueryHeaders(hRequest, WINHTTP_QUERY_CUSTOM, name, buffer, &size, WINHTTP_NO_HEADER_INDEX))
        return std::string();
    std::string out;
    for (const wchar_t* p = buffer; *p; ++p)
        out += *p < 128 ? static_cast<char>(*p) : '?';
    return out;
}

}  // namespace

CHttpClient::CHttpClient(const DbServerUrl& url, const std::string& strAuthorization) : m_url(url) {
    m_strHeaders = L"Content-Type: text/plain; charset=utf-8\r\n";
    if (!strAuthorization.empty()) {
        // Already the bytes for the wire (UTF-8 inside); one character each.
        m_strHeaders += L"Authorization: ";
        for (unsigned char ch : strAuthorization)
            m_strHeaders += static_cast<wchar_t>(ch);
        m_strHeaders += L"\r\n";
    }
}

bool CHttpClient::Connect(HttpAnswer& answer) {
    if (!m_session) {
        // The automatic proxy (Windows 8.1 on) follows the system's settings;
        // older systems and Wine take the configured default.
        m_session.Reset(WinHttpOpen(L"QM487", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0));
        if (!m_session)
            m_session.Reset(WinHttpOpen(L"QM487", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0));
        if (!m_session) {
            answer.nError = GetLastError();
            return false;
        }
        const int t = static_cast<int>(dbsend::kHttpTimeoutMs);
        WinHttpSetTimeouts(m_session.Get(), t, t, t, t);
        // A redirect would take the credentials to another host: its 3xx is
        // an answer like any other, and the points wait.
        DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(m_session.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
        // TLS 1.2 and 1.3 whatever the system's defaults; 1.2 alone where
        // the system does not know 1.3 (Windows 7 to 10).
        DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
        if (!WinHttpSetOption(m_session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
            protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
            WinHttpSetOption(m_session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
        }
    }
    if (!m_connection) {
        std::string host = m_url.strHost;
        if (host.size() > 2 && host.front() == '[')
            host = host.substr(1, host.size() - 2);
        m_connection.Reset(
            WinHttpConnect(m_session.Get(), afx::Widen1250(host).c_str(), static_cast<INTERNET_PORT>(m_url.nPort), 0));
        if (!m_connection) {
            answer.nError = GetLastError();
            return false;
        }
    }
    return true;
}

HttpAnswer CHttpClient::Send(const wchar_t* verb, const std::string& path, const std::string& body) {
    HttpAnswer answer;
    if (!Connect(answer))
        return answer;
    CInternetHandle request(WinHttpOpenRequest(m_connection.Get(), verb, afx::Widen1250(path).c_str(), nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               m_url.bSecure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        answer.nError = GetLastError();
        return answer;
    }
    const DWORD size = static_cast<DWORD>(body.size());
    LPVOID data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    if (!WinHttpSendRequest(request.Get(), m_strHeaders.c_str(), static_cast<DWORD>(-1L), data, size, size, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr)) {
        answer.nError = GetLastError();
        return answer;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
        answer.nError = GetLastError();
        return answer;
    }
    answer.nStatus = static_cast<int>(status);
    answer.strVersion = HeaderValue(request.Get(), L"X-Influxdb-Version");
    const std::size_t kMaxBody = 65536;
    char buffer[4096];
    DWORD read = 0;
    while (answer.strBody.size() < kMaxBody && WinHttpReadData(request.Get(), buffer, sizeof buffer, &read) &&
           read > 0)
        answer.strBody.append(buffer, read);
    return answer;
}
