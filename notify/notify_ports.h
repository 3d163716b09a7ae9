// What the notifier's portable code needs from the system, as small
// interfaces: a byte stream to a mail server (TCP, TLS from the start or
// after STARTTLS), an HTTP POST for the web hook and the start of a program.
// Windows implements them (Winsock and Schannel, WinHTTP, CreateProcess);
// tests script them.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A connection to a mail server. Every wait also ends on Cancel (from any
// thread), at once and for good.
class INotifyStream {
public:
    virtual ~INotifyStream() = default;
    // Connects to host:port, with TLS at once when bTls (smtps://). The
    // server's certificate is always checked against the system's trust
    // and the host name; strCaFile (UTF-8 path, may be empty) is trusted
    // as exactly that certificate.
    virtual bool Open(const std::string& strHost, int nPort, bool bTls, const std::string& strCaFile,
                      unsigned nTimeoutMs, std::string* pError) = 0;
    // TLS on the open connection (after the server's 220 to STARTTLS),
    // with the same checks.
    virtual bool StartTls(unsigned nTimeoutMs, std::string* pError) = 0;
    virtual bool Send(const std::string& bytes) = 0;
    // Up to nSize bytes, waiting up to nMs: >0 bytes came, 0 the time is
    // up, -1 the connection ended (or was cancelled).
    virtual int Receive(char* pBuffer, int nSize, unsigned nMs) = 0;
    virtual void Close() = 0;
    virtual void Cancel() = 0;
};

struct HttpAnswer {
    int nStatus = 0;          // the HTTP status; 0: no answer (strError says why)
    std::string strBody;      // the start of the answer's body, for the dialog
    std::string strError;     // Polish, UTF-8, for the dialog and the log; empty when answered
};

// One POST, no redirects followed, TLS 1.2 or 1.3 with the system's checks.
class IHttpPoster {
public:
    virtual ~IHttpPoster() = default;
    virtual HttpAnswer Post(const std::string& strUrl, const std::string& strContentType, const std::string& strBody,
                            unsigned nTimeoutMs) = 0;
    virtual void Cancel() = 0;
};

// Starts a program by its full path with these arguments (UTF-8; *pError
// says why not, in Polish, UTF-8, as every answer), each one
// argument exactly as given: never through a shell. Not waited for; one
// still running after nRunLimitMs is ended, and that is noted. onEnded
// (may be empty) is called once, on any thread, when a program started
// has ended or was ended; never when it was not started.
class IProgramStarter {
public:
    virtual ~IProgramStarter() = default;
    virtual bool Start(const std::string& strPath, const std::vector<std::string>& args, unsigned nRunLimitMs,
                       std::string* pError, std::function<void()> onEnded = nullptr) = 0;
};
