// "Alarmy": each channel's limits (a row with its switch, the lower and the
// upper limit), the hysteresis, the sound switch and the alarm log file. The
// caller fills m_settings, runs the dialog and on IDOK takes it back; a form
// that does not read as settings is refused with a message and stays open.
#pragma once

#include "alarms/alarm_settings.h"
#include "framework/dialog.h"

class CAlarmDialog : public CDialog {
public:
    explicit CAlarmDialog(CWnd* pParent = nullptr);

    AlarmSettings m_settings;
    // The instrument's channels: their titles name the rows, and a row of an
    // input not in use is greyed (its limits kept for when it is back).
    ChannelConfig m_channels;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    template <int Channel>
    void OnRowSwitch();
    void OnBrowseLog();
    LRESULT OnRefusalNotice(WPARAM wParam, LPARAM lParam);

private:
    void EnableRow(int nChannel);

    AlarmForm m_form;
    int m_nOn[9];  // the rows' switches as the check boxes hold them
    int m_nSound;
};
