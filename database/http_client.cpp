#include "database/http_client.h"

#include "framework/text.h"

CHttpClient::CHttpClient(const DbServerUrl& url, const std::string& strAuthorization)
    : m_connection(afx::Widen1250(url.strHost), static_cast<unsigned>(url.nPort), url.bSecure,
                   dbsend::kHttpTimeoutMs) {
    m_strHeaders = L"Content-Type: text/plain; charset=utf-8\r\n";
    if (!strAuthorization.empty()) {
        // Already the bytes for the wire (UTF-8 inside); one character each.
        m_strHeaders += L"Authorization: ";
        for (unsigned char ch : strAuthorization)
            m_strHeaders += static_cast<wchar_t>(ch);
        m_strHeaders += L"\r\n";
    }
}

DbHttpAnswer CHttpClient::Send(const wchar_t* verb, const std::string& path, const std::string& body) {
    const HttpReply reply = m_connection.Send(verb, afx::Widen1250(path), m_strHeaders, body, L"X-Influxdb-Version");
    DbHttpAnswer answer;
    answer.nStatus = reply.nStatus;
    answer.nError = reply.nError;
    answer.strBody = reply.strBody;
    answer.strVersion = reply.strHeader;
    return answer;
}
