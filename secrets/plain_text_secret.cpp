#include "secrets/plain_text_secret.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

std::string HostKey(const std::string& host) {
    std::string key =
        host.size() >= 2 && host.front() == '[' && host.back() == ']' ? host.substr(1, host.size() - 2) : host;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return key;
}

// 127.a.b.c with each part a number of 0 to 255, nothing else.
bool IsLoopbackIpv4(const std::string& host) {
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const std::size_t dot = std::min(host.find('.', at), host.size());
        const std::string part = host.substr(at, dot - at);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(part) > 255 || (parts == 0 && part != "127"))
            return false;
        ++parts;
        at = dot + 1;
    }
    return parts == 4;
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
    const std::string key = HostKey(host);
    return key == "localhost" || key == "::1" || IsLoopbackIpv4(key);
}

std::string PlainTextSecretQuestion(const char* plainScheme, const char* secureScheme, bool bCheck) {
    static const char kBefore[] = "Has\xB3o zostanie wys\xB3"
                                  "ane bez szyfrowania (adres ";
    static const char kBetween[] = " innego komputera), wi\xEA"
                                   "c mo\xBF"
                                   "e je przechwyci\xE6 ka\xBF"
                                   "dy w tej sieci. Bezpieczniej jest poda\xE6 adres ";
    return kBefore + std::string(plainScheme) + kBetween + secureScheme + ".\n\n" +
           (bCheck ? "Sprawdzi\xE6 mimo to?" : "Zapisa\xE6 mimo to?");
}

CPlainTextConsent::CPlainTextConsent(const char* plainScheme, const char* secureScheme,
                                     std::function<bool(const std::string& question)> ask)
    : m_pszPlainScheme(plainScheme), m_pszSecureScheme(secureScheme), m_ask(std::move(ask)) {}

bool CPlainTextConsent::Allows(bool bEncrypted, const std::string& host, const std::string& secret, bool bCheck) {
    if (secret.empty() || bEncrypted || IsLoopbackHost(host))
        return true;
    const std::string key = HostKey(host);
    if (std::find(m_agreedHosts.begin(), m_agreedHosts.end(), key) != m_agreedHosts.end())
        return true;
    if (!m_ask(PlainTextSecretQuestion(m_pszPlainScheme, m_pszSecureScheme, bCheck)))
        return false;
    m_agreedHosts.push_back(key);
    return true;
}
