// Whether a password or token may go out unencrypted: to this PC (loopback)
// always, to another machine only once the user has said yes. One rule for
// the database and the MQTT dialogs, on OK and on their connection checks.
#pragma once

#include <functional>
#include <string>
#include <vector>

// localhost, 127.x.x.x or ::1 (with or without brackets): a plain-text
// secret never leaves the machine.
bool IsLoopbackHost(const std::string& host);

// The question (Windows-1250) before a secret goes in clear: plainScheme is
// the address's ("http://", "mqtt://"), secureScheme the one to use instead;
// bCheck: asked by the connection check rather than by OK.
std::string PlainTextSecretQuestion(const char* plainScheme, const char* secureScheme, bool bCheck);

// One dialog's question before a secret goes in clear, and what the user
// said while the dialog is open, so that a yes on the check is not asked
// again on OK for the same host.
class CPlainTextConsent {
public:
    // ask shows the question and says whether the user agreed.
    CPlainTextConsent(const char* plainScheme, const char* secureScheme,
                      std::function<bool(const std::string& question)> ask);

    // True when the secret may go: none, encrypted, to loopback, or to a host
    // agreed to before; otherwise the user is asked, and a yes is kept.
    bool Allows(bool bEncrypted, const std::string& host, const std::string& secret, bool bCheck);

private:
    const char* m_pszPlainScheme;
    const char* m_pszSecureScheme;
    std::function<bool(const std::string&)> m_ask;
    std::vector<std::string> m_agreedHosts;  // lower case, without brackets
};
