#include "framework/connection_check_dialog.h"

#include "framework/app_messages.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "secrets/secret_store.h"

#include <iterator>
#include <utility>

namespace {

const char kChecking[] = "Sprawdzanie...";

}  // namespace

CConnectionCheckDialog::CConnectionCheckDialog(UINT nIDTemplate, CWnd* pParent, const Controls& controls,
                                               const char* plainScheme, const char* secureScheme)
    : CDialog(nIDTemplate, pParent), m_consent(plainScheme, secureScheme, AfxAskWarning), m_controls(controls) {}

CConnectionCheckDialog::~CConnectionCheckDialog() { EndCheck(); }

const AfxMsgMap* CConnectionCheckDialog::GetThisMessageMap() {
    typedef CConnectionCheckDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnMessage<WM_CONNECTION_CHECK_DONE, &C::OnCheckDone>(),
        afx::OnTimer<&C::OnTimer>(),
        afx::OnDestroy<&C::OnDestroy>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

BOOL CConnectionCheckDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_bSecretUnreadable)
        ::SetDlgItemTextW(m_hWnd, m_controls.nSecretNote, afx::Widen1250(kSecretUnreadableText).c_str());
    ShowState();
    SetTimer(kStateTimerId, 1000);
    return TRUE;
}

void CConnectionCheckDialog::StartCheck(std::function<std::string()> run, std::function<void()> cancel) {
    if (m_pCheck != nullptr)
        return;
    auto check = std::make_shared<CheckRun>();
    const HWND hWnd = m_hWnd;
    const BOOL bStarted = m_checkThread.Start([check, run = std::move(run), hWnd]() -> UINT {
        try {
            check->strResult = run();
        } catch (...) {
            check->strResult.clear();  // out of memory: the check says nothing
        }
        if (!check->bCancelled)
            PostMessageW(hWnd, WM_CONNECTION_CHECK_DONE, 0, reinterpret_cast<LPARAM>(check.get()));
        return 0;
    });
    if (!bStarted)
        return;
    m_pCheck = check;
    m_cancel = std::move(cancel);
    ShowCheckResult(kChecking);
    ::EnableWindow(GetDlgItem(m_controls.nCheckButton), FALSE);
}

void CConnectionCheckDialog::ShowCheckResult(const std::string& strText) {
    ::SetDlgItemTextW(m_hWnd, m_controls.nCheckResult, afx::Widen1250(strText).c_str());
}

LRESULT CConnectionCheckDialog::OnCheckDone(WPARAM, LPARAM lParam) {
    // Only the check under way, never a late one of a dialog before this.
    if (m_pCheck == nullptr || lParam != reinterpret_cast<LPARAM>(m_pCheck.get()))
        return 0;
    m_checkThread.Join();  // it has posted: it is returning
    ShowCheckResult(m_pCheck->strResult);
    ::EnableWindow(GetDlgItem(m_controls.nCheckButton), TRUE);
    m_pCheck.reset();
    m_cancel = nullptr;
    return 0;
}

void CConnectionCheckDialog::OnTimer(UINT_PTR nId) {
    if (nId == kStateTimerId)
        ShowState();
}

void CConnectionCheckDialog::OnDestroy() {
    KillTimer(kStateTimerId);
    EndCheck();
    Default();
}

void CConnectionCheckDialog::ShowState() {
    if (m_fnState)
        ::SetDlgItemTextW(m_hWnd, m_controls.nState, afx::Widen1250(m_fnState()).c_str());
}

// A check that can be cancelled is waited for: never longer than its thread
// takes to notice. One that cannot is joined when it has ended, else let go.
void CConnectionCheckDialog::EndCheck() {
    if (m_pCheck != nullptr)
        m_pCheck->bCancelled = true;
    if (m_cancel) {
        m_cancel();
        m_checkThread.Join();
    } else if (m_checkThread.WaitForEnd(0)) {
        m_checkThread.Join();
    } else {
        m_checkThread.Release();
    }
    m_pCheck.reset();
    m_cancel = nullptr;
}
