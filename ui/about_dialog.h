// The About box.
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
