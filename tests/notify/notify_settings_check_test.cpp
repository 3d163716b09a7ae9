#include "notify/notify_settings_check.h"
#include "notify/notify_ways.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

NotifySettings Working() {
    NotifySettings s;
    s.strSmtpUrl = "smtp://smtp.gmail.com:587";
    s.strFrom = "hala2@firma.pl";
    s.strTo = "jan@firma.pl, anna@firma.pl";
    s.strSmtpUser = "hala2@firma.pl";
    s.strWebhookUrl = "https://ntfy.sh/hala2?priority=high";
    s.strProgram = "C:\\Skrypty\\alarm.exe";
    s.strSummary = "07:30";
    return s;
}

struct Row {
    const char* what;
    std::function<void(NotifySettings&)> change;
    NotifyField field;
};

}  // namespace

TEST(NotifySettingsCheck, EachFieldThatCannotWorkIsNamed) {
    const Row rows[] = {
        {"as given", [](NotifySettings&) {}, NotifyField::kNone},
        {"smtps, [::1], trailing /", [](NotifySettings& s) { s.strSmtpUrl = "SMTPS://[::1]:465/"; }, NotifyField::kNone},
        {"only a web hook", [](NotifySettings& s) { s = NotifySettings(); s.strWebhookUrl = "http://10.0.0.5/hook"; },
         NotifyField::kNone},
        {"no e-mail: its fields unchecked", [](NotifySettings& s) { s.strSmtpUrl.clear(); s.strTo = "x"; },
         NotifyField::kNone},
        {"share path", [](NotifySettings& s) { s.strProgram = "\\\\serwer\\skrypty\\alarm.exe"; }, NotifyField::kNone},
        {"http mail", [](NotifySettings& s) { s.strSmtpUrl = "http://smtp.gmail.com"; }, NotifyField::kSmtpUrl},
        {"mail path", [](NotifySettings& s) { s.strSmtpUrl = "smtp://host/x"; }, NotifyField::kSmtpUrl},
        {"port 0", [](NotifySettings& s) { s.strSmtpUrl = "smtp://host:0"; }, NotifyField::kSmtpUrl},
        {"port 65536", [](NotifySettings& s) { s.strSmtpUrl = "smtp://host:65536"; }, NotifyField::kSmtpUrl},
        {"no host", [](NotifySettings& s) { s.strSmtpUrl = "smtps://:465"; }, NotifyField::kSmtpUrl},
        {"user in url", [](NotifySettings& s) { s.strSmtpUrl = "smtp://a@host"; }, NotifyField::kSmtpUrl},
        {"no from", [](NotifySettings& s) { s.strFrom.clear(); }, NotifyField::kFrom},
        {"line break in from", [](NotifySettings& s) { s.strFrom = "a@b\r\nBcc: c@d"; }, NotifyField::kFrom},
        {"only separators", [](NotifySettings& s) { s.strTo = " , ;"; }, NotifyField::kTo},
        {"Outlook's ';'", [](NotifySettings& s) { s.strTo = "ola@firma.pl;jan@firma.pl"; }, NotifyField::kNone},
        {"'_' in a Windows name", [](NotifySettings& s) { s.strSmtpUrl = "smtp://exch_01:25"; }, NotifyField::kNone},
        {"Polish letter in a recipient", [](NotifySettings& s) { s.strTo = "micha\xB3@firma.pl"; }, NotifyField::kTo},
        {"two @", [](NotifySettings& s) { s.strTo = "jan@firma@pl"; }, NotifyField::kTo},
        {"letter outside Windows-1250 in from", [](NotifySettings& s) { s.strFrom = "jan@f\x81rma.pl"; },
         NotifyField::kFrom},
        {"...in to, e-mail off", [](NotifySettings& s) { s.strSmtpUrl.clear(), s.strTo = "\x81"; }, NotifyField::kTo},
        {"letter outside Windows-1250 in user", [](NotifySettings& s) { s.strSmtpUser = "\x81\x81"; },
         NotifyField::kUser},
        {"recipient no @", [](NotifySettings& s) { s.strTo = "jan@firma.pl, anna"; }, NotifyField::kTo},
        {"control in user", [](NotifySettings& s) { s.strSmtpUser = "a\tb"; }, NotifyField::kUser},
        {"relative CA", [](NotifySettings& s) { s.strSmtpCaFile = "ca.pem"; }, NotifyField::kCaFile},
        {"ftp hook", [](NotifySettings& s) { s.strWebhookUrl = "ftp://host/x"; }, NotifyField::kWebhookUrl},
        {"space in hook", [](NotifySettings& s) { s.strWebhookUrl = "https://ntfy.sh/a b"; }, NotifyField::kWebhookUrl},
        {"relative program", [](NotifySettings& s) { s.strProgram = "alarm.cmd"; }, NotifyField::kProgram},
        {"drive-relative", [](NotifySettings& s) { s.strProgram = "C:alarm.cmd"; }, NotifyField::kProgram},
        {"script beside a batch", [](NotifySettings& s) { s.strProgram = "C:\\Skrypty\\alarm.ps1.bat"; },
         NotifyField::kProgram},
        {"batch file", [](NotifySettings& s) { s.strProgram = "C:\\Skrypty\\alarm.cmd"; }, NotifyField::kProgram},
        {"BAT file", [](NotifySettings& s) { s.strProgram = "C:\\Skrypty\\ALARM.BAT"; }, NotifyField::kProgram},
        {"a shell as the program", [](NotifySettings& s) { s.strProgram = "C:\\Windows\\System32\\CMD.EXE"; },
         NotifyField::kProgram},
        {"PowerShell as the program",
         [](NotifySettings& s) { s.strProgram = "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe"; },
         NotifyField::kProgram},
        {"8.3 name", [](NotifySettings& s) { s.strProgram = "C:\\Windows\\POWERS~1.EXE"; }, NotifyField::kProgram},
        {"sh", [](NotifySettings& s) { s.strProgram = "C:\\Git\\bin\\sh.exe"; }, NotifyField::kProgram},
        {"pwsh-preview", [](NotifySettings& s) { s.strProgram = "C:\\PS\\pwsh-preview.exe"; }, NotifyField::kProgram},
        {"python3.12", [](NotifySettings& s) { s.strProgram = "C:\\Py\\Python3.12.exe"; }, NotifyField::kProgram},
        {"not sh", [](NotifySettings& s) { s.strProgram = "C:\\Skrypty\\shalarm.exe"; }, NotifyField::kNone},
        {"quoted program", [](NotifySettings& s) { s.strProgram = "\"C:\\a.exe\" x"; }, NotifyField::kProgram},
        {"delay -1", [](NotifySettings& s) { s.nDelaySeconds = -1; }, NotifyField::kDelay},
        {"delay over a day", [](NotifySettings& s) { s.nDelaySeconds = kMaxNotifyDelaySeconds + 1; },
         NotifyField::kDelay},
        {"silence over a week", [](NotifySettings& s) { s.nSilenceMinutes = kMaxNotifyMinutes + 1; },
         NotifyField::kSilence},
        {"repeat -1", [](NotifySettings& s) { s.nRepeatMinutes = -1; }, NotifyField::kRepeat},
        {"summary 24:00", [](NotifySettings& s) { s.strSummary = "24:00"; }, NotifyField::kSummary},
        {"summary 7:30", [](NotifySettings& s) { s.strSummary = "7:30"; }, NotifyField::kSummary},
    };
    for (const Row& row : rows) {
        NotifySettings s = Working();
        row.change(s);
        const NotifySettingsFault fault = CheckNotifySettings(s);
        EXPECT_EQ(fault.field, row.field) << row.what;
        EXPECT_EQ(*fault.pszText == 0, row.field == NotifyField::kNone) << row.what;
        // The sending judges by the same rules: what the dialog keeps is
        // sent, never left waiting for ever.
        const bool bMailField = row.field == NotifyField::kSmtpUrl || row.field == NotifyField::kFrom ||
                                row.field == NotifyField::kTo || row.field == NotifyField::kCaFile;
        if (!s.strSmtpUrl.empty()) {
            EXPECT_EQ(CMailWay(s, "", nullptr).SettingsFault().empty(), !bMailField) << row.what;
        }
    }
}
