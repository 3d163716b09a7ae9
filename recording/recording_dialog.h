// "Rejestracja do pliku": whether and where to write the report file and
// the binary log, the report's separator, channels and opening comment, and
// the recording interval. The caller fills the members, runs the dialog and
// on IDOK takes them back; the dialog opens no file itself.
#pragma once

#include "config/recording_settings.h"
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
    // The separator is kept as it is when it is none of the three; a decimal
    // comma with the comma separator is refused at OK.
    RecordingSettings m_settings;
    std::string m_strComment;  // the report's opening block; not stored

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
    CButton m_checkHeaderNames;
    CButton m_checkAddComment;
    CEdit m_editComment;
    CButton m_checkAddSerial;
    CButton m_checkLogBinary;
    CEdit m_editBinaryPath;
};
