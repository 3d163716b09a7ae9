// How alarms reach a person away from the PC: section [NOTIFY] of
// qm487cfg.ini, written only once a value differs from its default (or when
// the file already has the section), so a first run's file keeps its bytes.
// A section written by hand works without the dialog; the SMTP password is
// given in the dialog, once, and kept encrypted for the Windows user.
#pragma once

#include "config/ini_file.h"

#include <string>

struct NotifySettings {
    // smtp://host[:587] (STARTTLS when offered; required with a password)
    // or smtps://host[:465]; empty: no e-mail.
    std::string strSmtpUrl;
    std::string strFrom;
    std::string strTo;  // one or more addresses, comma-separated
    std::string strSmtpUser;
    // The password as the file holds it: encrypted for the current Windows
    // user, base64. Never the plain secret.
    std::string strSmtpProtectedSecret;
    std::string strSmtpCaFile;  // one more CA certificate, trusted as exactly itself
    std::string strWebhookUrl;  // http(s)://...; empty: no web hook
    std::string strWebhookFormat = "json";  // "json" or "text"
    std::string strProgram;     // a program's full path; empty: none
    int nDelaySeconds = 0;      // beyond the limit this long before an alarm is told
    int nSilenceMinutes = 10;   // the instrument unheard this long is told; 0: never
    int nRepeatMinutes = 15;    // at most one message per channel this often; 0: each at once
    std::string strSummary;     // "HH:MM": a daily summary then; empty: none

    bool IsDefault() const;
    // Some way of sending is set.
    bool HasWay() const { return !strSmtpUrl.empty() || !strWebhookUrl.empty() || !strProgram.empty(); }
};

// The ranges a number may take, in the file and in the dialog.
const int kMaxNotifyDelaySeconds = 24 * 3600;
const int kMaxNotifyMinutes = 7 * 24 * 60;  // silence and repeat

// "HH:MM", 00:00 to 23:59. Any other summary time counts as none.
bool IsSummaryTime(const std::string& text);

void LoadNotifySettings(const CIniFile& ini, NotifySettings& settings);
void SaveNotifySettings(CIniFile& ini, const NotifySettings& settings);
