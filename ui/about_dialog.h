// The About box and the extra settings dialog.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "ui/link_label.h"

// The maker's addresses, shared with the tests.
extern const char kMakerMail[];
extern const char kMakerSite[];
extern const char kPromoPage[];

class CAboutDialog : public CDialog {
public:
    CAboutDialog();

    CLinkLabel m_linkMail;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnLogoClicked();
    void OnMailClicked();
    LRESULT OnCtlColorStatic(WPARAM wParam, LPARAM lParam);
};

class CExtraSettingsDialog : public CDialog {
public:
    CExtraSettingsDialog();

    BOOL m_bHidePromo;  // do not show the promotion window at start
    BOOL m_bStartWithWindows = FALSE;  // this profile starts with Windows
    CButton m_checkHidePromo;
    CButton m_checkStartWithWindows;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
