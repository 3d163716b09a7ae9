// Whether settings typed into "Powiadomienia" can work, checked before they
// are kept or a test message goes out: which field is wrong and what to tell
// the user (Windows-1250).
#pragma once

#include "config/setting_rules.h"
#include "notify/notify_settings.h"

enum class NotifyField {
    kNone,
    kSmtpUrl,
    kFrom,
    kTo,
    kUser,
    kCaFile,
    kWebhookUrl,
    kProgram,
    kDelay,
    kSilence,
    kRepeat,
    kSummary,
};

struct NotifySettingsFault {
    NotifyField field = NotifyField::kNone;
    const char* pszText = "";
};

// The first field that cannot work, in the dialog's order; kNone when all
// can. A field for e-mail is checked only when an SMTP address is given.
// bProgramFileRunnable: the same program rule on the file's long, final
// path, as the system resolves it (IsRunnableProgramFile on Windows).
NotifySettingsFault CheckNotifySettings(const NotifySettings& settings, bool bProgramFileRunnable = true);
