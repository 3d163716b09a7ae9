// "Powiadomienia": how alarms reach a person away from the PC (e-mail, a web
// hook, a program) and when (delay, silence, repeat, a daily summary), a
// test message through each way set, and how sending fares. The caller
// fills the members, runs the dialog and on IDOK takes them back.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/worker_thread.h"
#include "notify/notification.h"
#include "notify/notify_settings.h"
#include "secrets/secret_store.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What each way of sending answered: its name ("e-mail") and its result.
using NotifyTestAnswers = std::vector<std::pair<std::string, DeliveryResult>>;
// Sends one test message through each way the settings give, with the SMTP
// password in plain. Runs on a thread that may outlive the dialog (OK never
// waits for a mail server): it must own or share whatever it touches.
using NotifyTestSend = std::function<NotifyTestAnswers(const NotifySettings&, const std::string& strPassword)>;

class CNotifyDialog : public CDialog {
public:
    explicit CNotifyDialog(CWnd* pParent = nullptr);
    ~CNotifyDialog() override;

    // In and out. The password as the file holds it is not touched: a new
    // one comes back in m_strTypedSecret, for the caller to keep.
    NotifySettings m_settings;
    // The stored password: never shown, used by the test until another is typed.
    CStoredSecret m_storedSecret;
    bool m_bSecretTyped = false;   // out: the password field was changed
    std::string m_strTypedSecret;  // out: plain, in memory only; empty: none
    NotifyTestSend m_fnTestSend;
    // The state of sending (Windows-1250), asked for at the start and every second.
    std::function<std::string()> m_fnState;

    static const UINT kStateTimerId = 1;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnBrowseProgram();
    void OnTest();
    LRESULT OnTestDone(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nId);
    void OnDestroy();

private:
    // One test: the thread shares it with the dialog, so the dialog may
    // close while a server keeps the test waiting.
    struct TestRun {
        std::atomic<bool> bCancelled{false};  // set by the dialog when it closes
        NotifyTestAnswers answers;            // written by the thread before it posts
        bool bFailed = false;                 // the sending threw
    };

    // The fields into m_settings, checked. False when one cannot work: the
    // user is told (in a message box, or in control nShownIn when not 0)
    // and the field gets the focus.
    bool ReadForm(int nShownIn);
    std::string SecretForTest() const;
    void ShowState();
    // Ends the test: joined when it has ended, else let go (never waits on
    // the network).
    void EndTest();

    CEdit m_editSecret;
    std::string m_strFormat;  // the combo's selection, "json" or "text"
    std::shared_ptr<TestRun> m_pTest;  // the test under way, or null
    CWorkerThread m_testThread;
};
