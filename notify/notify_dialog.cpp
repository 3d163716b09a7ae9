#include "notify/notify_dialog.h"

#include "framework/file_dialog.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "notify/notify_settings_check.h"
#include "notify/program_starter_win.h"
#include "res/resource.h"

#include <iterator>

namespace {

const char kSending[] = "Wysy\xB3" "anie wiadomo\x9C" "ci pr\xF3" "bnej...";
const char kNoWay[] = "Nie podano \xBF" "adnego sposobu wysy\xB3" "ania: serwera poczty, web hooka ani programu.";
const char kFailed[] = "B\xB3\xB9" "d wewn\xEAtrzny: wiadomo\x9C\xE6 pr\xF3" "bna nie zosta\xB3" "a wys\xB3" "ana.";
const char kSecretStored[] = "Has\xB3o jest zapisane. Wpisz nowe, aby je zmieni\xE6.";
// Stands in the password field for a stored password, which is never shown.
const char kPlaceholder[] = "********";
const wchar_t* const kFormats[] = {L"JSON (Slack, Mattermost, Rocket.Chat)", L"tekst (ntfy)"};

// The control of each field, by NotifyField.
const int kFieldControls[] = {
    0,
    IDC_NOTIFY_SMTP_URL,
    IDC_NOTIFY_FROM,
    IDC_NOTIFY_TO,
    IDC_NOTIFY_USER,
    IDC_NOTIFY_CA_FILE,
    IDC_NOTIFY_WEBHOOK_URL,
    IDC_NOTIFY_PROGRAM,
    IDC_NOTIFY_DELAY,
    IDC_NOTIFY_SILENCE,
    IDC_NOTIFY_REPEAT,
    IDC_NOTIFY_SUMMARY,
};
static_assert(std::size(kFieldControls) == static_cast<std::size_t>(NotifyField::kSummary) + 1);

// "e-mail: 250 OK", a line for each way; an answer is UTF-8 (it may quote
// a server), the text Windows-1250.
std::string DescribeAnswers(const NotifyTestAnswers& answers) {
    std::wstring text;
    for (const auto& [way, result] : answers) {
        std::string answer = result.strAnswer;
        if (answer.empty())
            answer = result.kind == DeliveryResult::kDelivered ? "OK" : "brak odpowiedzi";
        text += (text.empty() ? L"" : L"\r\n") + afx::WidenUtf8(way + ": " + answer);
    }
    return afx::Narrow1250(text);
}

}  // namespace

CNotifyDialog::CNotifyDialog(CWnd* pParent)
    : CConnectionCheckDialog(IDD_NOTIFY, pParent,
                             {IDC_NOTIFY_TEST, IDC_NOTIFY_TEST_RESULT, IDC_NOTIFY_STATE, IDC_NOTIFY_SECRET_NOTE},
                             "smtp://", "smtps://") {}

const AfxMsgMap* CNotifyDialog::GetThisMessageMap() {
    typedef CNotifyDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_NOTIFY_BROWSE_PROGRAM, &C::OnBrowseProgram>(),
        afx::OnCommand<IDC_NOTIFY_TEST, &C::OnTest>(),
    };
    static const AfxMsgMap map = {CConnectionCheckDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CNotifyDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    NotifySettings& s = m_settings;
    DDX_Control(pDX, IDC_NOTIFY_SECRET, m_editSecret);
    DDX_ExactText(pDX, IDC_NOTIFY_SMTP_URL, s.strSmtpUrl);
    DDX_ExactText(pDX, IDC_NOTIFY_FROM, s.strFrom);
    DDX_ExactText(pDX, IDC_NOTIFY_TO, s.strTo);
    DDX_ExactText(pDX, IDC_NOTIFY_USER, s.strSmtpUser);
    DDX_Text(pDX, IDC_NOTIFY_CA_FILE, s.strSmtpCaFile);
    DDX_Text(pDX, IDC_NOTIFY_WEBHOOK_URL, s.strWebhookUrl);
    DDX_Text(pDX, IDC_NOTIFY_PROGRAM, s.strProgram);
    DDX_Text(pDX, IDC_NOTIFY_DELAY, s.nDelaySeconds);
    DDX_Text(pDX, IDC_NOTIFY_SILENCE, s.nSilenceMinutes);
    DDX_Text(pDX, IDC_NOTIFY_REPEAT, s.nRepeatMinutes);
    DDX_Text(pDX, IDC_NOTIFY_SUMMARY, s.strSummary);
}

