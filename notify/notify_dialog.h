// "Powiadomienia": how alarms reach a person away from the PC (e-mail, a web
// hook, a program) and when (delay, silence, repeat, a daily summary), a
// test message through each way set (on a thread, as a connection check),
// and how sending fares. The caller fills the members, runs the dialog and
// on IDOK takes them back.
#pragma once

#include "framework/connection_check_dialog.h"
#include "framework/controls.h"
#include "notify/notification.h"
#include "notify/notify_settings.h"
#include "secrets/secret_store.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// What each way of sending answered: its name ("e-mail") and its result.
using NotifyTestAnswers = std::vector<std::pair<std::string, DeliveryResult>>;
// Sends one test message through each way the settings give, with the SMTP
// password in plain (secret_text.h's form). Runs on a thread that may outlive the dialog (OK never
// waits for a mail server): it must own or share whatever it touches.
using NotifyTestSend = std::function<NotifyTestAnswers(const NotifySettings&, const std::string& strPassword)>;

class CNotifyDialog : public CConnectionCheckDialog {
public:
    explicit CNotifyDialog(CWnd* pParent = nullptr);

    // In and out. The password as the file holds it is not touched: a new
    // one comes back in m_strTypedSecret, for the caller to keep.
    NotifySettings m_settings;
    // The stored password: never shown, used by the test until another is typed.
    CStoredSecret m_storedSecret;
    bool m_bSecretTyped = false;   // out: the password field was changed
    std::string m_strTypedSecret;  // out: plain (secret_text.h's form), in memory only; empty: none
    NotifyTestSend m_fnTestSend;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnBrowseProgram();
    void OnTest();

private:
    // The fields into m_settings, checked. False when one cannot work: the
    // user is told (in a message box, or in control nShownIn when not 0)
    // and the field gets the focus.
    bool ReadForm(int nShownIn);
    // The password field's text, held as secret_text.h says.
    std::string TypedSecret() const;
    std::string SecretForTest() const;

    CEdit m_editSecret;
    std::string m_strFormat;  // the combo's selection, "json" or "text"
};
