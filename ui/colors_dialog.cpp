#include "ui/colors_dialog.h"

#include "framework/gdi.h"
#include "res/resource.h"
#include "ui/reading_view.h"

namespace {

const int kBackIds[9] = {IDC_BACK0, IDC_BACK1, IDC_BACK2, IDC_BACK3, IDC_BACK4,
                         IDC_BACK5, IDC_BACK6, IDC_BACK7, IDC_BACK8};
const int kTextIds[9] = {IDC_TEXT0, IDC_TEXT1, IDC_TEXT2, IDC_TEXT3, IDC_TEXT4,
                         IDC_TEXT5, IDC_TEXT6, IDC_TEXT7, IDC_TEXT8};

}  // namespace

CColorSwatch::~CColorSwatch() {}

const AfxMsgMap* CColorSwatch::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnPaint<&CColorSwatch::OnPaint>(),
        afx::OnMessage<WM_MOUSEMOVE, &CColorSwatch::OnMouseMove>(),
    };
    static const AfxMsgMap map = {CStatic::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CColorSwatch::OnPaint() {
    CPaintDC dc(this);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    CBrush brush(m_crColor);
    FillRect(dc, &rc, brush);
}

LRESULT CColorSwatch::OnMouseMove(WPARAM, LPARAM) { return Default(); }

// ---------------------------------------------------------------------------

CColorsDialog::CColorsDialog() : CDialog(IDD_COLORS) {}

#define QM487_SWATCH_ENTRIES(n)                                                                  \
    afx::OnControl<STN_CLICKED, IDC_BACK##n, &CColorsDialog::OnSwatchClicked<n, false>>(),      \
        afx::OnControl<STN_CLICKED, IDC_TEXT##n, &CColorsDialog::OnSwatchClicked<n, true>>()

const AfxMsgMap* CColorsDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        QM487_SWATCH_ENTRIES(0), QM487_SWATCH_ENTRIES(1), QM487_SWATCH_ENTRIES(2),
        QM487_SWATCH_ENTRIES(3), QM487_SWATCH_ENTRIES(4), QM487_SWATCH_ENTRIES(5),
        QM487_SWATCH_ENTRIES(6), QM487_SWATCH_ENTRIES(7), QM487_SWATCH_ENTRIES(8),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

#undef QM487_SWATCH_ENTRIES

CColorSwatch& CColorsDialog::Swatch(int nChannel, bool bText) {
    CColorSwatch* const pText[9] = {&m_swatchText0, &m_swatchText1, &m_swatchText2, &m_swatchText3, &m_swatchText4,
                                    &m_swatchText5, &m_swatchText6, &m_swatchText7, &m_swatchText8};
    CColorSwatch* const pBack[9] = {&m_swatchBack0, &m_swatchBack1, &m_swatchBack2, &m_swatchBack3, &m_swatchBack4,
                                    &m_swatchBack5, &m_swatchBack6, &m_swatchBack7, &m_swatchBack8};
    return bText ? *pText[nChannel] : *pBack[nChannel];
}

void CColorsDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int nChannel = 0; nChannel < 9; ++nChannel) {
        DDX_Control(pDX, kBackIds[nChannel], Swatch(nChannel, false));
        DDX_Control(pDX, kTextIds[nChannel], Swatch(nChannel, true));
    }
}

BOOL CColorsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int nChannel = 0; nChannel < 9; ++nChannel) {
        if (m_pViews[FieldOfChannel(nChannel)] == nullptr)
            continue;
        Swatch(nChannel, false).m_crColor = View(nChannel).m_crBackground;
        Swatch(nChannel, true).m_crColor = View(nChannel).m_crText;
    }
    return TRUE;
}

void CColorsDialog::ChooseFor(int nChannel, bool bText) {
    if (m_pViews[FieldOfChannel(nChannel)] == nullptr)
        return;
    CReadingView& view = View(nChannel);
    CColorSwatch& swatch = Swatch(nChannel, bText);
    if (bText) {
        view.ChooseTextColor();
        swatch.m_crColor = view.m_crText;
    } else {
        view.ChooseBackgroundColor();
        swatch.m_crColor = view.m_crBackground;
    }
    swatch.RedrawNow();
}