BOOL CNotifyDialog::OnInitDialog() {
    m_bSecretUnreadable = m_storedSecret.IsUnreadable();
    CConnectionCheckDialog::OnInitDialog();
    const HWND hFormat = GetDlgItem(IDC_NOTIFY_WEBHOOK_FORMAT);
    for (const wchar_t* format : kFormats)
        ::SendMessageW(hFormat, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(format));
    ::SendMessageW(hFormat, CB_SETCURSEL, m_settings.strWebhookFormat == "text" ? 1 : 0, 0);
    if (!m_storedSecret.Plain().empty()) {
        m_editSecret.SetWindowText(kPlaceholder);
        ::SetDlgItemTextW(m_hWnd, IDC_NOTIFY_SECRET_NOTE, afx::Widen1250(kSecretStored).c_str());
    }
    // Only what the user changes counts as typed.
    ::SendMessageW(m_editSecret, EM_SETMODIFY, FALSE, 0);
    return TRUE;
}

bool CNotifyDialog::ReadForm(int nShownIn) {
    if (!UpdateData(TRUE))
        return false;
    const LRESULT format = ::SendMessageW(GetDlgItem(IDC_NOTIFY_WEBHOOK_FORMAT), CB_GETCURSEL, 0, 0);
    m_settings.strWebhookFormat = format == 1 ? "text" : "json";
    const NotifySettingsFault fault =
        CheckNotifySettings(m_settings, IsRunnableProgramFile(afx::Widen1250(m_settings.strProgram)));
    if (fault.field == NotifyField::kNone)
        return true;
    if (nShownIn != 0)
        ::SetDlgItemTextW(m_hWnd, nShownIn, afx::Widen1250(fault.pszText).c_str());
    else
        AfxMessageBox(fault.pszText, MB_OK | MB_ICONEXCLAMATION);
    ::SetFocus(GetDlgItem(kFieldControls[static_cast<int>(fault.field)]));
    return false;
}

void CNotifyDialog::OnOK() {
    if (!ReadForm(0))
        return;
    m_bSecretTyped = ::SendMessageW(m_editSecret, EM_GETMODIFY, 0, 0) != 0;
    m_strTypedSecret = m_bSecretTyped ? TypedSecret() : std::string();
    EndDialog(IDOK);
}

std::string CNotifyDialog::TypedSecret() const {
    // From the control's UTF-16: a Windows-1250 (ANSI) reading would map a
    // Cyrillic or Turkish letter to "?" or a look-alike.
    return SecretText(m_editSecret);
}

std::string CNotifyDialog::SecretForTest() const {
    if (::SendMessageW(m_editSecret, EM_GETMODIFY, 0, 0) != 0)
        return TypedSecret();
    return m_storedSecret.Plain();
}

void CNotifyDialog::OnBrowseProgram() {
    CFileDialog chooser(TRUE, "exe", "", OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST,
                        "Programy i skrypty PowerShell (*.exe;*.ps1)|*.exe;*.com;*.ps1||", this);
    chooser.m_strTitle = "Wybierz program powiadomie\xF1";
    if (chooser.DoModal() != IDOK)
        return;
    ::SetDlgItemTextW(m_hWnd, IDC_NOTIFY_PROGRAM, afx::Widen1250(chooser.GetPathName()).c_str());
}

void CNotifyDialog::OnTest() {
    if (IsChecking() || !m_fnTestSend || !ReadForm(IDC_NOTIFY_TEST_RESULT))
        return;
    if (!m_settings.HasWay()) {
        ShowCheckResult(kNoWay);
        return;
    }
    // The thread gets copies: the dialog may close while a server keeps the
    // test waiting, and it is then let go.
    StartCheck([send = m_fnTestSend, settings = m_settings, secret = SecretForTest()] {
        try {
            return DescribeAnswers(send(settings, secret));
        } catch (...) {
            return std::string(kFailed);
        }
    });
    ShowCheckResult(kSending);
}
