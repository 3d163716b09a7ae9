#include "framework/http_request.h"

#include <algorithm>

namespace {

const unsigned kBodyMs = 2000;

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

CHttpConnection::CHttpConnection(const std::wstring& host, unsigned nPort, bool bSecure, unsigned nTimeoutMs)
    : m_host(host), m_nPort(nPort), m_bSecure(bSecure), m_nTimeoutMs(nTimeoutMs) {
    // WinHTTP takes an IPv6 address without its brackets.
    if (m_host.size() > 2 && m_host.front() == L'[' && m_host.back() == L']')
        m_host = m_host.substr(1, m_host.size() - 2);
}

bool CHttpConnection::Connect(HttpReply& reply) {
    if (!m_session) {
        // The automatic proxy (Windows 8.1 on) follows the system's settings;
        // older systems and Wine take the configured default.
        m_session.Reset(WinHttpOpen(L"QM487", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0));
        if (!m_session)
            m_session.Reset(WinHttpOpen(L"QM487", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0));
        if (!m_session) {
            reply.nError = GetLastError();
            return false;
        }
        const int t = static_cast<int>(m_nTimeoutMs);
        WinHttpSetTimeouts(m_session.Get(), t, t, t, t);
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
        m_connection.Reset(WinHttpConnect(m_session.Get(), m_host.c_str(), static_cast<INTERNET_PORT>(m_nPort), 0));
        if (!m_connection) {
            reply.nError = GetLastError();
            return false;
        }
    }
    return true;
}

bool CHttpConnection::Release(HINTERNET hRequest) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_hRequest != hRequest)
        return false;
    m_hRequest = nullptr;
    return true;
}

void CHttpConnection::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bCancelled = true;
    if (m_hRequest != nullptr)
        WinHttpCloseHandle(m_hRequest);
    m_hRequest = nullptr;
}

void CHttpConnection::ReadBody(HINTERNET hRequest, std::size_t nMaxBody, HttpReply& reply) const {
    const ULONGLONG deadline = GetTickCount64() + std::min(m_nTimeoutMs, kBodyMs);
    char buffer[4096];
    for (ULONGLONG now = GetTickCount64(); reply.strBody.size() < nMaxBody && now < deadline; now = GetTickCount64()) {
        // Each wait for more ends by the deadline where WinHTTP takes a
        // time-out set between reads; elsewhere at the session's time-out.
        DWORD left = static_cast<DWORD>(deadline - now);
        WinHttpSetOption(hRequest, WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        DWORD available = 0;
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, nMaxBody - reply.strBody.size()));
        if (!WinHttpQueryDataAvailable(hRequest, &available) || available == 0 ||
            !WinHttpReadData(hRequest, buffer, std::min(available, want), &read) || read == 0)
            break;
        reply.strBody.append(buffer, read);
    }
}

HttpReply CHttpConnection::Send(const wchar_t* verb, const std::wstring& path, const std::wstring& headers,
                                const std::string& body, const wchar_t* pszWantedHeader, std::size_t nMaxBody) {
    HttpReply reply;
    m_nStatus = 0;
    if (!Connect(reply))
        return reply;
    CInternetHandle request(WinHttpOpenRequest(m_connection.Get(), verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, m_bSecure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        reply.nError = GetLastError();
        return reply;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bCancelled) {
            reply.nError = ERROR_WINHTTP_OPERATION_CANCELLED;
            return reply;
        }
        m_hRequest = request.Get();
    }
    const DWORD size = static_cast<DWORD>(body.size());
    LPVOID data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpSendRequest(request.Get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            static_cast<DWORD>(-1L), data, size, size, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr) ||
        !WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
        reply.nError = GetLastError();
    } else {
        reply.nStatus = static_cast<int>(status);
        m_nStatus = reply.nStatus;
        if (pszWantedHeader != nullptr)
            reply.strHeader = HeaderValue(request.Get(), pszWantedHeader);
        ReadBody(request.Get(), nMaxBody, reply);
    }
    // Closed here unless Cancel closed it already.
    if (!Release(request.Get())) {
        request.Detach();
        if (reply.nStatus == 0)
            reply.nError = ERROR_WINHTTP_OPERATION_CANCELLED;
    }
    return reply;
}
