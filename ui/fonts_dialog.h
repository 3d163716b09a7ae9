// The fonts dialog: a sample "0123456789." in each display field's value
// font; a click picks that field's font at once, and Cancel in the main
// window's command undoes all of them.
#pragma once

#include "common/field_index.h"
#include "framework/controls.h"
#include "framework/dialog.h"

class CReadingView;

class CFontsDialog : public CDialog {
public:
    CFontsDialog();

    // Index 0 to 7: the fields of channels 1 to 8; index 8: channel 0. Not owned.
    CReadingView* m_pViews[9] = {};

    // Samples in the channel order 2, 3, 4, 5, 6, 7, 8, 0, 1; they borrow
    // the fields' fonts while the dialog is open.
    CStatic m_sample2, m_sample3, m_sample4, m_sample5, m_sample6, m_sample7, m_sample8, m_sample0, m_sample1;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    template <int nChannel>
    void OnSampleClicked() {
        ChooseFor(nChannel);
    }

private:
    void ChooseFor(int nChannel);
    void ShowFont(int nChannel);
    CStatic& Sample(int nChannel);
    CReadingView* View(int nChannel) const { return m_pViews[FieldOfChannel(nChannel)]; }
};
