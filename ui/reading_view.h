// The display field of one channel: a title strip across the top and the
// channel's value below it, centred, in a large font with its unit; "???"
// while there is no value. The field also holds the channel's current
// reading, which the main window writes and the DDE server, the recording
// and the configuration read.
#pragma once

#include "framework/controls.h"
#include "framework/gdi.h"
#include "framework/memory_bitmap.h"

#include <string>

class CReadingView : public CStatic {
public:
    CReadingView();
    ~CReadingView() override;

    // Each redraws only when something changed (SetNoValue always).
    void SetValue(double dValue);
    void SetNoValue();
    // TRUE: blinks from the next blink tick on. FALSE: shows the value again at once.
    void SetAlert(BOOL bOn);
    void SetFineResolution(BOOL bFine);
    void SetQuantity(int nMeasured, int nDisplay, BOOL bShowUnit);
    // The channel's alarm (1 high, -1 low, 0 none): a red title strip with an
    // arrow and a red frame, steady while the value blinks or shows "???".
    void SetAlarmMark(int nMark);
    int AlarmMark() const { return m_nAlarmMark; }

    // Makes m_lfValue the value font (face name in Windows-1250).
    void SetValueFont(LOGFONTA lf);
    // The font and colour common dialogs, for the fonts and colours dialogs.
    void ChooseValueFont();
    void ChooseBackgroundColor();
    void ChooseTextColor();

    static double ConvertQuantity(double dValue, int nMeasured, int nDisplay);

    // Redraws the value area alone (below the title strip), at once: what
    // a new value or a blink changes.
    void RedrawValue();
    // Redraws the field from row top down, at once.
    void RedrawFrom(int top);

    // The look, read and written by the owner (blinking, configuration,
    // the colours and fonts dialogs).
    std::string m_strLabel;
    BOOL m_bHidden;  // blink phase: the value is not drawn
    CFont m_fontValue;
    CFont m_fontLabel;
    LOGFONTA m_lfValue;
    COLORREF m_crText;
    COLORREF m_crBackground;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void OnPaint();
    void OnTimer(UINT_PTR nId);
    // The paint covers every pixel: nothing is erased first.
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return 1; }

private:
    // What the setters were last told, kept only to paint it and to skip
    // repaints that would change nothing.
    BOOL m_bAlert;
    std::string m_strText;  // the value text of the last paint
    BOOL m_bFineResolution;
    BOOL m_bShowUnit;
    double m_dDisplayed;
    double m_dValue;  // meaningful while m_bNoValue is FALSE; NaN until the first value
    BOOL m_bNoValue;
    int m_nMeasuredQuantity;
    int m_nDisplayQuantity;
    int m_nAlarmMark;

    // Makes the kept picture show the field as it is now, over client;
    // false when there is no memory for it.
    bool UpdatePicture(HDC hRef, const RECT& client);
    // The whole field drawn into dc over client.
    void PaintField(CDC& dc, const RECT& client);
    void PaintValue(CDC& dc, RECT area);
    // m_strText and whether it has a raised unit, from the current reading.
    bool FormatValue();
    // The font the value text is drawn in: the value font, or the same face
    // made small enough for the area; made again only when the text, the
    // area or the value font changed.
    HFONT FittedFont(CDC& dc, const RECT& area);
    void PaintAlarmTitle(CDC& dc, const RECT& strip);
    void PaintAlarmFrame(CDC& dc, const RECT& client);
    void RunColorDialog(COLORREF& crColor);

    // Kept between paints (what Windows makes slowly, above all under Wine):
    // the field's picture, redrawn only when something shown changed, and
    // the fitted value font.
    CMemoryBitmap m_picture;
    struct Shown {
        std::string strText, strLabel;
        bool bRaised, bHidden;
        COLORREF crText, crBackground;
        int nAlarmMark;
        LOGFONTW lfValue;  // of m_fontValue (a handle may be reused for another font)
        int cx, cy;
        bool operator==(const Shown& o) const;
    } m_shown;
    bool m_bPictureValid;
    int m_nStripBottom;  // of the last paint; 0 before the first
    CFont m_fontFitted;
    std::string m_strFittedText;
    SIZE m_sizeFittedArea;
    LOGFONTW m_lfFittedFrom;  // the value font the choice was made for
    HFONT m_hFittedFont;      // m_fontValue or m_fontFitted
};
