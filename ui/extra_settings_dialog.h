// "Ustawienia dodatkowe": whether the promotion window shows at start and
// whether this profile starts with Windows.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

class CExtraSettingsDialog : public CDialog {
public:
    CExtraSettingsDialog();

    BOOL m_bHidePromo;                 // do not show the promotion window at start
    BOOL m_bStartWithWindows = FALSE;  // this profile starts with Windows
    CButton m_checkHidePromo;
    CButton m_checkStartWithWindows;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
