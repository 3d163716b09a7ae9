// "MQTT": whether and where the readings are published (broker address,
// user and password, base topic, Home Assistant discovery and its prefix,
// an extra CA certificate), a connection check that publishes nothing, and
// how publishing fares. The caller fills the members, runs the dialog and
// on IDOK takes them back.
#pragma once

#include "config/mqtt_settings.h"
#include "secrets/plain_text_secret.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/worker_thread.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_socket.h"

#include <functional>
#include <memory>
#include <string>

class CMqttDialog : public CDialog {
public:
    explicit CMqttDialog(CWnd* pParent = nullptr);
    ~CMqttDialog() override;

    MqttSettings m_settings;  // the secret as the file keeps it is not touched
    std::string m_strSecret;  // plain, in memory only
    bool m_bSecretUnreadable = false;
    // The state of publishing, asked for at the start and every second.
    std::function<std::string()> m_fnState;

    static const UINT kStateTimerId = 1;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnCheck();
    LRESULT OnCheckDone(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nId);
    void OnDestroy();

private:
    void ShowState();
    // Cancels a check under way and waits for its thread: never longer than
    // the thread takes to notice.
    void EndCheck();

    BOOL m_bEnabled = FALSE;
    BOOL m_bDiscovery = TRUE;
    CEdit m_editUrl;
    CEdit m_editUser;
    CEdit m_editSecret;
    CEdit m_editBase;
    CEdit m_editPrefix;
    CEdit m_editCaFile;
    // Asks before a password goes out unencrypted to another machine.
    CPlainTextConsent m_consent;
    // The check runs on a thread of its own, so the window (and the readings
    // behind it) never waits for the network.
    std::unique_ptr<CMqttSocket> m_checkSocket;
    MqttPublisherConfig m_checkConfig;  // read by the check's thread
    MqttCheckResult m_checkResult;      // written by it before it posts
    CWorkerThread m_checkThread;
};
