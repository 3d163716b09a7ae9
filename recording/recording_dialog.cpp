#include "recording/recording_dialog.h"

#include "framework/file_dialog.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "recording/file_period.h"
#include "recording/recording_rules.h"
#include "res/resource.h"

#include <iterator>

namespace {

const char kNoChannelChosen[] = "Wybierz przynajmniej jedn\xB9 wielko\x9C\xE6 do zapisu";
const char kCommaWithComma[] =
    "Przecinek dziesi\xEAtny wymaga innego separatora kolumn: wybierz \x9Crednik albo tabulator.";

const int kReportGroup[] = {
    IDC_REC_BROWSE_REPORT, IDC_REC_SEP_TAB, IDC_REC_SEP_COMMA, IDC_REC_SEP_SEMICOLON, IDC_REC_REPORT_PATH,
    IDC_REC_REPORT_LABEL,  IDC_REC_SEPARATOR_LABEL,
    IDC_REC_TEMP0, IDC_REC_TEMP1, IDC_REC_TEMP2, IDC_REC_TEMP3, IDC_REC_TEMP4, IDC_REC_TEMP5, IDC_REC_TEMP6,
    IDC_REC_TEMP7, IDC_REC_TEMP8, IDC_REC_ADD_COMMENT, IDC_REC_DECIMAL_COMMA, IDC_REC_HEADER_NAMES,
};
const int kCommentPair[] = {IDC_REC_ADD_SERIAL, IDC_REC_COMMENT};
const int kBinaryGroup[] = {IDC_REC_BROWSE_BINARY, IDC_REC_BINARY_PATH, IDC_REC_BINARY_LABEL};
const int kSeparatorIds[3] = {IDC_REC_SEP_TAB, IDC_REC_SEP_COMMA, IDC_REC_SEP_SEMICOLON};

const char* const kReportExtensions[] = {".txt", ".csv"};
const char* const kBinaryExtensions[] = {".kvf"};
// "Nowy plik:", by FileSplit code.
const char* const kSplitTexts[] = {"nigdy", "co dzie\xF1", "co tydzie\xF1", "co miesi\xB9" "c"};

// The picker holds a time of day; its date is fixed.
SYSTEMTIME PickerTime(int nSeconds) {
    const IntervalParts parts = SplitRecordInterval(nSeconds);
    SYSTEMTIME time = {};
    time.wYear = 2000;
    time.wMonth = 1;
    time.wDay = 1;
    time.wHour = static_cast<WORD>(parts.nHour);
    time.wMinute = static_cast<WORD>(parts.nMinute);
    time.wSecond = static_cast<WORD>(parts.nSecond);
    return time;
}

}  // namespace

const int CRecordingDialog::kChannelBoxIds[9] = {IDC_REC_TEMP0, IDC_REC_TEMP1, IDC_REC_TEMP2,
                                                 IDC_REC_TEMP3, IDC_REC_TEMP4, IDC_REC_TEMP5,
                                                 IDC_REC_TEMP6, IDC_REC_TEMP7, IDC_REC_TEMP8};

CRecordingDialog::CRecordingDialog(CWnd* pParent) : CDialog(IDD_RECORDING, pParent) {}

