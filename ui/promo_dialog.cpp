#include "ui/promo_dialog.h"

#include "framework/system_library.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "ui/about_dialog.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

namespace {

// The RTF of the text as it is read by EM_STREAMIN.
struct RtfSource {
    const char* pData;
    DWORD nLeft;
};

DWORD CALLBACK ReadRtf(DWORD_PTR dwCookie, LPBYTE pBuffer, LONG cb, LONG* pcb) {
    RtfSource* pSource = reinterpret_cast<RtfSource*>(dwCookie);
    const DWORD n = std::min<DWORD>(pSource->nLeft, static_cast<DWORD>(cb));
    std::memcpy(pBuffer, pSource->pData, n);
    pSource->pData += n;
    pSource->nLeft -= n;
    *pcb = static_cast<LONG>(n);
    return 0;
}

}  // namespace

CPromoDialog::CPromoDialog() : CDialog(IDD_PROMOTION) {}

// Kept loaded for the rest of the run: the control class must outlive every
// window made from it.
BOOL CPromoDialog::LoadRichEdit() {
    static HMODULE hModule = LoadSystemLibrary(L"msftedit.dll");
    return hModule != nullptr;
}

const AfxMsgMap* CPromoDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnControl<STN_CLICKED, IDC_PROMO_MORE, &CPromoDialog::OnMoreClicked>(),
        afx::OnMessage<WM_CTLCOLORSTATIC, &CPromoDialog::OnCtlColorStatic>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CPromoDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROMO_TEXT, m_richText);
}

BOOL CPromoDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_linkMore.SubclassLink(IDC_PROMO_MORE, this);
    m_linkMore.SetTarget(kPromoPage);
    FillText();
    return TRUE;
}

void CPromoDialog::FillText() {
    if (m_richText.GetSafeHwnd() == nullptr)
        return;
    HINSTANCE hInstance = AfxGetInstanceHandle();
    HRSRC hInfo = FindResourceW(hInstance, MAKEINTRESOURCEW(IDR_PROMO_TEXT), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL hData = hInfo ? LoadResource(hInstance, hInfo) : nullptr;
    const char* pData = hData ? static_cast<const char*>(LockResource(hData)) : nullptr;
    if (pData == nullptr)
        return;
    // Addresses are plain text; the control underlines them itself (Wine
    // drops RTF hyperlink fields altogether).
    m_richText.SendMessage(EM_AUTOURLDETECT, TRUE, 0);
    RtfSource source = {pData, SizeofResource(hInstance, hInfo)};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadRtf;
    m_richText.SendMessage(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

// A click into the text neither selects nor moves the caret: the window
// keeps the focus, so Enter still closes it.
BOOL CPromoDialog::PreTranslateMessage(MSG* pMsg) {
    switch (pMsg->message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (pMsg->hwnd == m_richText.GetSafeHwnd() && pMsg->hwnd != nullptr) {
            ::SetFocus(m_hWnd);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CPromoDialog::OnMoreClicked() { m_linkMore.OnClicked(); }

LRESULT CPromoDialog::OnCtlColorStatic(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) == m_linkMore.GetSafeHwnd())
        return reinterpret_cast<LRESULT>(m_linkMore.CtlColor(reinterpret_cast<HDC>(wParam)));
    return Default();
}
