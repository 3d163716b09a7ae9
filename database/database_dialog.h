// "Baza danych": whether and where the readings go (server address, database
// or bucket, user and password or API token), a connection check that writes
// nothing, and how sending fares. The caller fills the members, runs the
// dialog and on IDOK takes them back.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/worker_thread.h"
#include "secrets/plain_text_secret.h"
#include "database/send_rules.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class CDatabaseDialog : public CDialog {
public:
    explicit CDatabaseDialog(CWnd* pParent = nullptr);
    ~CDatabaseDialog() override;

    BOOL m_bEnabled;
    std::string m_strUrl;
    std::string m_strName;
    std::string m_strUser;
    std::string m_strSecret;     // plain, in memory only
    BOOL m_bSecretUnreadable;    // the stored secret could not be decrypted
    // The state of sending, asked for at the start and every second.
    std::function<std::string()> m_fnState;

    static const UINT kStateTimerId = 1;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnPing();
    LRESULT OnPingDone(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nId);
    void OnDestroy();

private:
    // One connection check: the thread owns it with the dialog, so the
    // dialog may close while the server keeps the check waiting.
    struct PingRun {
        std::atomic<bool> bCancelled{false};  // set by the dialog when it closes
        std::string strResult;                // written by the thread before it posts
    };

    void ShowState();
    // Ends the check: joined when it has ended, else let go (never waits
    // on the network).
    void EndPing();

    CButton m_checkEnabled;
    CEdit m_editUrl;
    CEdit m_editName;
    CEdit m_editUser;
    CEdit m_editSecret;
    // Asks before a password goes out unencrypted to another machine.
    CPlainTextConsent m_consent;
    // The check runs on a thread of its own, so the window (and the readings
    // behind it) never waits for the network.
    std::shared_ptr<PingRun> m_pPing;  // the check under way, or null
    CWorkerThread m_pingThread;
};