const AfxMsgMap* CRecordingDialog::GetThisMessageMap() {
    typedef CRecordingDialog C;
    static const AfxMsgEntry entries[] = {
        afx::OnCommand<IDC_REC_BROWSE_REPORT, &C::OnBrowseReport>(),
        afx::OnNotify<NM_KILLFOCUS, IDC_REC_INTERVAL, &C::OnIntervalKillFocus>(),
        afx::OnCommand<IDC_REC_LOG_REPORT, &C::OnReportCheck>(),
        afx::OnControl<EN_KILLFOCUS, IDC_REC_REPORT_PATH, &C::OnReportPathKillFocus>(),
        afx::OnCommand<IDC_REC_TEMP1, &C::OnChannelCheck<1>>(),
        afx::OnCommand<IDC_REC_TEMP2, &C::OnChannelCheck<2>>(),
        afx::OnCommand<IDC_REC_TEMP3, &C::OnChannelCheck<3>>(),
        afx::OnCommand<IDC_REC_TEMP4, &C::OnChannelCheck<4>>(),
        afx::OnCommand<IDC_REC_TEMP5, &C::OnChannelCheck<5>>(),
        afx::OnCommand<IDC_REC_TEMP6, &C::OnChannelCheck<6>>(),
        afx::OnCommand<IDC_REC_TEMP7, &C::OnChannelCheck<7>>(),
        afx::OnCommand<IDC_REC_TEMP8, &C::OnChannelCheck<8>>(),
        afx::OnCommand<IDC_REC_TEMP0, &C::OnChannelCheck<0>>(),
        afx::OnCommand<IDC_REC_ADD_COMMENT, &C::OnCommentCheck>(),
        afx::OnCommand<IDC_REC_BROWSE_BINARY, &C::OnBrowseBinary>(),
        afx::OnControl<EN_KILLFOCUS, IDC_REC_BINARY_PATH, &C::OnBinaryPathKillFocus>(),
        afx::OnCommand<IDC_REC_LOG_BINARY, &C::OnBinaryCheck>(),
        afx::OnCommand<IDC_REC_SEP_TAB, &C::OnSeparator<0>>(),
        afx::OnCommand<IDC_REC_SEP_COMMA, &C::OnSeparator<1>>(),
        afx::OnCommand<IDC_REC_SEP_SEMICOLON, &C::OnSeparator<2>>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CRecordingDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_REC_INTERVAL, m_pickerInterval);
    DDX_Control(pDX, IDC_REC_LOG_REPORT, m_checkLogReport);
    DDX_Control(pDX, IDC_REC_REPORT_PATH, m_editReportPath);
    for (int channel = 0; channel < 9; ++channel)
        DDX_Control(pDX, kChannelBoxIds[channel], m_checkRecord[channel]);
    for (int i = 0; i < 3; ++i)
        DDX_Control(pDX, kSeparatorIds[i], m_radioSeparator[i]);
    DDX_Control(pDX, IDC_REC_DECIMAL_COMMA, m_checkDecimalComma);
    DDX_Control(pDX, IDC_REC_HEADER_NAMES, m_checkHeaderNames);
    DDX_Control(pDX, IDC_REC_ADD_COMMENT, m_checkAddComment);
    DDX_Control(pDX, IDC_REC_COMMENT, m_editComment);
    DDX_Control(pDX, IDC_REC_ADD_SERIAL, m_checkAddSerial);
    DDX_Control(pDX, IDC_REC_LOG_BINARY, m_checkLogBinary);
    DDX_Control(pDX, IDC_REC_BINARY_PATH, m_editBinaryPath);
}

BOOL CRecordingDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_settings.bLogReport) {
        m_checkLogReport.SetCheck(BST_CHECKED);
    } else {
        EnableReportGroup(FALSE);
        EnableCommentPair(FALSE);
    }
    if (m_settings.bLogBinary)
        m_checkLogBinary.SetCheck(BST_CHECKED);
    else
        EnableBinaryGroup(FALSE);
    for (int channel = 0; channel < 9; ++channel)
        if (m_settings.bRecord[channel])
            m_checkRecord[channel].SetCheck(BST_CHECKED);
    if (m_settings.bAddComment)
        m_checkAddComment.SetCheck(BST_CHECKED);
    else
        EnableCommentPair(FALSE);
    if (m_settings.bAddSerial)
        m_checkAddSerial.SetCheck(BST_CHECKED);
    m_editComment.SetWindowText(m_strComment);
    // An interval, not a time of day: never "1:02:05 PM", whatever the
    // user's clock format.
    m_pickerInterval.SetFormat(L"HH:mm:ss");
    m_pickerInterval.SetTime(PickerTime(m_settings.nInterval));
    if (m_settings.nSeparator >= 0 && m_settings.nSeparator < 3)
        m_radioSeparator[m_settings.nSeparator].SetCheck(BST_CHECKED);
    if (m_settings.bDecimalComma)
        m_checkDecimalComma.SetCheck(BST_CHECKED);
    if (m_settings.bHeaderNames)
        m_checkHeaderNames.SetCheck(BST_CHECKED);
    m_editReportPath.SetWindowText(m_settings.strReportPath);
    m_editBinaryPath.SetWindowText(m_settings.strBinaryPath);
    const HWND hSplit = GetDlgItem(IDC_REC_SPLIT);
    for (const char* text : kSplitTexts)
        ::SendMessageW(hSplit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(afx::Widen1250(text).c_str()));
    ::SendMessageW(hSplit, CB_SETCURSEL, FileSplitInForce(m_settings.nFileSplit), 0);
    return TRUE;
}

void CRecordingDialog::EnableControls(const int* ids, int count, BOOL bEnable) {
    for (int i = 0; i < count; ++i)
        ::EnableWindow(GetDlgItem(ids[i]), bEnable);
}

void CRecordingDialog::EnableReportGroup(BOOL bEnable) {
    EnableControls(kReportGroup, static_cast<int>(std::size(kReportGroup)), bEnable);
}

void CRecordingDialog::EnableCommentPair(BOOL bEnable) {
    EnableControls(kCommentPair, static_cast<int>(std::size(kCommentPair)), bEnable);
}

void CRecordingDialog::EnableBinaryGroup(BOOL bEnable) {
    EnableControls(kBinaryGroup, static_cast<int>(std::size(kBinaryGroup)), bEnable);
}

void CRecordingDialog::OnReportCheck() {
    m_settings.bLogReport = m_checkLogReport.GetCheck();
    if (m_settings.bLogReport) {
        EnableReportGroup(TRUE);
        OnCommentCheck();
    } else {
        EnableReportGroup(FALSE);
        EnableCommentPair(FALSE);
    }
}

