#include "notify/http_poster_win.h"

#include "framework/text.h"

#include <cstdio>

namespace {

// The start of an answer's body is enough for the dialog.
const std::size_t kBodyShown = 1024;

// Windows-1250, for the dialog.
std::string NoAnswerText(DWORD nError) {
    const char* words = nullptr;
    switch (nError) {
    case ERROR_WINHTTP_TIMEOUT: words = "serwer nie odpowiedzia\xB3 w czasie"; break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: words = "nieznana nazwa serwera"; break;
    case ERROR_WINHTTP_CANNOT_CONNECT: words = "nie mo\xBFna po\xB3\xB9" "czy\xE6 si\xEA z serwerem"; break;
    case ERROR_WINHTTP_CONNECTION_ERROR: words = "po\xB3\xB9" "czenie zosta\xB3o przerwane"; break;
    case ERROR_WINHTTP_OPERATION_CANCELLED: words = "przerwano"; break;
    case ERROR_WINHTTP_SECURE_FAILURE: words = "b\xB3\xB9" "d po\xB3\xB9" "czenia szyfrowanego (certyfikat serwera)"; break;
    default: break;
    }
    char text[160];
    if (words != nullptr)
        std::snprintf(text, sizeof text, "%s (b\xB3\xB9" "d WinHTTP %lu)", words, static_cast<unsigned long>(nError));
    else
        std::snprintf(text, sizeof text, "b\xB3\xB9" "d WinHTTP %lu", static_cast<unsigned long>(nError));
    return text;
}

struct WebAddress {
    std::wstring host;
    unsigned nPort = 0;
    bool bSecure = false;
    std::wstring path;  // with the query
};

bool CrackAddress(const std::string& url, WebAddress* pOut) {
    std::wstring wide = afx::WidenUtf8(url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
        parts.dwHostNameLength == 0)
        return false;
    pOut->host.assign(parts.lpszHostName, parts.dwHostNameLength);
    pOut->nPort = parts.nPort;
    pOut->bSecure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    pOut->path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo != nullptr)
        pOut->path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (pOut->path.empty())
        pOut->path = L"/";
    return true;
}

}  // namespace

HttpAnswer CHttpPosterWin::Post(const std::string& strUrl, const std::string& strContentType,
                                const std::string& strBody, unsigned nTimeoutMs) {
    HttpAnswer answer;
    WebAddress address;
    if (!CrackAddress(strUrl, &address)) {
        answer.strError = "nieprawid\xB3owy adres (http:// lub https://)";
        return answer;
    }
    CHttpConnection connection(address.host, address.nPort, address.bSecure, nTimeoutMs);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bCancelled) {
            answer.strError = NoAnswerText(ERROR_WINHTTP_OPERATION_CANCELLED);
            return answer;
        }
        m_pActive = &connection;
    }
    const std::wstring headers = L"Content-Type: " + afx::WidenUtf8(strContentType) + L"\r\n";
    const HttpReply reply = connection.Send(L"POST", address.path, headers, strBody);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pActive = nullptr;
    }
    answer.nStatus = reply.nStatus;
    answer.strBody = reply.strBody.substr(0, kBodyShown);
    if (reply.nStatus == 0)
        answer.strError = NoAnswerText(reply.nError);
    return answer;
}

void CHttpPosterWin::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bCancelled = true;
    if (m_pActive != nullptr)
        m_pActive->Cancel();
}
