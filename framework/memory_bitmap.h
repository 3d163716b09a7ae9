// An off-screen picture kept between paints: a bitmap compatible with a
// window's DC, selected into a memory DC of its own. Made anew only when the
// size changes, so a paint does not pay for creating and freeing them.
#pragma once

#include "framework/gdi.h"

class CMemoryBitmap {
public:
    CMemoryBitmap() : m_hOld(nullptr), m_cx(0), m_cy(0) {}
    ~CMemoryBitmap() { Release(); }
    CMemoryBitmap(const CMemoryBitmap&) = delete;
    CMemoryBitmap& operator=(const CMemoryBitmap&) = delete;

    // Ready for cx x cy pixels like hRef; FALSE when there is no memory for it.
    // bCreated tells whether it was made anew (its contents are then undefined).
    BOOL Ensure(HDC hRef, int cx, int cy, bool* bCreated = nullptr) {
        if (bCreated != nullptr)
            *bCreated = false;
        if (m_dc.GetSafeHdc() != nullptr && cx == m_cx && cy == m_cy)
            return TRUE;
        Release();
        if (cx <= 0 || cy <= 0 || !m_dc.CreateCompatibleDC(hRef) || !m_bitmap.CreateCompatibleBitmap(hRef, cx, cy)) {
            Release();
            return FALSE;
        }
        m_hOld = ::SelectObject(m_dc, m_bitmap);
        m_cx = cx;
        m_cy = cy;
        if (bCreated != nullptr)
            *bCreated = true;
        return TRUE;
    }
    void Release() {
        if (m_dc.GetSafeHdc() != nullptr) {
            if (m_hOld != nullptr)
                ::SelectObject(m_dc, m_hOld);
            ::DeleteDC(m_dc.Detach());
        }
        m_hOld = nullptr;
        m_bitmap.DeleteObject();
        m_cx = m_cy = 0;
    }
    operator HDC() const { return m_dc.GetSafeHdc(); }

private:
    CDC m_dc;
    CBitmap m_bitmap;
    HGDIOBJ m_hOld;  // the DC's own bitmap, put back before the DC goes
    int m_cx, m_cy;
};
