#include "database/database_dialog.h"

#include "database/http_client.h"
#include "secrets/plain_text_secret.h"
#include "secrets/secret_store.h"
#include "database/send_rules.h"
#include "database/send_state.h"
#include "framework/app_messages.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "res/resource.h"

#include <iterator>

namespace {

const char kBadUrl[] = "Podaj adres serwera w postaci http://serwer:8086 lub https://serwer.";
const char kNoName[] = "Podaj nazw\xEA bazy danych.";
const char kChecking[] = "Sprawdzanie...";
const char kUserColon[] = "Nazwa u\xBFytkownika nie mo\xBF" "e zawiera\xE6 dwukropka (:).";
const char kControlCharacter[] = "Nazwa u\xBFytkownika i has\xB3o nie mog\xB9 zawiera\xE6 znak\xF3w steruj\xB9"
                                 "cych.";
}  // namespace

CDatabaseDialog::CDatabaseDialog(CWnd* pParent)
    : CDialog(IDD_DATABASE, pParent),
      m_bEnabled(FALSE),
      m_bSecretUnreadable(FALSE),
      m_consent("http://", "https://", AfxAskWarning) {}

CDatabaseDialog::~CDatabaseDialog() { EndPing(); }

const AfxMsgMap* CDatabaseDialog::GetThisMessageMap() {
    typedef CDatabaseDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_DB_PING, &C::OnPing>(),
        afx::OnMessage<WM_DB_PING_DONE, &C::OnPingDone>(),
        afx::OnTimer<&C::OnTimer>(),
        afx::OnDestroy<&C::OnDestroy>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
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
    DDX_Text(pDX, IDC_DB_USER, m_strUser);
    DDX_Text(pDX, IDC_DB_SECRET, m_strSecret);
}

BOOL CDatabaseDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_bSecretUnreadable)
        ::SetDlgItemTextW(m_hWnd, IDC_DB_SECRET_NOTE, afx::Widen1250(kSecretUnreadableText).c_str());
    ShowState();
    SetTimer(kStateTimerId, 1000);
    return TRUE;
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
    if (m_pPing != nullptr)
        return;
    const std::string url = m_editUrl.GetWindowText();
    DbServerUrl parsed;
    if (!ParseServerUrl(url, parsed)) {
        ::SetDlgItemTextW(m_hWnd, IDC_DB_PING_RESULT, afx::Widen1250(kBadUrl).c_str());
        return;
    }
    const std::string secret = m_editSecret.GetWindowText();
    if (!m_consent.Allows(parsed.bSecure, parsed.strHost, secret, true))
        return;
    const std::string auth = AuthorizationValue(m_editUser.GetWindowText(), secret);
    auto ping = std::make_shared<PingRun>();
    const HWND hWnd = m_hWnd;
    const BOOL bStarted = m_pingThread.Start([ping, parsed, auth, hWnd]() -> UINT {
        try {
            CHttpClient http(parsed, auth);
            const DbHttpAnswer answer = http.Get(PingPath(parsed));
            ping->strResult =
                DescribePingAnswer(answer.nStatus, answer.nError, answer.strVersion, ServerMessage(answer.strBody));
        } catch (...) {
            ping->strResult.clear();  // out of memory: the check says nothing
        }
        if (!ping->bCancelled)
            PostMessageW(hWnd, WM_DB_PING_DONE, 0, reinterpret_cast<LPARAM>(ping.get()));
        return 0;
    });
    if (!bStarted)
        return;
    m_pPing = ping;
    ::SetDlgItemTextW(m_hWnd, IDC_DB_PING_RESULT, afx::Widen1250(kChecking).c_str());
    ::EnableWindow(GetDlgItem(IDC_DB_PING), FALSE);
}

LRESULT CDatabaseDialog::OnPingDone(WPARAM, LPARAM lParam) {
    // Only the check under way, never a late one of a dialog before this.
    if (m_pPing == nullptr || lParam != reinterpret_cast<LPARAM>(m_pPing.get()))
        return 0;
    m_pingThread.Join();  // it has posted: it is returning
    ::SetDlgItemTextW(m_hWnd, IDC_DB_PING_RESULT, afx::Widen1250(m_pPing->strResult).c_str());
    ::EnableWindow(GetDlgItem(IDC_DB_PING), TRUE);
    m_pPing.reset();
    return 0;
}

void CDatabaseDialog::OnTimer(UINT_PTR nId) {
    if (nId == kStateTimerId)
        ShowState();
}

void CDatabaseDialog::OnDestroy() {
    KillTimer(kStateTimerId);
    EndPing();
    Default();
}

void CDatabaseDialog::ShowState() {
    if (m_fnState)
        ::SetDlgItemTextW(m_hWnd, IDC_DB_STATE, afx::Widen1250(m_fnState()).c_str());
}

void CDatabaseDialog::EndPing() {
    if (m_pPing != nullptr)
        m_pPing->bCancelled = true;
    if (m_pingThread.WaitForEnd(0))
        m_pingThread.Join();
    else
        m_pingThread.Release();
    m_pPing.reset();
}
