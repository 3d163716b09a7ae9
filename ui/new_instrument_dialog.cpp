#include "ui/new_instrument_dialog.h"

#include "config/profile.h"
#include "framework/win_app.h"
#include "res/resource.h"

CNewInstrumentDialog::CNewInstrumentDialog() : CDialog(IDD_NEW_INSTRUMENT) {}

void CNewInstrumentDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_INSTRUMENT_NAME, m_editName);
}

void CNewInstrumentDialog::OnOK() {
    m_strName = m_editName.GetWindowText();
    if (!IsValidProfileName(m_strName)) {
        AfxMessageBox(kProfileNameRule, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(m_editName);
        return;
    }
    CDialog::OnOK();
}
