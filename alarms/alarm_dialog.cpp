#include "alarms/alarm_dialog.h"

#include "framework/app_messages.h"
#include "framework/controls.h"
#include "framework/file_dialog.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "res/resource.h"

#include <iterator>

CAlarmDialog::CAlarmDialog(CWnd* pParent) : CDialog(IDD_ALARMS, pParent), m_nOn(), m_nSound(0) {}

const AfxMsgMap* CAlarmDialog::GetThisMessageMap() {
    typedef CAlarmDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_ALARM_ON0 + 0, &C::OnRowSwitch<0>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 1, &C::OnRowSwitch<1>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 2, &C::OnRowSwitch<2>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 3, &C::OnRowSwitch<3>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 4, &C::OnRowSwitch<4>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 5, &C::OnRowSwitch<5>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 6, &C::OnRowSwitch<6>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 7, &C::OnRowSwitch<7>>(),
        afx::OnCommand<IDC_ALARM_ON0 + 8, &C::OnRowSwitch<8>>(),
        afx::OnCommand<IDC_ALARM_BROWSE_LOG, &C::OnBrowseLog>(),
        afx::OnMessage<WM_ALARM_REFUSAL_NOTICE, &C::OnRefusalNotice>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CAlarmDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int c = 0; c < 9; ++c) {
        DDX_Check(pDX, IDC_ALARM_ON0 + c, m_nOn[c]);
        DDX_Text(pDX, IDC_ALARM_LOW0 + c, m_form.rows[c].strLow);
        DDX_Text(pDX, IDC_ALARM_HIGH0 + c, m_form.rows[c].strHigh);
    }
    DDX_Text(pDX, IDC_ALARM_HYSTERESIS, m_form.strHysteresis);
    DDX_Check(pDX, IDC_ALARM_SOUND, m_nSound);
    DDX_Text(pDX, IDC_ALARM_LOG_PATH, m_form.strLogPath);
}

BOOL CAlarmDialog::OnInitDialog() {
    m_form = MakeAlarmForm(m_settings);
    for (int c = 1; c < 9; ++c)
        m_form.strTitles[c] = m_channels.Title(c);
    for (int c = 0; c < 9; ++c)
        m_nOn[c] = m_form.rows[c].bOn ? BST_CHECKED : BST_UNCHECKED;
    m_nSound = m_form.bSound ? BST_CHECKED : BST_UNCHECKED;
    CDialog::OnInitDialog();
    for (int c = 0; c < 9; ++c) {
        if (c > 0)
            SetDlgItemTextW(m_hWnd, IDC_ALARM_ON0 + c, afx::Widen1250(m_form.strTitles[c]).c_str());
        ::EnableWindow(GetDlgItem(IDC_ALARM_ON0 + c), m_channels[c].bInUse);
        EnableRow(c);
    }
    if (!m_settings.Refusal().empty())
        PostMessageW(m_hWnd, WM_ALARM_REFUSAL_NOTICE, 0, 0);
    return TRUE;
}

// Hand-written limits the program refused, shown as written: why, as OK would say.
LRESULT CAlarmDialog::OnRefusalNotice(WPARAM, LPARAM) {
    AfxMessageBox(m_settings.Refusal(), MB_ICONEXCLAMATION);
    return 0;
}

// A switched-off row keeps what is typed in it, greyed, for switching on again.
void CAlarmDialog::EnableRow(int nChannel) {
    const BOOL bOn = IsDlgButtonChecked(m_hWnd, IDC_ALARM_ON0 + nChannel) == BST_CHECKED && m_channels[nChannel].bInUse;
    ::EnableWindow(GetDlgItem(IDC_ALARM_LOW0 + nChannel), bOn);
    ::EnableWindow(GetDlgItem(IDC_ALARM_HIGH0 + nChannel), bOn);
}

template <int Channel>
void CAlarmDialog::OnRowSwitch() {
    EnableRow(Channel);
}

void CAlarmDialog::OnBrowseLog() {
    // Events are appended to a file that exists, so choosing one asks nothing.
    CFileDialog chooser(FALSE, "csv", "", 0,
                        "Lista CSV (*.csv)|*.csv|Plik tekstowy (*.txt)|*.txt||", this);
    chooser.m_strTitle = "Wybierz plik dziennika alarm\xF3w";
    chooser.m_strDefExt = "csv";
    if (chooser.DoModal() != IDOK)
        return;
    SetDlgItemTextW(m_hWnd, IDC_ALARM_LOG_PATH, afx::Widen1250(chooser.GetPathName()).c_str());
}

void CAlarmDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    for (int c = 0; c < 9; ++c)
        m_form.rows[c].bOn = m_nOn[c] == BST_CHECKED;
    m_form.bSound = m_nSound == BST_CHECKED;
    const std::string refusal = ReadAlarmForm(m_form, &m_settings);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}
