#include "ui/extra_settings_dialog.h"

#include "res/resource.h"

CExtraSettingsDialog::CExtraSettingsDialog() : CDialog(IDD_EXTRA_SETTINGS), m_bHidePromo(FALSE) {}

void CExtraSettingsDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HIDE_PROMO, m_checkHidePromo);
    DDX_Control(pDX, IDC_START_WITH_WINDOWS, m_checkStartWithWindows);
}

BOOL CExtraSettingsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_checkHidePromo.SetCheck(m_bHidePromo ? BST_CHECKED : BST_UNCHECKED);
    m_checkStartWithWindows.SetCheck(m_bStartWithWindows ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void CExtraSettingsDialog::OnOK() {
    m_bHidePromo = m_checkHidePromo.GetCheck() != 0;
    m_bStartWithWindows = m_checkStartWithWindows.GetCheck() != 0;
    CDialog::OnOK();
}
