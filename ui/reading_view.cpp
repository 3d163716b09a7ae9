#include "ui/reading_view.h"

#include "instrument/quantity_format.h"
#include "framework/text.h"
#include "ui/buffered_dc.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

const UINT kCentred = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

// A channel in alarm: a red of its own, the same in every colour scheme,
// with white letters, dark and saturated enough to carry them.
const COLORREF kAlarmRed = RGB(204, 0, 0);
const COLORREF kAlarmLetters = RGB(255, 255, 255);

// Custom colours of the colour dialog, shared by every choice of the run.
COLORREF g_acrCustomColors[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                  0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

}  // namespace

CReadingView::CReadingView()
    : m_bHidden(FALSE),
      m_lfValue(),
      m_crText(0x804000),
      m_crBackground(0xFFE4CA),
      m_bAlert(FALSE),
      m_bFineResolution(FALSE),
      m_bShowUnit(TRUE),
      m_dDisplayed(0.0),
      m_dValue(std::numeric_limits<double>::quiet_NaN()),
      m_bNoValue(TRUE),
      m_nMeasuredQuantity(0),
      m_nDisplayQuantity(0),
      m_nAlarmMark(0),
      m_shown(),
      m_bPictureValid(false),
      m_nStripBottom(0),
      m_sizeFittedArea(),
      m_lfFittedFrom(),
      m_hFittedFont(nullptr) {
    LOGFONTA lf = {};
    lf.lfHeight = 20;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    std::strcpy(lf.lfFaceName, "Arial");
    m_fontLabel.CreateFontIndirect(&lf);
    lf.lfHeight = 60;
    m_lfValue = lf;
}

CReadingView::~CReadingView() {}

const AfxMsgMap* CReadingView::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnPaint<&CReadingView::OnPaint>(),
        afx::OnTimer<&CReadingView::OnTimer>(),
        afx::OnMessage<WM_ERASEBKGND, &CReadingView::OnEraseBkgnd>(),
    };
    static const AfxMsgMap map = {CStatic::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CReadingView::SetValue(double dValue) {
    if (dValue == m_dValue && !m_bNoValue)
        return;
    m_dValue = dValue;
    m_bNoValue = FALSE;
    RedrawValue();
}

void CReadingView::SetNoValue() {
    m_bNoValue = TRUE;
    RedrawValue();
}

void CReadingView::SetAlert(BOOL bOn) {
    if (bOn) {
        m_bAlert = TRUE;
        return;
    }
    m_bAlert = FALSE;
    if (m_bHidden) {
        m_bHidden = FALSE;
        RedrawValue();
    }
}

void CReadingView::SetFineResolution(BOOL bFine) {
    if (bFine == m_bFineResolution)
        return;
    m_bFineResolution = bFine;
    RedrawValue();
}

void CReadingView::SetQuantity(int nMeasured, int nDisplay, BOOL bShowUnit) {
    if (nMeasured == m_nMeasuredQuantity && nDisplay == m_nDisplayQuantity && bShowUnit == m_bShowUnit)
        return;
    m_nMeasuredQuantity = nMeasured;
    m_nDisplayQuantity = nDisplay;
    m_bShowUnit = bShowUnit;
    RedrawValue();
}

void CReadingView::SetAlarmMark(int nMark) {
    if (nMark == m_nAlarmMark)
        return;
    m_nAlarmMark = nMark;
    RedrawFrom(0);
}

void CReadingView::SetValueFont(LOGFONTA lf) {
    m_lfValue = lf;
    m_fontValue.CreateFontIndirect(&m_lfValue);
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontValue.GetSafeHandle()), TRUE);
    RedrawNow();
}

void CReadingView::ChooseValueFont() {
    if (m_fontValue.GetSafeHandle() != nullptr)
        m_fontValue.GetLogFont(&m_lfValue);
    LOGFONTW lf = afx::WidenLogFont(m_lfValue);
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = m_hWnd;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontW(&cf))
        return;
    SetValueFont(afx::NarrowLogFont(lf));
}

void CReadingView::ChooseBackgroundColor() { RunColorDialog(m_crBackground); }

void CReadingView::ChooseTextColor() { RunColorDialog(m_crText); }

void CReadingView::RunColorDialog(COLORREF& crColor) {
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = m_hWnd;
    cc.rgbResult = crColor;
    cc.lpCustColors = g_acrCustomColors;
    cc.Flags = CC_FULLOPEN | CC_RGBINIT;
    if (ChooseColorW(&cc))
        crColor = cc.rgbResult;
    RedrawNow();
}

double CReadingView::ConvertQuantity(double dValue, int nMeasured, int nDisplay) {
    return ::ConvertQuantity(dValue, nMeasured, nDisplay);
}

void CReadingView::OnTimer(UINT_PTR) { Default(); }

void CReadingView::RedrawValue() { RedrawFrom(m_nStripBottom); }  // 0 before the first paint: the whole field

