#include "serial/port_dialog.h"

#include "serial/port_scan.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "framework/win_thread.h"
#include "res/resource.h"

#include <cstdio>

namespace {

const char kNoPortChosen[] = "Nie wybrano \xBF" "adnego portu.";
const char kCurrentPort[] = "Aktualnie u\xBFywany port: COM%d";
const char kNoCurrentPort[] = "Aktualnie \xBF" "aden port nie jest u\xBFywany";

}  // namespace

UINT __cdecl ScanThread(LPVOID pParam) {
    CWaitDialog* pWait = static_cast<CWaitDialog*>(pParam);
    std::string strList;
    if (!ListPorts(strList, &pWait->m_bCancelRequest))
        strList.clear();
    for (const std::string& strEntry : PortEntriesFromList(strList))
        pWait->m_pPortDialog->AddPort(strEntry);
    PostMessageA(pWait->GetSafeHwnd(), WM_CLOSE, 0, 0);
    return 0;
}

// ---------------------------------------------------------------------------

CWaitDialog::CWaitDialog() : CDialog(IDD_PORT_WAIT), m_bCancelRequest(FALSE), m_pPortDialog(nullptr), m_pThread(nullptr) {}

CWaitDialog::~CWaitDialog() { delete m_pThread; }

const AfxMsgMap* CWaitDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_PORT_WAIT_CANCEL, &CWaitDialog::OnCancelScan>(),
        afx::OnDestroy<&CWaitDialog::OnDestroy>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

BOOL CWaitDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bCancelRequest = FALSE;
    // Started suspended so the object cannot delete itself before it is ours.
    m_pThread = AfxBeginThread(ScanThread, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (m_pThread == nullptr) {
        // Nothing would ever close the window: the dialog gets an empty list.
        EndDialog(IDCANCEL);
        return TRUE;
    }
    m_pThread->m_bAutoDelete = FALSE;
    ResumeThread(m_pThread->m_hThread);
    return TRUE;
}

void CWaitDialog::OnCancelScan() { InterlockedExchange(&m_bCancelRequest, TRUE); }

void CWaitDialog::OnDestroy() {
    InterlockedExchange(&m_bCancelRequest, TRUE);
    WaitForWorker();
    Default();
}

void CWaitDialog::WaitForWorker() {
    if (m_pThread == nullptr)
        return;
    for (;;) {
        DWORD dwExitCode = 0;
        if (!GetExitCodeThread(m_pThread->m_hThread, &dwExitCode) || dwExitCode != STILL_ACTIVE)
            break;
        MSG msg;
        if (PeekMessageW(&msg, m_hWnd, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            continue;
        }
        // Sleeps until the worker ends or a message comes; no spinning.
        MsgWaitForMultipleObjects(1, &m_pThread->m_hThread, FALSE, INFINITE, QS_ALLINPUT);
    }
    delete m_pThread;
    m_pThread = nullptr;
}

// ---------------------------------------------------------------------------

CPortDialog::CPortDialog() : CDialog(IDD_PORTS), m_nCurrentPort(0) {}

const AfxMsgMap* CPortDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnCreate<&CPortDialog::OnCreate>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

int CPortDialog::OnCreate(LPCREATESTRUCTW) {
    if (Default() == -1)
        return -1;
    // The scan runs while this dialog is being created: the list is complete
    // before its controls are filled.
    m_entries.clear();
    CWaitDialog wait;
    wait.m_pPortDialog = this;
    wait.DoModal();
    return 0;
}

BOOL CPortDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_staticCurrent.SubclassDlgItem(IDC_PORT_CURRENT, this);
    m_comboPorts.SubclassDlgItem(IDC_PORT_LIST, this);

    char szText[64];
    if (m_nCurrentPort != 0)
        std::snprintf(szText, sizeof szText, kCurrentPort, m_nCurrentPort);
    else
        std::snprintf(szText, sizeof szText, "%s", kNoCurrentPort);
    m_staticCurrent.SetWindowText(szText);

    for (const std::string& strEntry : m_entries) {
        const std::wstring strWide = afx::Widen1250(strEntry);
        const LRESULT nIndex = ::SendMessageW(m_comboPorts.m_hWnd, CB_ADDSTRING, 0,
                                              reinterpret_cast<LPARAM>(strWide.c_str()));
        if (nIndex >= 0 && IsEntryForPort(strEntry, m_nCurrentPort))
            ::SendMessageW(m_comboPorts.m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    }
    return TRUE;
}

void CPortDialog::OnOK() {
    wchar_t szText[300] = {};
    ::GetWindowTextW(m_comboPorts.m_hWnd, szText, 300);
    const int nPort = ParseChosenPort(afx::Narrow1250(szText));
    if (nPort <= 0) {
        AfxMessageBox(kNoPortChosen, MB_OK);
        return;
    }
    m_nCurrentPort = nPort;
    CDialog::OnOK();
}
