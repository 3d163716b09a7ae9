#include "ui/channels_dialog.h"

#include "framework/controls.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "res/resource.h"

#include <iterator>

namespace {

// The control of each field of row 0, by ChannelKey.
const int kFieldControls[kChannelKeys] = {IDC_CH_NAME0,     IDC_CH_IN_USE0,  IDC_CH_GAIN0, IDC_CH_OFFSET0,
                                          IDC_CH_CAL_DATE0, IDC_CH_CAL_DUE0, IDC_CH_CERT0};

std::string ItemText(HWND hDlg, int nIdc) {
    wchar_t text[64] = {};
    GetDlgItemTextW(hDlg, nIdc, text, static_cast<int>(std::size(text)));
    return afx::Narrow1250(text);
}

}  // namespace

CChannelsDialog::CChannelsDialog(CWnd* pParent) : CDialog(IDD_CHANNELS, pParent) {}

const AfxMsgMap* CChannelsDialog::GetThisMessageMap() {
    typedef CChannelsDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_CH_COMPUTE, &C::OnCompute>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CChannelsDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int k = 1; k <= 8; ++k) {
        ChannelForm::Row& row = m_form.rows[k];
        DDX_ExactText(pDX, IDC_CH_NAME0 + k, row.strName);
        DDX_Check(pDX, IDC_CH_IN_USE0 + k, m_nInUse[k]);
        DDX_Text(pDX, IDC_CH_OFFSET0 + k, row.strOffset);
        DDX_Text(pDX, IDC_CH_GAIN0 + k, row.strGain);
        DDX_Text(pDX, IDC_CH_CAL_DATE0 + k, row.strCalDate);
        DDX_Text(pDX, IDC_CH_CAL_DUE0 + k, row.strCalDue);
        DDX_ExactText(pDX, IDC_CH_CERT0 + k, row.strCertificate);
    }
}

BOOL CChannelsDialog::OnInitDialog() {
    m_form = MakeChannelForm(m_config);
    for (int k = 1; k <= 8; ++k)
        m_nInUse[k] = m_form.rows[k].bInUse ? BST_CHECKED : BST_UNCHECKED;
    CDialog::OnInitDialog();
    const HWND hChannel = GetDlgItem(IDC_CH_POINT_CHANNEL);
    for (int k = 1; k <= 8; ++k) {
        ::SendMessageW(GetDlgItem(IDC_CH_NAME0 + k), EM_LIMITTEXT, ChannelSettings::kMaxName, 0);
        ::SendMessageW(hChannel, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(k).c_str()));
    }
    ::SendMessageW(hChannel, CB_SETCURSEL, 0, 0);
    return TRUE;
}

void CChannelsDialog::OnCompute() {
    const int k = static_cast<int>(::SendMessageW(GetDlgItem(IDC_CH_POINT_CHANNEL), CB_GETCURSEL, 0, 0)) + 1;
    if (k < 1 || k > 8)
        return;
    const TwoPointResult result =
        ComputeTwoPointCorrection(ItemText(m_hWnd, IDC_CH_READ1), ItemText(m_hWnd, IDC_CH_REF1),
                                  ItemText(m_hWnd, IDC_CH_READ2), ItemText(m_hWnd, IDC_CH_REF2));
    std::string line = result.strRefusal;
    if (line.empty()) {
        SetDlgItemTextW(m_hWnd, IDC_CH_OFFSET0 + k, afx::Widen1250(FormatChannelDecimal(result.offset)).c_str());
        SetDlgItemTextW(m_hWnd, IDC_CH_GAIN0 + k, afx::Widen1250(FormatChannelDecimal(result.gain)).c_str());
        line = "Kana\xB3 " + std::to_string(k) + ": " + DescribeCorrection(result.gain, result.offset);
    }
    SetDlgItemTextW(m_hWnd, IDC_CH_COMPUTED, afx::Widen1250(line).c_str());
}

void CChannelsDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    for (int k = 1; k <= 8; ++k)
        m_form.rows[k].bInUse = m_nInUse[k] == BST_CHECKED;
    int channel = 0, key = 0;
    const std::string refusal = ReadChannelForm(m_form, &m_config, &channel, &key);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_ICONEXCLAMATION);
        ::SetFocus(GetDlgItem(kFieldControls[key] + channel));
        return;
    }
    EndDialog(IDOK);
}
