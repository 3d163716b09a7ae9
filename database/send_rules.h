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
    Delivered,   // 204, or another 2xx from a server that says it is InfluxDB: stored
    Partial,     // InfluxDB 1.x's 400 "partial write ... dropped=N": the rest are stored
    Retry,       // no answer, 5xx, 429, and whatever a fix of the settings or the server
                 // can cure (401/403/404/408, 3xx, ...): the same points again later
    NotAServer,  // a 2xx other than 204 from something that does not say it is a
                 // time-series server (a captive portal): nothing stored, kept
    Split,       // 413: too large; the same points again in halves
    Rejected,    // 400 with a line-protocol error, 422: this data will never be taken
};

// What the answer to a batch of nBatch points means for it. A 413 for a
// single point is Rejected: there is nothing left to halve.
struct DbBatchVerdict {
    DbAnswer answer = DbAnswer::Retry;
    std::size_t nStored = 0;   // points the server keeps
    std::size_t nRefused = 0;  // points it will never take
    // The batch leaves the queue (stored or refused); otherwise it stays.
    bool Releases() const {
        return answer == DbAnswer::Delivered || answer == DbAnswer::Partial || answer == DbAnswer::Rejected;
    }
    bool Fails() const { return answer != DbAnswer::Delivered && answer != DbAnswer::Split; }
};
// nHttpStatus 0: no answer at all (no connection, time-out). bNamedServer:
// the answer carried X-Influxdb-Version. message: ServerMessage of the body.
DbBatchVerdict JudgeAnswer(int nHttpStatus, bool bNamedServer, const std::string& message, std::size_t nBatch);

// Delay before the next request. A delivered batch resets the back-off and
// leaves only the one-second gap, as does a split; each failure doubles it
// from 1 s up to 60 s, so a wrong password does not hammer the server.
class CSendBackoff {
public:
    unsigned NextDelayMs(DbAnswer answer);
    unsigned CurrentMs() const { return m_nDelayMs; }

private:
    unsigned m_nDelayMs = 0;  // 0: the last request succeeded
};

// The reason a server gives with a failed answer: the "error" member of
// InfluxDB 1.x's JSON body ({"error":"database not found: \"x\""}) or the
// "message" of 2.x's, else the body itself, on one line and at most 200 bytes,
// in Windows-1250 as the dialog shows it.
std::string ServerMessage(const std::string& body);

// The parts of the configured server address. Only http and https, an
// optional port, an optional path prefix (a reverse proxy's), nothing else;
// no control characters.
struct DbServerUrl {
    bool bSecure = false;
    std::string strHost;  // as written, an IPv6 address with its brackets
    int nPort = 0;
    std::string strPath;  // "" or "/prefix", without a trailing "/"
};
bool ParseServerUrl(const std::string& url, DbServerUrl& out);

// "<prefix>/write?db=<name>&precision=ms", the name (Windows-1250)
// percent-encoded as UTF-8.
std::string WritePath(const DbServerUrl& url, const std::string& database);
// "<prefix>/ping".
std::string PingPath(const DbServerUrl& url);

// The Authorization header's value: Basic with a user name, a token
// ("Token ...", InfluxDB 2.x) with a secret alone, none without either.
// The user name is given in Windows-1250, the secret in its held form
// (secrets/secret_text.h); both are sent as UTF-8.
std::string AuthorizationValue(const std::string& user, const std::string& secret);

enum class DbCredentialsFault { None, UserControl, UserColon, SecretControl };
// Basic authentication cannot carry a ':' in the user name, and no header
// may carry a control character.
DbCredentialsFault CheckCredentials(const std::string& user, const std::string& secret);
