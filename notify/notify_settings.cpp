#include "notify/notify_settings.h"

namespace {
const char kSection[] = "NOTIFY";
}  // namespace

bool IsSummaryTime(const std::string& t) {
    auto digit = [&](std::size_t i) { return t[i] >= '0' && t[i] <= '9'; };
    if (t.size() != 5 || t[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4))
        return false;
    return (t[0] - '0') * 10 + (t[1] - '0') < 24 && t[3] < '6';
}

bool NotifySettings::IsDefault() const {
    const NotifySettings d;
    return strSmtpUrl.empty() && strFrom.empty() && strTo.empty() && strSmtpUser.empty() &&
           strSmtpProtectedSecret.empty() && strSmtpCaFile.empty() && strWebhookUrl.empty() &&
           strWebhookFormat == d.strWebhookFormat && strProgram.empty() && nDelaySeconds == d.nDelaySeconds &&
           nSilenceMinutes == d.nSilenceMinutes && nRepeatMinutes == d.nRepeatMinutes && strSummary.empty();
}

// Numbers out of range count as their default: a hand-edited -5 minutes
// must not silence the check nor flood the inbox.
void LoadNotifySettings(const CIniFile& ini, NotifySettings& s) {
    const NotifySettings d;
    auto number = [&](const char* key, int fallback, int most) {
        const int n = ini.GetInt(kSection, key, fallback);
        return n >= 0 && n <= most ? n : fallback;
    };
    s.strSmtpUrl = ini.GetString(kSection, "NOTIFY_SMTP_URL", "");
    s.strFrom = ini.GetString(kSection, "NOTIFY_FROM", "");
    s.strTo = ini.GetString(kSection, "NOTIFY_TO", "");
    s.strSmtpUser = ini.GetString(kSection, "NOTIFY_SMTP_USER", "");
    s.strSmtpProtectedSecret = ini.GetString(kSection, "NOTIFY_SMTP_SECRET", "");
    s.strSmtpCaFile = ini.GetString(kSection, "NOTIFY_SMTP_CA_FILE", "");
    s.strWebhookUrl = ini.GetString(kSection, "NOTIFY_WEBHOOK_URL", "");
    s.strWebhookFormat = ini.GetString(kSection, "NOTIFY_WEBHOOK_FORMAT", d.strWebhookFormat) == "text" ? "text" : "json";
    s.strProgram = ini.GetString(kSection, "NOTIFY_PROGRAM", "");
    s.nDelaySeconds = number("NOTIFY_DELAY", d.nDelaySeconds, kMaxNotifyDelaySeconds);
    s.nSilenceMinutes = number("NOTIFY_SILENCE", d.nSilenceMinutes, kMaxNotifyMinutes);
    s.nRepeatMinutes = number("NOTIFY_REPEAT", d.nRepeatMinutes, kMaxNotifyMinutes);
    s.strSummary = ini.GetString(kSection, "NOTIFY_SUMMARY", "");
    if (!IsSummaryTime(s.strSummary))
        s.strSummary.clear();
}

void SaveNotifySettings(CIniFile& ini, const NotifySettings& s) {
    if (s.IsDefault() && ini.FindSection(kSection) < 0)
        return;
    ini.SetString(kSection, "NOTIFY_SMTP_URL", s.strSmtpUrl);
    ini.SetString(kSection, "NOTIFY_FROM", s.strFrom);
    ini.SetString(kSection, "NOTIFY_TO", s.strTo);
    ini.SetString(kSection, "NOTIFY_SMTP_USER", s.strSmtpUser);
    ini.SetString(kSection, "NOTIFY_SMTP_SECRET", s.strSmtpProtectedSecret);
    ini.SetString(kSection, "NOTIFY_SMTP_CA_FILE", s.strSmtpCaFile);
    ini.SetString(kSection, "NOTIFY_WEBHOOK_URL", s.strWebhookUrl);
    ini.SetString(kSection, "NOTIFY_WEBHOOK_FORMAT", s.strWebhookFormat);
    ini.SetString(kSection, "NOTIFY_PROGRAM", s.strProgram);
    ini.SetInt(kSection, "NOTIFY_DELAY", s.nDelaySeconds);
    ini.SetInt(kSection, "NOTIFY_SILENCE", s.nSilenceMinutes);
    ini.SetInt(kSection, "NOTIFY_REPEAT", s.nRepeatMinutes);
    ini.SetString(kSection, "NOTIFY_SUMMARY", s.strSummary);
}