// Drawn at once through a client DC: no update region and no sent WM_PAINT,
// whose hidden caret, update region and message dispatch are wineserver
// requests under Wine, nine fields twice a second while they blink.
void CReadingView::RedrawFrom(int top) {
    if (!::IsWindowVisible(m_hWnd))
        return;  // painted whole when shown
    RECT client;
    GetClientRect(m_hWnd, &client);
    CClientDC dc(this);
    if (dc.GetSafeHdc() == nullptr || !UpdatePicture(dc, client)) {
        RECT area = client;
        area.top = top;
        ::InvalidateRect(m_hWnd, &area, FALSE);  // OnPaint draws it through a buffer of its own
        return;
    }
    ::BitBlt(dc, 0, top, client.right, client.bottom - top, m_picture, 0, top, SRCCOPY);
}

bool CReadingView::Shown::operator==(const Shown& o) const {
    return strText == o.strText && strLabel == o.strLabel && bRaised == o.bRaised && bHidden == o.bHidden &&
           crText == o.crText && crBackground == o.crBackground && nAlarmMark == o.nAlarmMark && cx == o.cx &&
           cy == o.cy &&
           std::memcmp(&lfValue, &o.lfValue, sizeof lfValue) == 0;
}

bool CReadingView::FormatValue() {
    const bool bRaised = !m_bNoValue && HasRaisedUnit(m_nDisplayQuantity, m_bShowUnit);
    if (m_bNoValue)
        m_strText = "???";
    else
        m_strText = bRaised ? FormatRaisedUnit(m_dDisplayed).measured
                            : FormatDisplayText(m_dDisplayed, m_nDisplayQuantity, m_bFineResolution, m_bShowUnit);
    return bRaised;
}

bool CReadingView::UpdatePicture(HDC hRef, const RECT& client) {
    m_dDisplayed = ConvertQuantity(m_dValue, m_nMeasuredQuantity, m_nDisplayQuantity);
    Shown now;
    now.bRaised = FormatValue();
    now.strText = m_strText;
    now.strLabel = m_strLabel;
    now.bHidden = m_bHidden != FALSE;
    now.crText = m_crText;
    now.crBackground = m_crBackground;
    now.nAlarmMark = m_nAlarmMark;
    now.lfValue = LOGFONTW();
    if (m_fontValue.GetSafeHandle() != nullptr)
        ::GetObjectW(m_fontValue.GetSafeHandle(), sizeof now.lfValue, &now.lfValue);
    now.cx = client.right;
    now.cy = client.bottom;
    bool bMade = false;
    if (!m_picture.Ensure(hRef, client.right, client.bottom, &bMade)) {
        m_bPictureValid = false;
        return false;
    }
    if (bMade || !m_bPictureValid || !(now == m_shown)) {
        CDC picture;
        picture.Attach(m_picture);
        PaintField(picture, client);
        picture.Detach();
        m_shown = now;
        m_bPictureValid = true;
    }
    return true;
}

void CReadingView::OnPaint() {
    RECT client;
    GetClientRect(m_hWnd, &client);
    CPaintDC paintDC(this);
    if (!UpdatePicture(paintDC, client)) {
        // No memory for a kept picture: one for this paint alone.
        CBufferedDC dc(&paintDC, &client);
        PaintField(dc, client);
        return;
    }
    const RECT& dirty = paintDC.m_ps.rcPaint;
    ::BitBlt(paintDC, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, m_picture, dirty.left,
             dirty.top, SRCCOPY);
}

void CReadingView::PaintField(CDC& dc, const RECT& client) {
    dc.FillSolidRect(client, m_crBackground);

    // Title strip: the field's colours swapped, one line of the title font high.
    const bool bAlarm = m_nAlarmMark != 0;
    const COLORREF crStrip = bAlarm ? kAlarmRed : m_crText;
    RECT strip = {0, 0, 90, 20};
    {
        CSelection font(dc, m_fontLabel);
        dc.SetTextColor(bAlarm ? kAlarmLetters : m_crBackground);
        dc.SetBkColor(crStrip);
        dc.DrawText(m_strLabel, &strip, DT_CALCRECT | kCentred);
        strip.right = client.right;
        dc.FillSolidRect(strip, crStrip);
        if (bAlarm)
            PaintAlarmTitle(dc, strip);
        else
            dc.DrawText(m_strLabel, &strip, kCentred);
    }
    m_nStripBottom = strip.bottom;
    if (!m_bHidden) {
        RECT area = client;
        area.top = strip.bottom;
        PaintValue(dc, area);
    }
    if (bAlarm)
        PaintAlarmFrame(dc, client);
}

