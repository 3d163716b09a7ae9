// "Kana\xB3y": each channel's name, whether a probe is wired to it, its
// calibration correction (typed, or computed from a certificate's two
// points) and the calibration's dates and certificate. The caller fills
// m_config, runs the dialog and on IDOK takes it back.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "instrument/channel_form.h"

class CChannelsDialog : public CDialog {
public:
    explicit CChannelsDialog(CWnd* pParent = nullptr);

    ChannelConfig m_config;  // in and out

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // The two points into the chosen row's offset and gain, and the line.
    void OnCompute();

private:
    ChannelForm m_form;
    int m_nInUse[9] = {};
};
