#include "database/send_rules.h"

#include "config/cp1250.h"
#include "common/base64.h"
#include "secrets/secret_text.h"

#include <algorithm>
#include <cctype>

namespace {

// InfluxDB 1.x: 400 {"error":"partial write: field type conflict: ... dropped=2"}.
bool PartialWriteDropped(const std::string& message, std::size_t& nDropped) {
    if (message.find("partial write") == std::string::npos)
        return false;
    const std::size_t at = message.rfind("dropped=");
    if (at == std::string::npos)
        return false;
    nDropped = 0;
    for (std::size_t i = at + 8; i < message.size() && std::isdigit(static_cast<unsigned char>(message[i])); ++i)
        nDropped = std::min<std::size_t>(nDropped * 10 + static_cast<std::size_t>(message[i] - '0'), 1u << 30);
    return true;
}

// The servers' words for a body they cannot read as the line protocol
// (InfluxDB 1.x and 2.x, VictoriaMetrics).
bool IsLineProtocolError(const std::string& message) {
    for (const char* words : {"unable to parse", "cannot parse", "field type conflict", "invalid field format",
                              "invalid number", "missing fields", "bad timestamp"})
        if (message.find(words) != std::string::npos)
            return true;
    return false;
}

}  // namespace

DbBatchVerdict JudgeAnswer(int nStatus, bool bNamedServer, const std::string& message, std::size_t nBatch) {
    DbBatchVerdict v;
    std::size_t nDropped = 0;
    if (nStatus == 204 || (nStatus >= 200 && nStatus < 300 && bNamedServer)) {
        v.answer = DbAnswer::Delivered;
        v.nStored = nBatch;
    } else if (nStatus >= 200 && nStatus < 300) {
        v.answer = DbAnswer::NotAServer;
    } else if (nStatus == 400 && PartialWriteDropped(message, nDropped)) {
        v.answer = DbAnswer::Partial;
        v.nRefused = std::min(nDropped, nBatch);
        v.nStored = nBatch - v.nRefused;
    } else if ((nStatus == 400 && IsLineProtocolError(message)) || nStatus == 422 || (nStatus == 413 && nBatch <= 1)) {
        v.answer = DbAnswer::Rejected;
        v.nRefused = nBatch;
    } else if (nStatus == 413) {
        v.answer = DbAnswer::Split;
    }
    return v;
}

unsigned CSendBackoff::NextDelayMs(DbAnswer answer) {
    if (answer == DbAnswer::Delivered || answer == DbAnswer::Partial) {
        m_nDelayMs = 0;
        return dbsend::kRequestGapMs;
    }
    if (answer == DbAnswer::Split)
        return dbsend::kRequestGapMs;
    m_nDelayMs = m_nDelayMs == 0 ? dbsend::kBackoffFirstMs : std::min(m_nDelayMs * 2, dbsend::kBackoffMaxMs);
    return m_nDelayMs;
}

namespace {

// The value of "key":"..." in a flat JSON object, escapes undone for the
// common cases; false when there is none.
bool JsonStringMember(const std::string& body, const std::string& key, std::string& out) {
    const std::string quoted = "\"" + key + "\"";
    std::size_t pos = body.find(quoted);
    if (pos == std::string::npos)
        return false;
    pos = body.find_first_not_of(" \t\r\n", pos + quoted.size());
    if (pos == std::string::npos || body[pos] != ':')
        return false;
    pos = body.find_first_not_of(" \t\r\n", pos + 1);
    if (pos == std::string::npos || body[pos] != '"')
        return false;
    out.clear();
    for (++pos; pos < body.size() && body[pos] != '"'; ++pos) {
        char ch = body[pos];
        if (ch == '\\' && pos + 1 < body.size()) {
            ch = body[++pos];
            if (ch == 'n' || ch == 't' || ch == 'r')
                ch = ' ';
        }
        out += ch;
    }
    return true;
}

}  // namespace

namespace {
bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char ch) {
        const unsigned char c = static_cast<unsigned char>(ch);
        return c < 0x20 || c == 0x7F;
    });
}
}  // namespace

std::string ServerMessage(const std::string& body) {
    std::string text;
    if (!JsonStringMember(body, "error", text) && !JsonStringMember(body, "message", text))
        text = body;
    // The servers answer in UTF-8; the dialog shows Windows-1250.
    text = Utf8ToCp1250(text);
    for (char& ch : text)
        if (ch == '\r' || ch == '\n' || ch == '\t')
            ch = ' ';
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    const std::size_t kMax = 200;
    if (text.size() > kMax)
        text = text.substr(0, kMax - 3) + "...";
    return text;
}

bool ParseServerUrl(const std::string& url, DbServerUrl& out) {
    if (HasControlCharacter(url))
        return false;
    std::string lower = url;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    std::size_t pos;
    if (lower.compare(0, 7, "http://") == 0) {
        out.bSecure = false;
        pos = 7;
    } else if (lower.compare(0, 8, "https://") == 0) {
        out.bSecure = true;
        pos = 8;
    } else {
        return false;
    }
    const std::size_t slash = url.find('/', pos);
    const std::string authority = url.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    std::string path = slash == std::string::npos ? std::string() : url.substr(slash);
    if (path.find_first_of("?# ") != std::string::npos || authority.find_first_of("@ ") != std::string::npos)
        return false;
    while (!path.empty() && path.back() == '/')
        path.pop_back();

    std::string host = authority;
    std::string port;
    const std::size_t close = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos && (close == std::string::npos || colon > close)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty() || (host.front() == '[') != (host.back() == ']'))
        return false;
    int nPort = out.bSecure ? 443 : 80;
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        nPort = std::stoi(port);
        if (nPort < 1 || nPort > 65535)
            return false;
    }
    out.strHost = host;
    out.nPort = nPort;
    out.strPath = path;
    return true;
}

namespace {

std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : text) {
        if (std::isalnum(ch) || ch == '-' || ch == '_' || ch == '.' || ch == '~') {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += kHex[ch >> 4];
            out += kHex[ch & 15];
        }
    }
    return out;
}

}  // namespace

std::string WritePath(const DbServerUrl& url, const std::string& database) {
    return url.strPath + "/write?db=" + PercentEncode(Cp1250ToUtf8(database)) + "&precision=ms";
}

std::string PingPath(const DbServerUrl& url) { return url.strPath + "/ping"; }

std::string AuthorizationValue(const std::string& user, const std::string& secret) {
    if (!user.empty())
        return "Basic " + Base64Encode(Cp1250ToUtf8(user) + ":" + SecretTextToUtf8(secret));
    if (!secret.empty())
        return "Token " + SecretTextToUtf8(secret);
    return std::string();
}

DbCredentialsFault CheckCredentials(const std::string& user, const std::string& secret) {
    if (HasControlCharacter(user))
        return DbCredentialsFault::UserControl;
    if (user.find(':') != std::string::npos)
        return DbCredentialsFault::UserColon;
    if (HasControlCharacter(SecretTextToUtf8(secret)))
        return DbCredentialsFault::SecretControl;
    return DbCredentialsFault::None;
}