void CRecordingDialog::OnCommentCheck() {
    m_settings.bAddComment = m_checkAddComment.GetCheck() == BST_CHECKED;
    EnableCommentPair(m_settings.bAddComment);
}

void CRecordingDialog::OnBinaryCheck() {
    m_settings.bLogBinary = m_checkLogBinary.GetCheck();
    EnableBinaryGroup(m_settings.bLogBinary);
}

template <int Channel>
void CRecordingDialog::OnChannelCheck() {
    m_settings.bRecord[Channel] = m_checkRecord[Channel].GetCheck() == BST_CHECKED;
}

template <int Code>
void CRecordingDialog::OnSeparator() {
    m_settings.nSeparator = Code;
}

void CRecordingDialog::OnReportPathKillFocus() { m_settings.strReportPath = m_editReportPath.GetWindowText(); }

void CRecordingDialog::OnBinaryPathKillFocus() { m_settings.strBinaryPath = m_editBinaryPath.GetWindowText(); }

void CRecordingDialog::OnIntervalKillFocus(NMHDR*, LRESULT* pResult) {
    SYSTEMTIME time = {};
    const bool bValid = m_pickerInterval.GetTime(&time) == GDT_VALID;
    m_settings.nInterval = RecordIntervalFromPicker(bValid, time.wHour, time.wMinute, time.wSecond);
    // 00:00:00 (or no time at all) is shown as the 1 s it stands for.
    if (!bValid || time.wHour * 3600 + time.wMinute * 60 + time.wSecond == 0)
        m_pickerInterval.SetTime(PickerTime(m_settings.nInterval));
    *pResult = 0;
}

void CRecordingDialog::OnBrowseReport() {
    CFileDialog chooser(TRUE, "", "", OFN_OVERWRITEPROMPT,
                        "Plik tekstowy (*.txt)|*.txt|Lista CSV (*.csv)|*.csv||", nullptr);
    chooser.m_strTitle = "Wybierz plik raportu";
    chooser.m_strDefExt = "csv";
    if (chooser.DoModal() != IDOK)
        return;
    m_settings.strReportPath = WithFilterExtension(chooser.GetPathName(), !chooser.HasNoExtension(),
                                                   static_cast<int>(chooser.m_ofn.nFilterIndex), kReportExtensions,
                                                   static_cast<int>(std::size(kReportExtensions)));
    m_editReportPath.SetWindowText(m_settings.strReportPath);
}

void CRecordingDialog::OnBrowseBinary() {
    CFileDialog chooser(TRUE, "", "", OFN_OVERWRITEPROMPT, "Plik binarny (*.kvf)|*.kvf||", nullptr);
    chooser.m_strTitle = "Wybierz plik binarny";
    chooser.m_strDefExt = "kvf";
    chooser.m_ofn.nFilterIndex = 1;
    if (chooser.DoModal() != IDOK)
        return;
    m_settings.strBinaryPath = WithFilterExtension(chooser.GetPathName(), !chooser.HasNoExtension(),
                                                   static_cast<int>(chooser.m_ofn.nFilterIndex), kBinaryExtensions,
                                                   static_cast<int>(std::size(kBinaryExtensions)));
    m_editBinaryPath.SetWindowText(m_settings.strBinaryPath);
}

void CRecordingDialog::OnOK() {
    m_strComment = m_editComment.GetWindowText();
    m_settings.bAddSerial = m_checkAddSerial.GetCheck();
    // Enter in a path or the picker ends the dialog without their losing
    // the focus first; what they show is what the user confirmed.
    OnReportPathKillFocus();
    OnBinaryPathKillFocus();
    LRESULT result = 0;
    OnIntervalKillFocus(nullptr, &result);
    m_settings.bDecimalComma = m_checkDecimalComma.GetCheck() == BST_CHECKED;
    m_settings.bHeaderNames = m_checkHeaderNames.GetCheck() == BST_CHECKED;
    // A hand-written code the list does not show stays unless another is chosen.
    const int nSplit = static_cast<int>(::SendMessageW(GetDlgItem(IDC_REC_SPLIT), CB_GETCURSEL, 0, 0));
    if (nSplit >= 0 && nSplit != FileSplitInForce(m_settings.nFileSplit))
        m_settings.nFileSplit = nSplit;
    // A comma would then both part the columns and the decimals.
    if (m_settings.bLogReport && m_settings.bDecimalComma && m_settings.nSeparator == 1) {
        AfxMessageBox(kCommaWithComma, MB_ICONEXCLAMATION);
        return;
    }
    for (BOOL bRecord : m_settings.bRecord)
        if (bRecord) {
            EndDialog(IDOK);
            return;
        }
    AfxMessageBox(kNoChannelChosen, MB_ICONINFORMATION);
}
