// The port dialog "Porty" and the please-wait window that runs the port
// scan on a worker thread before the dialog shows its list.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

#include <string>
#include <vector>

class CWinThread;

class CPortDialog : public CDialog {
public:
    CPortDialog();

    // Set before DoModal (0: no port in use); the chosen port after IDOK.
    int m_nCurrentPort;

    // Called by the scan's worker while the wait window runs; the dialog's
    // own thread reads the entries only after the worker has ended.
    void AddPort(const std::string& strEntry) { m_entries.push_back(strEntry); }
    const std::vector<std::string>& Entries() const { return m_entries; }

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    int OnCreate(LPCREATESTRUCTW pCreate);

    CStatic m_staticCurrent;
    CWnd m_comboPorts;
    std::vector<std::string> m_entries;
};

class CWaitDialog : public CDialog {
public:
    CWaitDialog();
    ~CWaitDialog() override;

    volatile LONG m_bCancelRequest;  // "Anuluj": the scan stops between port numbers
    CPortDialog* m_pPortDialog;      // receives the entries; not owned
    CWinThread* m_pThread;           // the scan's worker; deleted once it has ended

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnCancelScan();
    void OnDestroy();
    void WaitForWorker();
};

// The worker thread's procedure; pParam is the CWaitDialog.
UINT __cdecl ScanThread(LPVOID pParam);
