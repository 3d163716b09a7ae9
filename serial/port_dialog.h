// The port dialog "Porty" and the please-wait window that runs the port
// scan on a worker thread. The scan comes first, then the dialog is made
// with the entries found:
//     CPortDialog dlg;
//     dlg.m_entries = ScanPortsWhileWaiting();
//     dlg.DoModal();
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/worker_thread.h"
#include "serial/port_scan.h"

#include <atomic>
#include <string>
#include <vector>

// What lists the ports: ListPorts, or a test's stand-in.
using PortLister = bool (*)(std::string& strList, const std::atomic<bool>* pCancel);

// Shows the wait window while a worker lists the ports; the entries found,
// in list order (none when the scan could not run or threw).
std::vector<std::string> ScanPortsWhileWaiting(PortLister list = ListPorts);

class CPortDialog : public CDialog {
public:
    CPortDialog();

    // Set before DoModal (0: no port in use); the chosen port after IDOK.
    int m_nCurrentPort;
    // The list's entries, set before DoModal.
    std::vector<std::string> m_entries;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

    CStatic m_staticCurrent;
    CWnd m_comboPorts;
};

class CWaitDialog : public CDialog {
public:
    explicit CWaitDialog(PortLister list);

    // Written by the worker; read only after it has been joined.
    std::vector<std::string> m_entries;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnCancelScan();
    void OnDestroy();
    // Runs on the worker: lists the ports, then closes the window.
    UINT Scan(HWND hWndWait);

    const PortLister m_list;
    std::atomic<bool> m_bCancelRequest;  // "Anuluj" or the window going: the scan stops between port numbers
    CWorkerThread m_worker;  // last: joined before the members it writes go
};
