// Owners of GDI objects and device contexts: each releases what it holds in
// its destructor and cannot be copied, so no path leaks a handle.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

// A GDI object (font, bitmap, brush, pen) deleted with its owner.
template <class H>
class CGdiObjectT {
public:
    CGdiObjectT() : m_hObject(nullptr) {}
    ~CGdiObjectT() { DeleteObject(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;

    operator H() const { return m_hObject; }
    H GetSafeHandle() const { return m_hObject; }
    BOOL Attach(H hObject) {
        DeleteObject();
        m_hObject = hObject;
        return hObject != nullptr;
    }
    BOOL DeleteObject() {
        if (m_hObject == nullptr)
            return FALSE;
        ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return TRUE;
    }

protected:
    H m_hObject;
};

namespace afx {
// LOGFONT with a Windows-1250 face name <-> the wide form Windows takes.
LOGFONTW WidenLogFont(const LOGFONTA& lf);
LOGFONTA NarrowLogFont(const LOGFONTW& lf);
}  // namespace afx

class CFont : public CGdiObjectT<HFONT> {
public:
    // The description's face name is Windows-1250; the font is made by the
    // wide function so the name survives any ANSI code page.
    BOOL CreateFontIndirect(const LOGFONTA* pLogFont);
    // The description of the font held, face name back in Windows-1250.
    BOOL GetLogFont(LOGFONTA* pLogFont) const;
};

class CBitmap : public CGdiObjectT<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(HDC hDC, int cx, int cy) {
        return Attach(::CreateCompatibleBitmap(hDC, cx, cy));
    }
};

class CBrush : public CGdiObjectT<HBRUSH> {
public:
    explicit CBrush(COLORREF cr) { Attach(::CreateSolidBrush(cr)); }
};

class CPen : public CGdiObjectT<HPEN> {
public:
    CPen(int nStyle, int nWidth, COLORREF cr) { Attach(::CreatePen(nStyle, nWidth, cr)); }
};

// A device context. One made by CreateCompatibleDC is deleted with the
// object; one borrowed (Attach) is left to its owner.
class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL CreateCompatibleDC(HDC hDC);
    void Attach(HDC hDC) { m_hDC = m_hAttribDC = hDC; }
    HDC Detach();
    BOOL IsPrinting() const { return m_bPrinting; }

    HGDIOBJ SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }
    COLORREF SetTextColor(COLORREF cr) { return ::SetTextColor(m_hDC, cr); }
    COLORREF SetBkColor(COLORREF cr) { return ::SetBkColor(m_hDC, cr); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    void FillSolidRect(const RECT& rect, COLORREF cr);
    // Windows-1250 text, drawn by the wide function.
    int DrawText(const std::string& strText, RECT* pRect, UINT nFormat);

    HDC m_hDC;
    HDC m_hAttribDC;

protected:
    BOOL m_bOwned;
    BOOL m_bPrinting;
};

// The DC of one WM_PAINT (BeginPaint ... EndPaint).
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// A window's client-area DC for drawing outside WM_PAINT (GetDC ... ReleaseDC).
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// Selects an object into a DC for the length of a scope, then puts the
// previous one back.
class CSelection {
public:
    CSelection(HDC hDC, HGDIOBJ hObject) : m_hDC(hDC), m_hOld(::SelectObject(hDC, hObject)) {}
    ~CSelection() {
        if (m_hOld != nullptr && m_hOld != HGDI_ERROR)
            ::SelectObject(m_hDC, m_hOld);
    }
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
