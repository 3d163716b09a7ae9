// A memory device context for flicker-free painting: everything drawn into
// it lands in an off-screen bitmap that the destructor copies to the target
// in one BitBlt. A printer DC is drawn on directly.
#pragma once

#include "framework/gdi.h"

class CBufferedDC : public CDC {
public:
    // pRect: the area to buffer, in the target's logical units; by default
    // the target's clip box. The area starts filled with the target's
    // background colour.
    explicit CBufferedDC(CDC* pTargetDC, const RECT* pRect = nullptr);
    ~CBufferedDC() override;

private:
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap;  // selected in the memory DC before m_bitmap
    CDC* m_pTargetDC;      // not owned
    RECT m_rect;
    BOOL m_bBuffered;
};
