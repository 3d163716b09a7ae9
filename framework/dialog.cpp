#include "framework/dialog.h"

#include "framework/win_app.h"

namespace {

// The dialog manager's own procedure: everything reaches the object through
// the window procedure it was subclassed with, so this only declines.
INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIdc, CWnd& rControl) {
    if (rControl.m_hWnd == nullptr)
        rControl.SubclassDlgItem(static_cast<UINT>(nIdc), pDX->m_pDlgWnd);
}

CDialog::CDialog(UINT nIdTemplate, CWnd* pParentWnd)
    : m_nIdTemplate(nIdTemplate), m_pParentWnd(pParentWnd), m_bContinueModal(FALSE), m_nModalResult(-1) {}

CDialog::~CDialog() {}

const AfxMsgMap* CDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnMessage<WM_INITDIALOG, &CDialog::HandleInitDialog>(),
        afx::OnCommand<IDOK, &CDialog::OnOK>(),
        afx::OnCommand<IDCANCEL, &CDialog::OnCancel>(),
    };
    static const AfxMsgMap map = {CWnd::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    // Tab, arrows, mnemonics and the default buttons of the dialog manager.
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        return IsDialogMessageW(m_hWnd, pMsg);
    return FALSE;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
    // Wakes the loop should this come from a sent message.
    if (m_hWnd != nullptr)
        PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

INT_PTR CDialog::DoModal() {
    HINSTANCE hInst = AfxGetInstanceHandle();
    HRSRC hRes = FindResourceW(hInst, MAKEINTRESOURCEW(m_nIdTemplate), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL hTemplate = hRes ? LoadResource(hInst, hRes) : nullptr;
    if (hTemplate == nullptr)
        return -1;

    HWND hParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (hParent == nullptr && AfxGetMainWnd() != nullptr && AfxGetMainWnd() != this)
        hParent = AfxGetMainWnd()->m_hWnd;
    if (hParent != nullptr)
        hParent = GetAncestor(hParent, GA_ROOT);
    const bool bEnableParent = hParent != nullptr && IsWindowEnabled(hParent);
    if (bEnableParent)
        EnableWindow(hParent, FALSE);

    m_nModalResult = -1;
    m_bContinueModal = TRUE;
    AfxInitCommonControls();
    AfxHookWindowCreate(this);
    HWND hWnd = CreateDialogIndirectParamW(hInst, static_cast<LPCDLGTEMPLATEW>(LockResource(hTemplate)), hParent,
                                           AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    if (hWnd != nullptr) {
        if (m_bContinueModal && !IsWindowVisible(hWnd))
            ShowWindow(hWnd, SW_SHOWNORMAL);
        RunModalLoop();
    }

    // The owner comes back before this window goes, so it gets the activation.
    if (bEnableParent)
        EnableWindow(hParent, TRUE);
    if (hParent != nullptr && GetActiveWindow() == hWnd)
        SetActiveWindow(hParent);
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    return m_nModalResult;
}

void CDialog::RunModalLoop() {
    MSG msg;
    while (m_bContinueModal && m_hWnd != nullptr) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            m_nModalResult = IDABORT;
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}
