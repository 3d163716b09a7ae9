#include "database/database_dialog.h"

#include "database/http_client.h"
#include "database/send_rules.h"
#include "database/send_state.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "config/setting_rules.h"
#include "res/resource.h"

#include <iterator>

namespace {

const char kBadUrl[] = "Podaj adres serwera w postaci http://serwer:8086 lub https://serwer.";
const char kNoName[] = "Podaj nazw\xEA bazy danych.";
const char kUserColon[] = "Nazwa u\xBFytkownika nie mo\xBF" "e zawiera\xE6 dwukropka (:).";
const char kControlCharacter[] = "Nazwa u\xBFytkownika i has\xB3o nie mog\xB9 zawiera\xE6 znak\xF3w steruj\xB9"
                                 "cych.";
}  // namespace

CDatabaseDialog::CDatabaseDialog(CWnd* pParent)
    : CConnectionCheckDialog(IDD_DATABASE, pParent, {IDC_DB_PING, IDC_DB_PING_RESULT, IDC_DB_STATE, IDC_DB_SECRET_NOTE},
                             "http://", "https://"),
      m_bEnabled(FALSE) {}

const AfxMsgMap* CDatabaseDialog::GetThisMessageMap() {
    typedef CDatabaseDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_DB_PING, &C::OnPing>(),
    };
    static const AfxMsgMap map = {CConnectionCheckDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CDatabaseDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DB_ENABLED, m_checkEnabled);
    DDX_Control(pDX, IDC_DB_URL, m_editUrl);
    DDX_Control(pDX, IDC_DB_NAME, m_editName);
    DDX_Control(pDX, IDC_DB_USER, m_editUser);
    DDX_Control(pDX, IDC_DB_SECRET, m_editSecret);
    DDX_Check(pDX, IDC_DB_ENABLED, m_bEnabled);
    DDX_Text(pDX, IDC_DB_URL, m_strUrl);
    DDX_Text(pDX, IDC_DB_NAME, m_strName);
    DDX_ExactText(pDX, IDC_DB_USER, m_strUser);
    DDX_SecretText(pDX, IDC_DB_SECRET, m_strSecret);
}

void CDatabaseDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    DbServerUrl url;
    // Switched off, the address may stay unfinished; switched on, it must work.
    if (m_bEnabled && !ParseServerUrl(m_strUrl, url)) {
        AfxMessageBox(kBadUrl, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editUrl);
        return;
    }
    if (m_bEnabled && m_strName.empty()) {
        AfxMessageBox(kNoName, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editName);
        return;
    }
    if (const char* pszUser = UserNameFault(m_strUser)) {
        AfxMessageBox(pszUser, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editUser);
        return;
    }
    const DbCredentialsFault fault = CheckCredentials(m_strUser, m_strSecret);
    if (fault != DbCredentialsFault::None) {
        AfxMessageBox(fault == DbCredentialsFault::UserColon ? kUserColon : kControlCharacter,
                      MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(fault == DbCredentialsFault::SecretControl ? m_editSecret : m_editUser);
        return;
    }
    if (ParseServerUrl(m_strUrl, url) && !m_consent.Allows(url.bSecure, url.strHost, m_strSecret, false)) {
        ::SetFocus(m_editUrl);
        return;
    }
    EndDialog(IDOK);
}

void CDatabaseDialog::OnPing() {
    if (IsChecking())
        return;
    const std::string url = m_editUrl.GetWindowText();
    DbServerUrl parsed;
    if (!ParseServerUrl(url, parsed)) {
        ShowCheckResult(kBadUrl);
        return;
    }
    const std::string user = ExactText(m_editUser);
    if (const char* pszUser = UserNameFault(user)) {
        ShowCheckResult(pszUser);
        return;
    }
    const std::string secret = SecretText(m_editSecret);
    if (!m_consent.Allows(parsed.bSecure, parsed.strHost, secret, true))
        return;
    const std::string auth = AuthorizationValue(user, secret);
    // A request WinHTTP is inside cannot be cancelled: the check is let go
    // when the dialog closes first.
    StartCheck([parsed, auth] {
        CHttpClient http(parsed, auth);
        const DbHttpAnswer answer = http.Get(PingPath(parsed));
        return DescribePingAnswer(answer.nStatus, answer.nError, answer.strVersion, ServerMessage(answer.strBody));
    });
}
