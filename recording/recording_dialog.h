// "Rejestracja do pliku": whether and where to write the report file and
// the binary log, the report's separator, channels and opening comment, and
// the recording interval. The caller fills the members, runs the dialog and
// on IDOK takes them back; the dialog opens no file itself.
#pragma once

#include "framework/controls.h"
#include "framework/date_time_ctrl.h"
#include "framework/dialog.h"

#include <string>

class CRecordingDialog : public CDialog {
public:
    explicit CRecordingDialog(CWnd* pParent = nullptr);

    // Members follow each control as the user changes it (the paths and the
    // interval when their control loses the focus, the comment and the
    // serial-number option at OK).
    BOOL m_bAddComment;
    BOOL m_bAddSerial;
    std::string m_strComment;
    BOOL m_bRecord[9];  // by channel 0 to 8
    int m_nSeparator;   // 0 tab, 1 comma, 2 semicolon; another code is kept as it is
    BOOL m_bDecimalComma;  // values with a decimal comma: refused at OK with the comma separator
    int m_nInterval;    // seconds
    std::string m_strReportPath;
    std::string m_strBinaryPath;
    BOOL m_bLogReport;
    BOOL m_bLogBinary;

    // The control of each channel's box, by channel 0 to 8.
    static const int kChannelBoxIds[9];

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnBrowseReport();
    void OnIntervalKillFocus(NMHDR* pNmhdr, LRESULT* pResult);
    void OnReportCheck();
    void OnReportPathKillFocus();
    template <int Channel>
    void OnChannelCheck();
    void OnCommentCheck();
    void OnBrowseBinary();
    void OnBinaryPathKillFocus();
    void OnBinaryCheck();
    template <int Code>
    void OnSeparator();

private:
    void EnableReportGroup(BOOL bEnable);
    void EnableCommentPair(BOOL bEnable);
    void EnableBinaryGroup(BOOL bEnable);
    void EnableControls(const int* ids, int count, BOOL bEnable);

    CDateTimeCtrl m_pickerInterval;
    CButton m_checkLogReport;
    CEdit m_editReportPath;
    CButton m_checkRecord[9];
    CButton m_radioSeparator[3];
    CButton m_checkDecimalComma;
    CButton m_checkAddComment;
    CEdit m_editComment;
    CButton m_checkAddSerial;
    CButton m_checkLogBinary;
    CEdit m_editBinaryPath;
};
