#include "notify/http_poster_win.h"

#include "config/cp1250.h"
#include "framework/text.h"
#include "framework/worker_thread.h"

#include <cstdio>

namespace {

// The start of an answer's body is enough for the dialog.
const std::size_t kBodyShown = 1024;

// UTF-8, as a way's answers are (the words in Windows-1250, as the
// program's other texts).
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
    return Cp1250ToUtf8(text);
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

struct CHttpPosterWin::Run {
    Run(const WebAddress& address, unsigned nTimeoutMs)
        : connection(address.host, address.nPort, address.bSecure, nTimeoutMs) {}
    CHttpConnection connection;
    CHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HttpReply reply;
};

CHttpPosterWin::CHttpPosterWin() : m_cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

HttpAnswer CHttpPosterWin::Post(const std::string& strUrl, const std::string& strContentType,
                                const std::string& strBody, unsigned nTimeoutMs) {
    HttpAnswer answer;
    WebAddress address;
    if (!CrackAddress(strUrl, &address)) {
        answer.strError = Cp1250ToUtf8("nieprawid\xB3owy adres (http:// lub https://)");
        return answer;
    }
    auto run = std::make_shared<Run>(address, nTimeoutMs);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (WaitForSingleObject(m_cancel.Get(), 0) == WAIT_OBJECT_0) {
            answer.strError = NoAnswerText(ERROR_WINHTTP_OPERATION_CANCELLED);
            return answer;
        }
        m_active = run;
    }
    const std::wstring headers = L"Content-Type: " + afx::WidenUtf8(strContentType) + L"\r\n";
    CWorkerThread thread;
    const bool bStarted = run->done.IsValid() && thread.Start([run, address, headers, strBody] {
        try {
            run->reply = run->connection.Send(L"POST", address.path, headers, strBody, nullptr, kBodyShown);
        } catch (...) {  // out of memory: no exception leaves a thread
            run->reply.nError = ERROR_NOT_ENOUGH_MEMORY;
        }
        SetEvent(run->done.Get());
        return 0u;
    });
    // Each of WinHTTP's steps (name, connection, sending, answer) has the
    // time-out, the body its own short bound; a request past them all is
    // given up on.
    const HANDLE handles[2] = {m_cancel.Get(), run->done.Get()};
    const DWORD r = bStarted ? WaitForMultipleObjects(2, handles, FALSE, 4 * nTimeoutMs + 1000) : WAIT_FAILED;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active.reset();
    }
    if (r != WAIT_OBJECT_0 + 1) {
        run->connection.Cancel();
        thread.Release();
        // A status that came is the answer, its body unread: a 2xx is a
        // delivery, never to be posted again.
        answer.nStatus = run->connection.AnsweredStatus();
        if (answer.nStatus != 0)
            return answer;
        answer.strError = NoAnswerText(r == WAIT_TIMEOUT      ? ERROR_WINHTTP_TIMEOUT
                                       : r == WAIT_OBJECT_0  ? ERROR_WINHTTP_OPERATION_CANCELLED
                                                             : ERROR_NOT_ENOUGH_MEMORY);
        return answer;
    }
    thread.Join();
    const HttpReply& reply = run->reply;
    answer.nStatus = reply.nStatus;
    answer.strBody = reply.strBody.substr(0, kBodyShown);
    if (reply.nStatus == 0)
        answer.strError = NoAnswerText(reply.nError);
    return answer;
}

void CHttpPosterWin::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    SetEvent(m_cancel.Get());
    // Closes the request's handle, which ends it where WinHTTP allows.
    if (m_active)
        m_active->connection.Cancel();
}
