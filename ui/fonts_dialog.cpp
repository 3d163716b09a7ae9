#include "ui/fonts_dialog.h"

#include "res/resource.h"
#include "ui/reading_view.h"

namespace {

const int kSampleIds[9] = {IDC_FONT0, IDC_FONT1, IDC_FONT2, IDC_FONT3, IDC_FONT4,
                           IDC_FONT5, IDC_FONT6, IDC_FONT7, IDC_FONT8};

}  // namespace

CFontsDialog::CFontsDialog() : CDialog(IDD_FONTS) {}

const AfxMsgMap* CFontsDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnControl<STN_CLICKED, IDC_FONT0, &CFontsDialog::OnSampleClicked<0>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT1, &CFontsDialog::OnSampleClicked<1>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT2, &CFontsDialog::OnSampleClicked<2>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT3, &CFontsDialog::OnSampleClicked<3>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT4, &CFontsDialog::OnSampleClicked<4>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT5, &CFontsDialog::OnSampleClicked<5>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT6, &CFontsDialog::OnSampleClicked<6>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT7, &CFontsDialog::OnSampleClicked<7>>(),
        afx::OnControl<STN_CLICKED, IDC_FONT8, &CFontsDialog::OnSampleClicked<8>>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

CStatic& CFontsDialog::Sample(int nChannel) {
    CStatic* const pSamples[9] = {&m_sample0, &m_sample1, &m_sample2, &m_sample3, &m_sample4,
                                  &m_sample5, &m_sample6, &m_sample7, &m_sample8};
    return *pSamples[nChannel];
}

void CFontsDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int nChannel = 0; nChannel < 9; ++nChannel)
        DDX_Control(pDX, kSampleIds[nChannel], Sample(nChannel));
}

BOOL CFontsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int nChannel = 0; nChannel < 9; ++nChannel)
        ShowFont(nChannel);
    return TRUE;
}

void CFontsDialog::ShowFont(int nChannel) {
    if (View(nChannel) == nullptr)
        return;
    HFONT hFont = View(nChannel)->m_fontValue;
    Sample(nChannel).SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
}

void CFontsDialog::ChooseFor(int nChannel) {
    if (View(nChannel) == nullptr)
        return;
    View(nChannel)->ChooseValueFont();
    // The field may have made a new font: the sample must not keep the old handle.
    ShowFont(nChannel);
    Sample(nChannel).RedrawNow();
}
