#include "serial/port_dialog.h"

#include "framework/text.h"
#include "framework/win_app.h"
#include "res/resource.h"

#include <cstdio>
#include <utility>

namespace {

const char kNoPortChosen[] = "Nie wybrano \xBF" "adnego portu.";
const char kCurrentPort[] = "Aktualnie u\xBFywany port: COM%d";
const char kNoCurrentPort[] = "Aktualnie \xBF" "aden port nie jest u\xBFywany";

}  // namespace

std::vector<std::string> ScanPortsWhileWaiting(PortLister list) {
    CWaitDialog wait(list);
    wait.DoModal();
    return std::move(wait.m_entries);  // the worker was joined when the window went
}

// ---------------------------------------------------------------------------

CWaitDialog::CWaitDialog(PortLister list) : CDialog(IDD_PORT_WAIT), m_list(list), m_bCancelRequest(false) {}

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
    m_bCancelRequest = false;
    const HWND hWnd = m_hWnd;  // the worker's own copy
    if (!m_worker.Start([this, hWnd] { return Scan(hWnd); })) {
        // Nothing would ever close the window: the dialog gets an empty list.
        EndDialog(IDCANCEL);
    }
    return TRUE;
}

UINT CWaitDialog::Scan(HWND hWndWait) {
    // Nothing else closes the window: it goes whatever happens below. A
    // throw goes on to the worker's one catch, which reports it as any
    // thread's failure.
    struct CCloser {
        HWND hWnd;
        ~CCloser() { PostMessageW(hWnd, WM_CLOSE, 0, 0); }
    } closer{hWndWait};
    std::string strList;
    if (!m_list(strList, &m_bCancelRequest))
        strList.clear();
    m_entries = PortEntriesFromList(strList);
    return 0;
}

void CWaitDialog::OnCancelScan() { m_bCancelRequest = true; }

void CWaitDialog::OnDestroy() {
    // The worker only posts to this window, never sends: joining it here
    // cannot wait for this thread.
    m_bCancelRequest = true;
    m_worker.Join();
    Default();
}

// ---------------------------------------------------------------------------

CPortDialog::CPortDialog() : CDialog(IDD_PORTS), m_nCurrentPort(0) {}


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
