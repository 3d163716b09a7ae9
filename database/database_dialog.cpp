#include "database/database_dialog.h"

#include "database/http_client.h"
#include "database/secret_store.h"
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

}  // namespace

CDatabaseDialog::CDatabaseDialog(CWnd* pParent)
    : CDialog(IDD_DATABASE, pParent), m_bEnabled(FALSE), m_bSecretUnreadable(FALSE) {}

CDatabaseDialog::~CDatabaseDialog() { JoinPing(); }

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
    EndDialog(IDOK);
}

void CDatabaseDialog::OnPing() {
    if (m_bPingRunning)
        return;
    const std::string url = m_editUrl.GetWindowText();
    DbServerUrl parsed;
    if (!ParseServerUrl(url, parsed)) {
        ::SetDlgItemTextW(m_hWnd, IDC_DB_PING_RESULT, afx::Widen1250(kBadUrl).c_str());
        return;
    }
    JoinPing();
    const std::string auth = AuthorizationValue(m_editUser.GetWindowText(), m_editSecret.GetWindowText());
    ::SetDlgItemTextW(m_hWnd, IDC_DB_PING_RESULT, afx::Widen1250(kChecking).c_str());
    ::EnableWindow(GetDlgItem(IDC_DB_PING), FALSE);
    m_bPingRunning = true;
    const HWND hWnd = m_hWnd;
    m_pingThread = std::thread([this, parsed, auth, hWnd] {
        CHttpClient http(parsed, auth);
        const HttpAnswer answer = http.Get(PingPath(parsed));
        m_strPingResult =
            DescribePingAnswer(answer.nStatus, answer.nError, answer.strVersion, ServerMessage(answer.strBody));
        m_bPingRunning = false;
        PostMessageW(hWnd, WM_DB_PING_DONE, 0, 0);
    });
}

LRESULT CDatabaseDialog::OnPingDone(WPARAM, LPARAM) {
    JoinPing();
    ::SetDlgItemTextW(m_hWnd, IDC_DB_PING_RESULT, afx::Widen1250(m_strPingResult).c_str());
    ::EnableWindow(GetDlgItem(IDC_DB_PING), TRUE);
    return 0;
}

void CDatabaseDialog::OnTimer(UINT_PTR nId) {
    if (nId == kStateTimerId)
        ShowState();
}

void CDatabaseDialog::OnDestroy() {
    KillTimer(kStateTimerId);
    JoinPing();
    Default();
}

void CDatabaseDialog::ShowState() {
    if (m_fnState)
        ::SetDlgItemTextW(m_hWnd, IDC_DB_STATE, afx::Widen1250(m_fnState()).c_str());
}

void CDatabaseDialog::JoinPing() {
    if (m_pingThread.joinable())
        m_pingThread.join();
}
