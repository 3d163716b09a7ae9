#include "ui/buffered_dc.h"

CBufferedDC::CBufferedDC(CDC* pTargetDC, const RECT* pRect)
    : m_hOldBitmap(nullptr), m_pTargetDC(pTargetDC), m_rect(), m_bBuffered(FALSE) {
    HDC hTarget = pTargetDC->GetSafeHdc();
    m_bBuffered = GetDeviceCaps(hTarget, TECHNOLOGY) != DT_RASPRINTER;
    if (pRect != nullptr)
        m_rect = *pRect;
    else
        GetClipBox(hTarget, &m_rect);

    if (m_bBuffered && CreateCompatibleDC(hTarget)) {
        POINT corners[2] = {{m_rect.left, m_rect.top}, {m_rect.right, m_rect.bottom}};
        LPtoDP(hTarget, corners, 2);
        if (m_bitmap.CreateCompatibleBitmap(hTarget, corners[1].x - corners[0].x, corners[1].y - corners[0].y)) {
            m_hOldBitmap = SelectObject(m_bitmap);
            SetMapMode(m_hDC, GetMapMode(hTarget));
            SIZE extent;
            GetWindowExtEx(hTarget, &extent);
            SetWindowExtEx(m_hDC, extent.cx, extent.cy, nullptr);
            GetViewportExtEx(hTarget, &extent);
            SetViewportExtEx(m_hDC, extent.cx, extent.cy, nullptr);
            // The same logical coordinates address the same pixels as on the target.
            SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
        } else {
            m_bBuffered = FALSE;
        }
    } else {
        m_bBuffered = FALSE;
    }
    if (!m_bBuffered) {
        // Drawn straight onto the target (a printer, or no memory for a bitmap).
        if (m_bOwned)
            DeleteDC(CDC::Detach());
        CDC::Detach();
        m_hDC = hTarget;
        m_hAttribDC = pTargetDC->m_hAttribDC;
        m_bPrinting = pTargetDC->IsPrinting();
    }
    FillSolidRect(m_rect, pTargetDC->GetBkColor());
}

CBufferedDC::~CBufferedDC() {
    if (m_bBuffered) {
        BitBlt(m_pTargetDC->GetSafeHdc(), m_rect.left, m_rect.top, m_rect.right - m_rect.left,
               m_rect.bottom - m_rect.top, m_hDC, m_rect.left, m_rect.top, SRCCOPY);
        SelectObject(m_hOldBitmap);
    } else {
        Detach();  // borrowed from the target
    }
}
