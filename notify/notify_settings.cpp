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
    const int nSection = ini.FindSection(kSection);
    if (s.IsDefault() && nSection < 0)
        return;
    // A key whose text already reads as the value keeps its text: a value
    // written by hand that the program does not take ("7:30", "-5") stays
    // as the user wrote it, never replaced by the default it was read as.
    NotifySettings read;
    LoadNotifySettings(ini, read);
    auto put = [&](const char* key, const std::string& value, const std::string& readValue) {
        if (value != readValue || nSection < 0 || ini.FindKey(nSection, key) < 0)
            ini.SetString(kSection, key, value);
    };
    auto putInt = [&](const char* key, int value, int readValue) {
        if (value != readValue || nSection < 0 || ini.FindKey(nSection, key) < 0)
            ini.SetInt(kSection, key, value);
    };
    put("NOTIFY_SMTP_URL", s.strSmtpUrl, read.strSmtpUrl);
    put("NOTIFY_FROM", s.strFrom, read.strFrom);
    put("NOTIFY_TO", s.strTo, read.strTo);
    put("NOTIFY_SMTP_USER", s.strSmtpUser, read.strSmtpUser);
    put("NOTIFY_SMTP_SECRET", s.strSmtpProtectedSecret, read.strSmtpProtectedSecret);
    put("NOTIFY_SMTP_CA_FILE", s.strSmtpCaFile, read.strSmtpCaFile);
    put("NOTIFY_WEBHOOK_URL", s.strWebhookUrl, read.strWebhookUrl);
    put("NOTIFY_WEBHOOK_FORMAT", s.strWebhookFormat, read.strWebhookFormat);
    put("NOTIFY_PROGRAM", s.strProgram, read.strProgram);
    putInt("NOTIFY_DELAY", s.nDelaySeconds, read.nDelaySeconds);
    putInt("NOTIFY_SILENCE", s.nSilenceMinutes, read.nSilenceMinutes);
    putInt("NOTIFY_REPEAT", s.nRepeatMinutes, read.nRepeatMinutes);
    put("NOTIFY_SUMMARY", s.strSummary, read.strSummary);
}
