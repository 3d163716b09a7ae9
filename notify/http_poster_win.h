// The web hook's POST on Windows, through the framework's WinHTTP
// connection: no redirects, TLS 1.2 or 1.3 with the system's checks, the
// time-out the caller gives. The address is UTF-8 (http:// or https://).
#pragma once

#include "framework/http_request.h"
#include "notify/notify_ports.h"

#include <mutex>

class CHttpPosterWin : public IHttpPoster {
public:
    HttpAnswer Post(const std::string& strUrl, const std::string& strContentType, const std::string& strBody,
                    unsigned nTimeoutMs) override;
    // From another thread: the POST under way ends at once, and so does
    // every one to come.
    void Cancel() override;

private:
    std::mutex m_mutex;                       // guards the two below
    CHttpConnection* m_pActive = nullptr;     // the POST under way's, on its caller's stack
    bool m_bCancelled = false;
};
