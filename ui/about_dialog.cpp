#include "ui/about_dialog.h"

#include "res/resource.h"

const char kMakerMail[] = "biuro@orvel.example.pl";
const char kMakerSite[] = "https://www.orvel.example.pl/";
const char kPromoPage[] = "https://www.orvel.example.pl/nimbo.htm";

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

const AfxMsgMap* CAboutDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnControl<STN_CLICKED, IDC_ABOUT_LOGO, &CAboutDialog::OnLogoClicked>(),
        afx::OnControl<STN_CLICKED, IDC_ABOUT_MAIL, &CAboutDialog::OnMailClicked>(),
        afx::OnMessage<WM_CTLCOLORSTATIC, &CAboutDialog::OnCtlColorStatic>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

BOOL CAboutDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_linkMail.SubclassLink(IDC_ABOUT_MAIL, this);
    m_linkMail.SetTarget(std::string("mailto:") + kMakerMail);
    return TRUE;
}

// The logo opens the maker's site the way a link would, without being one.
void CAboutDialog::OnLogoClicked() {
    CLinkLabel link;
    link.SetTarget(kMakerSite);
    link.OnClicked();
}

void CAboutDialog::OnMailClicked() { m_linkMail.OnClicked(); }

LRESULT CAboutDialog::OnCtlColorStatic(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) == m_linkMail.GetSafeHwnd())
        return reinterpret_cast<LRESULT>(m_linkMail.CtlColor(reinterpret_cast<HDC>(wParam)));
    return Default();
}
