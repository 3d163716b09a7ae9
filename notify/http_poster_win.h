// The web hook's POST on Windows, through the framework's WinHTTP
// connection: no redirects, TLS 1.2 or 1.3 with the system's checks, the
// time-out the caller gives. The address is UTF-8 (http:// or https://), and
// so are the error texts.
#pragma once

#include "framework/handles.h"
#include "framework/http_request.h"
#include "notify/notify_ports.h"

#include <memory>
#include <mutex>

class CHttpPosterWin : public IHttpPoster {
public:
    CHttpPosterWin();

    // The request runs on a thread that owns what it touches: a Cancel
    // returns the caller at once even where WinHTTP keeps waiting (Wine
    // does, after its handle is closed), and the thread ends by itself.
    HttpAnswer Post(const std::string& strUrl, const std::string& strContentType, const std::string& strBody,
                    unsigned nTimeoutMs) override;
    // From another thread: the POST under way ends at once, and so does
    // every one to come.
    void Cancel() override;

private:
    struct Run;  // what one POST's thread owns

    CHandle m_cancel;                 // manual reset: for good
    std::mutex m_mutex;               // guards the one below
    std::shared_ptr<Run> m_active;    // the POST under way
};
