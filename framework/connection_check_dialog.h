// A settings dialog for a connection to a server (the database, the MQTT
// broker) with a button that checks the connection: the check runs on a
// thread of its own, so the window (and the readings behind it) never waits
// for the network; meanwhile the button is off and "Sprawdzanie..." shows,
// then the answer. Also the state of sending, shown at the start and every
// second, the note on a stored secret that could not be read, and the
// question before a secret goes out unencrypted.
#pragma once

#include "framework/dialog.h"
#include "framework/worker_thread.h"
#include "secrets/plain_text_secret.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class CConnectionCheckDialog : public CDialog {
public:
    bool m_bSecretUnreadable = false;  // the stored secret could not be decrypted
    // The state of sending, asked for at the start and every second.
    std::function<std::string()> m_fnState;

    static const UINT kStateTimerId = 1;

protected:
    // The dialog's own controls the check and the state show in.
    struct Controls {
        UINT nCheckButton;
        UINT nCheckResult;
        UINT nState;
        UINT nSecretNote;
    };
    // plainScheme, secureScheme: the address's schemes, for the question
    // before a secret goes in clear ("http://", "https://").
    CConnectionCheckDialog(UINT nIDTemplate, CWnd* pParent, const Controls& controls, const char* plainScheme,
                           const char* secureScheme);
    ~CConnectionCheckDialog() override;

    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;

    bool IsChecking() const { return m_pCheck != nullptr; }
    // Starts a check: run goes on the thread and gives the answer to show
    // (Windows-1250); it must own whatever it uses, as the dialog may close
    // first. cancel, when given, makes a run under way return soon: the
    // dialog then waits for it on closing; without, a run still under way
    // is let go (never waited for on the network).
    void StartCheck(std::function<std::string()> run, std::function<void()> cancel = nullptr);
    void ShowCheckResult(const std::string& strText);

    // Asks before a password goes out unencrypted to another machine.
    CPlainTextConsent m_consent;

private:
    // One check: the thread owns it with the dialog.
    struct CheckRun {
        std::atomic<bool> bCancelled{false};  // set by the dialog when it closes
        std::string strResult;                // written by the thread before it posts
    };

    LRESULT OnCheckDone(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nId);
    void OnDestroy();
    void ShowState();
    void EndCheck();

    const Controls m_controls;
    std::shared_ptr<CheckRun> m_pCheck;  // the check under way, or null
    std::function<void()> m_cancel;      // its cancel, when it has one
    CWorkerThread m_checkThread;
};
