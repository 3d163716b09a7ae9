// One HTTP(S) request at a time to the database server, through the
// framework's WinHTTP connection (framework/http_request.h) with a 10-second
// time-out. Used by the sender thread and the dialog's connection check,
// each with its own client.
#pragma once

#include "database/send_rules.h"
#include "framework/http_request.h"

#include <string>

struct DbHttpAnswer {
    int nStatus = 0;         // 0: no answer; see nError
    DWORD nError = 0;        // WinHTTP's error code when there was no answer
    std::string strBody;     // at most 64 KB of it
    std::string strVersion;  // the server's X-Influxdb-Version header, if any
};

class CHttpClient {
public:
    CHttpClient(const DbServerUrl& url, const std::string& strAuthorization);

    // POST with a text body, or GET with none.
    DbHttpAnswer Post(const std::string& path, const std::string& body) { return Send(L"POST", path, body); }
    DbHttpAnswer Get(const std::string& path) { return Send(L"GET", path, std::string()); }

private:
    DbHttpAnswer Send(const wchar_t* verb, const std::string& path, const std::string& body);

    std::wstring m_strHeaders;
    CHttpConnection m_connection;
};
