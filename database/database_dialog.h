// "Baza danych": whether and where the readings go (server address, database
// or bucket, user and password or API token), a connection check that writes
// nothing, and how sending fares. The caller fills the members, runs the
// dialog and on IDOK takes them back.
#pragma once

#include "framework/connection_check_dialog.h"
#include "framework/controls.h"
#include "database/send_rules.h"

#include <string>

class CDatabaseDialog : public CConnectionCheckDialog {
public:
    explicit CDatabaseDialog(CWnd* pParent = nullptr);

    BOOL m_bEnabled;
    std::string m_strUrl;
    std::string m_strName;
    std::string m_strUser;
    std::string m_strSecret;  // held form (secrets/secret_text.h), in memory only

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnPing();

private:
    CButton m_checkEnabled;
    CEdit m_editUrl;
    CEdit m_editName;
    CEdit m_editUser;
    CEdit m_editSecret;
};
