// The colours dialog: a background and a text sample per display field; a
// click picks that colour for the field at once, and Cancel in the main
// window's command undoes all of them.
#pragma once

#include "common/field_index.h"
#include "framework/controls.h"
#include "framework/dialog.h"

class CReadingView;

// A static control painted all over in one colour.
class CColorSwatch : public CStatic {
public:
    ~CColorSwatch() override;

    COLORREF m_crColor = RGB(128, 128, 128);

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void OnPaint();
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
};

class CColorsDialog : public CDialog {
public:
    CColorsDialog();

    // Index 0 to 7: the fields of channels 1 to 8; index 8: channel 0. Not owned.
    CReadingView* m_pViews[9] = {};

    // (text, background) pairs in the channel order 3, 4, 5, 6, 7, 8, 0, 2, 1.
    CColorSwatch m_swatchText3, m_swatchBack3;
    CColorSwatch m_swatchText4, m_swatchBack4;
    CColorSwatch m_swatchText5, m_swatchBack5;
    CColorSwatch m_swatchText6, m_swatchBack6;
    CColorSwatch m_swatchText7, m_swatchBack7;
    CColorSwatch m_swatchText8, m_swatchBack8;
    CColorSwatch m_swatchText0, m_swatchBack0;
    CColorSwatch m_swatchText2, m_swatchBack2;
    CColorSwatch m_swatchText1, m_swatchBack1;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Channel nChannel's background (bText FALSE) or text sample was clicked.
    template <int nChannel, bool bText>
    void OnSwatchClicked() {
        ChooseFor(nChannel, bText);
    }

private:
    void ChooseFor(int nChannel, bool bText);
    CColorSwatch& Swatch(int nChannel, bool bText);
    CReadingView& View(int nChannel) { return *m_pViews[FieldOfChannel(nChannel)]; }
};
