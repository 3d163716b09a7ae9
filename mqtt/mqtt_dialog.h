// "MQTT": whether and where the readings are published (broker address,
// user and password, base topic, Home Assistant discovery and its prefix,
// an extra CA certificate), a connection check that publishes nothing, and
// how publishing fares. The caller fills the members, runs the dialog and
// on IDOK takes them back.
#pragma once

#include "config/mqtt_settings.h"
#include "framework/connection_check_dialog.h"
#include "framework/controls.h"

#include <string>

class CMqttDialog : public CConnectionCheckDialog {
public:
    explicit CMqttDialog(CWnd* pParent = nullptr);

    MqttSettings m_settings;  // the secret as the file keeps it is not touched
    std::string m_strSecret;  // held form (secrets/secret_text.h), in memory only

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnCheck();

private:
    BOOL m_bEnabled = FALSE;
    BOOL m_bDiscovery = TRUE;
    CEdit m_editUrl;
    CEdit m_editUser;
    CEdit m_editSecret;
    CEdit m_editBase;
    CEdit m_editPrefix;
    CEdit m_editCaFile;
};
