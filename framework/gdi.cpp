#include "framework/gdi.h"

#include "framework/text.h"
#include "framework/wnd.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace afx {

LOGFONTW WidenLogFont(const LOGFONTA& lf) {
    LOGFONTW out;
    std::memcpy(&out, &lf, offsetof(LOGFONTA, lfFaceName));
    const std::wstring face = Widen1250(std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE)));
    std::memset(out.lfFaceName, 0, sizeof out.lfFaceName);
    std::memcpy(out.lfFaceName, face.c_str(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1) * sizeof(wchar_t));
    return out;
}

LOGFONTA NarrowLogFont(const LOGFONTW& lf) {
    LOGFONTA out;
    std::memcpy(&out, &lf, offsetof(LOGFONTA, lfFaceName));
    const std::string face = Narrow1250(std::wstring(lf.lfFaceName, wcsnlen(lf.lfFaceName, LF_FACESIZE)));
    std::memset(out.lfFaceName, 0, sizeof out.lfFaceName);
    std::memcpy(out.lfFaceName, face.c_str(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
    return out;
}

}  // namespace afx

BOOL CFont::CreateFontIndirect(const LOGFONTA* pLogFont) {
    const LOGFONTW lf = afx::WidenLogFont(*pLogFont);
    return Attach(::CreateFontIndirectW(&lf));
}

BOOL CFont::GetLogFont(LOGFONTA* pLogFont) const {
    LOGFONTW lf;
    if (m_hObject == nullptr || ::GetObjectW(m_hObject, sizeof lf, &lf) != sizeof lf)
        return FALSE;
    *pLogFont = afx::NarrowLogFont(lf);
    return TRUE;
}

CDC::CDC() : m_hDC(nullptr), m_hAttribDC(nullptr), m_bOwned(FALSE), m_bPrinting(FALSE) {}

CDC::~CDC() {
    if (m_bOwned && m_hDC != nullptr)
        DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(HDC hDC) {
    HDC hNew = ::CreateCompatibleDC(hDC);
    if (hNew == nullptr)
        return FALSE;
    if (m_bOwned && m_hDC != nullptr)
        DeleteDC(m_hDC);
    m_hDC = m_hAttribDC = hNew;
    m_bOwned = TRUE;
    return TRUE;
}

HDC CDC::Detach() {
    HDC hDC = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_bOwned = FALSE;
    return hDC;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF cr) {
    ::SetBkColor(m_hDC, cr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

int CDC::DrawText(const std::string& strText, RECT* pRect, UINT nFormat) {
    const std::wstring text = afx::Widen1250(strText);
    return ::DrawTextW(m_hDC, text.c_str(), static_cast<int>(text.size()), pRect, nFormat);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps(), m_hWnd(pWnd->m_hWnd) { Attach(BeginPaint(m_hWnd, &m_ps)); }

CPaintDC::~CPaintDC() {
    EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { Attach(GetDC(m_hWnd)); }

CClientDC::~CClientDC() {
    if (m_hDC != nullptr)
        ReleaseDC(m_hWnd, m_hDC);
    Detach();
}
