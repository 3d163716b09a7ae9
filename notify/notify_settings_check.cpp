#include "notify/notify_settings_check.h"

#include "notify/command_line.h"

#include <cctype>

namespace {

const char kBadSmtpUrl[] = "Podaj adres serwera poczty w postaci smtp://serwer:587 lub smtps://serwer:465.";
const char kBadFrom[] = "Podaj adres nadawcy w postaci nazwa@serwer.";
const char kBadTo[] = "Podaj adresy odbiorc\xF3w w postaci nazwa@serwer, rozdzielone przecinkami.";
const char kBadUser[] = "Nazwa u\xBFytkownika nie mo\xBF" "e zawiera\xE6 znak\xF3w steruj\xB9" "cych.";
const char kBadCaFile[] = "Podaj pe\xB3n\xB9 \x9C" "cie\xBFk\xEA pliku certyfikatu, np. C:\\Certyfikaty\\ca.pem.";
const char kBadWebhookUrl[] = "Podaj adres web hooka w postaci https://serwer/\x9C" "cie\xBFka lub http://serwer/\x9C" "cie\xBFka.";
const char kBadProgram[] = "Podaj pe\xB3n\xB9 \x9C" "cie\xBFk\xEA programu .exe lub skryptu PowerShell .ps1, "
                           "np. C:\\Narz\xEA" "dzia\\alarm.ps1 (plik .cmd lub .bat czyta\xB3" "by argumenty jak polecenia).";
const char kBadDelay[] = "Op\xF3\x9Fnienie musi by\xE6 liczb\xB9 sekund od 0 do 86400.";
const char kBadSilence[] = "Czas ciszy musi by\xE6 liczb\xB9 minut od 0 do 10080 (0: bez powiadomie\xF1).";
const char kBadRepeat[] = "Odst\xEAp powt\xF3rze\xF1 musi by\xE6 liczb\xB9 minut od 0 do 10080.";
const char kBadSummary[] = "Godzin\xEA podsumowania podaj w postaci GG:MM (od 00:00 do 23:59) albo zostaw puste pole.";

bool HasControl(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7F')
            return true;
    return false;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != 0; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// scheme://host[:port] and, when bPath, anything after a "/". Only printable
// ASCII: the address goes to the network as it is.
bool IsUrl(const std::string& url, const char* plain, const char* secure, bool bPath) {
    std::size_t pos;
    if (StartsWithNoCase(url, plain))
        pos = std::char_traits<char>::length(plain);
    else if (StartsWithNoCase(url, secure))
        pos = std::char_traits<char>::length(secure);
    else
        return false;
    for (char c : url)
        if (c <= ' ' || c > '~')
            return false;
    const std::size_t slash = url.find('/', pos);
    if (!bPath && slash != std::string::npos && slash + 1 != url.size())
        return false;
    const std::string authority = url.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    const std::size_t close = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    const bool bPort = colon != std::string::npos && (close == std::string::npos || colon > close);
    const std::string host = authority.substr(0, bPort ? colon : std::string::npos);
    if (host.empty() || host.find_first_of("@?#") != std::string::npos)
        return false;
    if (!bPort)
        return true;
    const std::string port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int n = std::stoi(port);
    return n >= 1 && n <= 65535;
}

// name@host, nothing that could end a line of the mail's header.
bool IsAddress(const std::string& text) {
    const std::size_t at = text.find('@');
    return at != std::string::npos && at > 0 && at + 1 < text.size() && !HasControl(text) &&
           text.find_first_of(" ,<>\"") == std::string::npos;
}

bool AreAddresses(const std::string& list) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        std::string one = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t first = one.find_first_not_of(' ');
        const std::size_t last = one.find_last_not_of(' ');
        if (first == std::string::npos || !IsAddress(one.substr(first, last - first + 1)))
            return false;
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

}  // namespace

bool IsFullWindowsPath(const std::string& p) {
    if (HasControl(p) || p.find('"') != std::string::npos)
        return false;
    const bool bDrive = p.size() > 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
                        (p[2] == '\\' || p[2] == '/');
    const bool bShare = p.size() > 2 && p[0] == '\\' && p[1] == '\\' && p[2] != '\\';
    return bDrive || bShare;
}

NotifySettingsFault CheckNotifySettings(const NotifySettings& s, bool bProgramFileRunnable) {
    const bool bMail = !s.strSmtpUrl.empty();
    if (bMail && !IsUrl(s.strSmtpUrl, "smtp://", "smtps://", false))
        return {NotifyField::kSmtpUrl, kBadSmtpUrl};
    if (bMail && !IsAddress(s.strFrom))
        return {NotifyField::kFrom, kBadFrom};
    if (bMail && !AreAddresses(s.strTo))
        return {NotifyField::kTo, kBadTo};
    if (HasControl(s.strSmtpUser))
        return {NotifyField::kUser, kBadUser};
    if (bMail && !s.strSmtpCaFile.empty() && !IsFullWindowsPath(s.strSmtpCaFile))
        return {NotifyField::kCaFile, kBadCaFile};
    if (!s.strWebhookUrl.empty() && !IsUrl(s.strWebhookUrl, "http://", "https://", true))
        return {NotifyField::kWebhookUrl, kBadWebhookUrl};
    if (!s.strProgram.empty() && !(IsRunnableProgram(s.strProgram) && bProgramFileRunnable))
        return {NotifyField::kProgram, kBadProgram};
    if (s.nDelaySeconds < 0 || s.nDelaySeconds > kMaxNotifyDelaySeconds)
        return {NotifyField::kDelay, kBadDelay};
    if (s.nSilenceMinutes < 0 || s.nSilenceMinutes > kMaxNotifyMinutes)
        return {NotifyField::kSilence, kBadSilence};
    if (s.nRepeatMinutes < 0 || s.nRepeatMinutes > kMaxNotifyMinutes)
        return {NotifyField::kRepeat, kBadRepeat};
    if (!s.strSummary.empty() && !IsSummaryTime(s.strSummary))
        return {NotifyField::kSummary, kBadSummary};
    return {};
}