// The title and an arrow (up: above the upper limit, down: below the lower
// one), centred together. The arrow is drawn, not a character, so it shows
// in any font.
void CReadingView::PaintAlarmTitle(CDC& dc, const RECT& strip) {
    RECT text = strip;
    dc.DrawText(m_strLabel, &text, DT_CALCRECT | DT_SINGLELINE);
    const int height = strip.bottom - strip.top;
    const int side = std::max(6, height * 3 / 5);
    const int gap = height / 3;
    const int width = (text.right - text.left) + gap + side;
    const int left = (strip.left + strip.right - width) / 2;
    RECT title = {left, strip.top, left + (text.right - text.left), strip.bottom};
    dc.DrawText(m_strLabel, &title, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    const int x = title.right + gap;
    const int top = strip.top + (height - side) / 2;
    const int bottom = top + side;
    const bool bUp = m_nAlarmMark > 0;
    const POINT arrow[3] = {{x, bUp ? bottom : top}, {x + side, bUp ? bottom : top}, {x + side / 2, bUp ? top : bottom}};
    CBrush brush(kAlarmLetters);
    CPen pen(PS_SOLID, 1, kAlarmLetters);
    CSelection selectedBrush(dc, brush);
    CSelection selectedPen(dc, pen);
    ::Polygon(dc, arrow, 3);
}

// A frame that grows with the field, so a maximised window shows it from
// across the room as well as the default one does. The red title strip is
// its top edge.
void CReadingView::PaintAlarmFrame(CDC& dc, const RECT& client) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int t = std::max(4, std::min(width, height) / 12);
    dc.FillSolidRect({client.left, client.bottom - t, client.right, client.bottom}, kAlarmRed);
    dc.FillSolidRect({client.left, client.top, client.left + t, client.bottom}, kAlarmRed);
    dc.FillSolidRect({client.right - t, client.top, client.right, client.bottom}, kAlarmRed);
}

HFONT CReadingView::FittedFont(CDC& dc, const RECT& area) {
    LOGFONTW chosen = {};
    if (m_fontValue.GetSafeHandle() != nullptr)
        ::GetObjectW(m_fontValue.GetSafeHandle(), sizeof chosen, &chosen);
    const SIZE size = {area.right - area.left, area.bottom - area.top};
    if (m_hFittedFont != nullptr && m_strFittedText == m_strText && size.cx == m_sizeFittedArea.cx &&
        size.cy == m_sizeFittedArea.cy && std::memcmp(&chosen, &m_lfFittedFrom, sizeof chosen) == 0)
        return m_hFittedFont;
    m_strFittedText = m_strText;
    m_sizeFittedArea = size;
    m_lfFittedFrom = chosen;
    m_hFittedFont = m_fontValue;
    // A value taller or wider than its area (the 60-pixel default font in a
    // 600 x 400 window) is drawn in the same face made just small enough,
    // rather than with its digits cut off; the chosen font is kept as it is.
    CSelection font(dc, m_fontValue);
    RECT need = {0, 0, 0, 0};
    dc.DrawText(m_strText, &need, DT_CALCRECT | DT_SINGLELINE);
    if (need.bottom > size.cy || need.right > size.cx) {
        LOGFONTA lf = m_lfValue;
        m_fontValue.GetLogFont(&lf);
        const double scale = std::min(size.cy / static_cast<double>(need.bottom),
                                      size.cx / static_cast<double>(std::max<LONG>(need.right, 1)));
        const LONG height = static_cast<LONG>(std::abs(lf.lfHeight) * scale);
        lf.lfHeight = (lf.lfHeight < 0 ? -1 : 1) * std::max<LONG>(height, 1);
        lf.lfWidth = 0;
        m_fontFitted.DeleteObject();
        if (m_fontFitted.CreateFontIndirect(&lf))
            m_hFittedFont = m_fontFitted;
    }
    return m_hFittedFont;
}

void CReadingView::PaintValue(CDC& dc, RECT area) {
    const bool bRaised = FormatValue();
    CSelection font(dc, FittedFont(dc, area));
    dc.SetBkColor(m_crBackground);
    dc.SetTextColor(m_crText);
    if (!bRaised) {
        dc.DrawText(m_strText, &area, kCentred);
        return;
    }
    // "W/m" with a raised "2": the whole text's box centred in the area.
    const RaisedUnitText text = FormatRaisedUnit(m_dDisplayed);
    RECT measure;
    GetClientRect(m_hWnd, &measure);
    dc.DrawText(m_strText, &measure, DT_CALCRECT | DT_SINGLELINE);
    const int w = measure.right - measure.left;
    const int h = measure.bottom - measure.top;
    const int cx = (area.left + area.right) / 2;
    const int cy = (area.top + area.bottom) / 2;
    RECT box = {cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
    dc.DrawText(text.base, &box, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    const int right = cx + w / 2;
    RECT exponent = {right - 200, cy - (6 * h) / 8, right + 193, cy + (2 * h) / 8};
    dc.DrawText(text.exponent, &exponent, kCentred);
}
