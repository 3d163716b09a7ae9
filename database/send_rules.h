// The sender's rules, apart from the thread and the network: what an answer
// means for the batch, how long to wait before the next request, and what a
// request looks like.
#pragma once

#include <cstddef>
#include <string>

namespace dbsend {
const std::size_t kMaxPointsPerRequest = 5000;
const unsigned kRequestGapMs = 1000;  // at most one request a second
const unsigned kBackoffFirstMs = 1000;
const unsigned kBackoffMaxMs = 60000;
const unsigned kHttpTimeoutMs = 10000;
}  // namespace dbsend

enum class DbAnswer {
    Delivered,  // 2xx: the points are stored
    Retry,      // no answer, 5xx or 429: the same points again later
    Rejected,   // any other status (wrong database, credentials, bad data): the batch is given up
};

// nHttpStatus 0: no answer at all (no connection, time-out).
DbAnswer ClassifyAnswer(int nHttpStatus);

// Delay before the next request. A delivered batch resets the back-off and
// leaves only the one-second gap; each failure (a retry or a rejection, so a
// wrong password does not hammer the server either) doubles it from 1 s up
// to 60 s.
class CSendBackoff {
public:
    unsigned NextDelayMs(DbAnswer answer);
    unsigned CurrentMs() const { return m_nDelayMs; }

private:
    unsigned m_nDelayMs = 0;  // 0: the last request succeeded
};

// The reason a server gives with a failed answer: the "error" member of
// InfluxDB's JSON body ({"error":"database not found: \"x\""}), else the body
// itself, on one line and at most 200 bytes.
std::string ServerMessage(const std::string& body);

// The parts of the configured server address. Only http and https, an
// optional port, an optional path prefix (a reverse proxy's), nothing else.
struct DbServerUrl {
    bool bSecure = false;
    std::string strHost;   // as written, an IPv6 address with its brackets
    int nPort = 0;
    std::string strPath;   // "" or "/prefix", without a trailing "/"
};
bool ParseServerUrl(const std::string& url, DbServerUrl& out);

// "<prefix>/write?db=<name>&precision=ms", the name percent-encoded.
std::string WritePath(const DbServerUrl& url, const std::string& database);
// "<prefix>/ping".
std::string PingPath(const DbServerUrl& url);

// The Authorization header's value: Basic with a user name, a token
// ("Token ...", InfluxDB 2.x) with a secret alone, none without either.
std::string AuthorizationValue(const std::string& user, const std::string& secret);
