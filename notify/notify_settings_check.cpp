#include "notify/notify_settings_check.h"

#include "config/cp1250.h"
#include "notify/command_line.h"
#include "notify/mail_message.h"
#include "notify/smtp_session.h"

#include <cctype>

namespace {

const char kBadFrom[] = "Podaj adres nadawcy w postaci nazwa@serwer.";
const char kBadTo[] = "Podaj adresy odbiorc\xF3w w postaci nazwa@serwer, rozdzielone przecinkami lub \x9Crednikami.";
const char kNotAsciiAddress[] = "Adres e-mail nie mo\xBF"
                                "e zawiera\xE6 polskich liter ani innych znak\xF3w spoza "
                                "ASCII: serwer poczty by go nie przyj\xB9\xB3.";
const char kBadCaFile[] = "Podaj pe\xB3n\xB9 \x9C" "cie\xBFk\xEA pliku certyfikatu, np. C:\\Certyfikaty\\ca.pem.";
const char kBadWebhookUrl[] = "Podaj adres web hooka w postaci https://serwer/\x9C" "cie\xBFka lub http://serwer/\x9C" "cie\xBFka.";
const char kBadProgram[] = "Podaj pe\xB3n\xB9 \x9C" "cie\xBFk\xEA programu .exe lub skryptu PowerShell .ps1, "
                           "np. C:\\Narz\xEA" "dzia\\alarm.ps1 (plik .cmd lub .bat czyta\xB3" "by argumenty jak polecenia).";
const char kBadDelay[] = "Op\xF3\x9Fnienie musi by\xE6 liczb\xB9 sekund od 0 do 86400.";
const char kBadSilence[] = "Czas ciszy musi by\xE6 liczb\xB9 minut od 0 do 10080 (0: bez powiadomie\xF1).";
const char kBadRepeat[] = "Odst\xEAp powt\xF3rze\xF1 musi by\xE6 liczb\xB9 minut od 0 do 10080.";
const char kBadSummary[] = "Godzin\xEA podsumowania podaj w postaci GG:MM (od 00:00 do 23:59) albo zostaw puste pole.";

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != 0; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// scheme://host[:port] and anything after a "/". Only printable ASCII: the
// address goes to the network as it is.
bool IsUrl(const std::string& url, const char* plain, const char* secure) {
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

NotifySettingsFault AddressFault(const std::string& address, NotifyField field, const char* pszForm) {
    switch (CheckMailAddress(address)) {
    case MailAddressFault::kNone:
        return {};
    case MailAddressFault::kNotAscii:
        return {field, kNotAsciiAddress};
    default:
        return {field, pszForm};
    }
}

// The e-mail fields, by the rules the sending keeps.
NotifySettingsFault MailFault(const NotifySettings& s) {
    if (const char* pszUrl = SmtpUrlFault(s.strSmtpUrl))
        return {NotifyField::kSmtpUrl, pszUrl};
    NotifySettingsFault fault = AddressFault(s.strFrom, NotifyField::kFrom, kBadFrom);
    const std::vector<std::string> to = SplitAddressList(s.strTo);
    if (fault.field == NotifyField::kNone && to.empty())
        fault = {NotifyField::kTo, kBadTo};
    for (std::size_t i = 0; i < to.size() && fault.field == NotifyField::kNone; ++i)
        fault = AddressFault(to[i], NotifyField::kTo, kBadTo);
    return fault;
}

}  // namespace

NotifySettingsFault CheckNotifySettings(const NotifySettings& s, bool bProgramFileRunnable) {
    const bool bMail = !s.strSmtpUrl.empty();
    if (bMail) {
        const NotifySettingsFault fault = MailFault(s);
        if (fault.field != NotifyField::kNone)
            return fault;
    }
    // Checked while e-mail is off too: the file would keep another letter.
    if (HasUnassigned1250(s.strFrom) || HasUnassigned1250(s.strTo))
        return {HasUnassigned1250(s.strFrom) ? NotifyField::kFrom : NotifyField::kTo, kNotAsciiAddress};
    if (const char* pszUser = UserNameFault(s.strSmtpUser))
        return {NotifyField::kUser, pszUser};
    if (bMail && !s.strSmtpCaFile.empty() && !IsFullWindowsPath(s.strSmtpCaFile))
        return {NotifyField::kCaFile, kBadCaFile};
    if (!s.strWebhookUrl.empty() && !IsUrl(s.strWebhookUrl, "http://", "https://"))
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
