// Mouse and keyboard of the chart: wheel zoom, box zoom (right button or
// Ctrl with the left), panning by dragging and with the arrow keys, Home for
// everything, cursors A (click) and B (Shift+click), legend clicks.
#include "viewer/app/chart_window.h"

#include <algorithm>
#include <cmath>

namespace {
const int kDragSlop = 3;  // pixels a press may move and still be a click
}

void CChartWindow::OnLButtonDown(UINT flags, POINT pt) {
    ::SetFocus(m_hWnd);
    const int channel = LegendHit(pt);
    if (channel >= 0) {
        m_bHidden[channel] = !m_bHidden[channel];
        if (!m_view.bManualValues)
            FitValuesToView();
        Invalidate();
        return;
    }
    const RECT plot = PlotRect();
    if (!PtInRect(&plot, pt) || !m_pDoc)
        return;
    m_drag = (flags & MK_CONTROL) ? kBox : kPan;
    m_ptDown = m_ptNow = pt;
    m_viewAtDown = m_view;
    m_bMoved = false;
    SetCapture(m_hWnd);
}

void CChartWindow::OnRButtonDown(UINT, POINT pt) {
    const RECT plot = PlotRect();
    if (!PtInRect(&plot, pt) || !m_pDoc)
        return;
    m_drag = kBox;
    m_ptDown = m_ptNow = pt;
    m_bMoved = false;
    SetCapture(m_hWnd);
}

void CChartWindow::OnMouseMove(UINT flags, POINT pt) {
    const RECT plot = PlotRect();
    const bool over = PtInRect(&plot, pt) != FALSE;
    if (over && !m_bHover) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof tme;
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        TrackMouseEvent(&tme);
    }
    const bool wasHover = m_bHover;
    m_bHover = over && m_pDoc && m_pDoc->Data().Size() > 0;
    if (m_bHover)
        m_tHover = static_cast<double>(m_pDoc->Data().Sample(NearestSample(TimeAt(pt.x))).seconds);
    if (m_drag != kNone) {
        m_ptNow = pt;
        if (std::abs(pt.x - m_ptDown.x) > kDragSlop || std::abs(pt.y - m_ptDown.y) > kDragSlop)
            m_bMoved = true;
        if (m_drag == kPan && m_bMoved) {
            // The data follows the mouse: the point grabbed stays under it.
            const double perX = (m_viewAtDown.t1 - m_viewAtDown.t0) / std::max<LONG>(1, plot.right - plot.left);
            const double perY = (m_viewAtDown.v1 - m_viewAtDown.v0) / std::max<LONG>(1, plot.bottom - plot.top);
            m_view = m_viewAtDown;
            m_view.Pan(-(pt.x - m_ptDown.x) * perX);
            if (m_view.bManualValues)
                m_view.PanValues((pt.y - m_ptDown.y) * perY);
            else
                FitValuesToView();
        }
    }
    // A zoom box is drawn over the kept chart; only panning moves the data.
    if (m_drag == kPan)
        Invalidate();
    else if (m_drag == kBox || m_bHover || wasHover)
        InvalidateOverlay();
}

LRESULT CChartWindow::OnMouseLeave(WPARAM, LPARAM) {
    if (m_bHover) {
        m_bHover = false;
        InvalidateOverlay();
    }
    return 0;
}

void CChartWindow::OnLButtonUp(UINT flags, POINT pt) {
    if (m_drag == kNone)
        return;
    const Drag drag = m_drag;
    const bool moved = m_bMoved;
    m_drag = kNone;
    ReleaseCapture();
    if (drag == kBox) {
        OnRButtonUp(flags, pt);  // the same box
        return;
    }
    if (!moved && m_pDoc && m_pDoc->Data().Size() > 0) {
        // A click places a cursor on the record nearest to it.
        const double t = static_cast<double>(m_pDoc->Data().Sample(NearestSample(TimeAt(pt.x))).seconds);
        if (flags & MK_SHIFT) {
            m_tB = t;
            m_bCursorB = true;
        } else {
            m_tA = t;
            m_bCursorA = true;
        }
    }
    Invalidate();
}

void CChartWindow::OnRButtonUp(UINT, POINT pt) {
    const bool wasBox = m_drag == kBox || m_drag == kNone;
    const bool moved = m_bMoved;
    m_drag = kNone;
    if (GetCapture() == m_hWnd)
        ReleaseCapture();
    if (!wasBox || !moved) {
        Invalidate();
        return;
    }
    const RECT plot = PlotRect();
    const int x0 = std::max<int>(plot.left, std::min(m_ptDown.x, pt.x));
    const int x1 = std::min<int>(plot.right, std::max(m_ptDown.x, pt.x));
    const int y0 = std::max<int>(plot.top, std::min(m_ptDown.y, pt.y));
    const int y1 = std::min<int>(plot.bottom, std::max(m_ptDown.y, pt.y));
    if (x1 - x0 >= 2) {
        const double t0 = TimeAt(x0), t1 = TimeAt(x1);
        m_view.t0 = t0;
        m_view.t1 = std::max(t1, t0 + ChartView::kMinSpan);
    }
    if (y1 - y0 >= 8) {
        // A box of some height chooses the values too; a flat one only the time.
        const double v1 = ValueAt(y0), v0 = ValueAt(y1);
        m_view.v0 = v0;
        m_view.v1 = v1;
        m_view.bManualValues = true;
    } else if (!m_view.bManualValues) {
        FitValuesToView();
    }
    Invalidate();
}

void CChartWindow::OnMouseWheel(UINT flags, short delta, POINT pt) {
    if (!m_pDoc || m_pDoc->Data().Size() == 0)
        return;
    ScreenToClient(m_hWnd, &pt);
    const RECT plot = PlotRect();
    const double factor = std::pow(0.8, delta / static_cast<double>(WHEEL_DELTA));
    if (flags & MK_SHIFT) {
        m_view.ZoomValues(ValueAt(std::min<LONG>(std::max<LONG>(pt.y, plot.top), plot.bottom)), factor);
    } else {
        const int x = std::min<LONG>(std::max<LONG>(pt.x, plot.left), plot.right);
        m_view.ZoomTime(TimeAt(x), factor);
        if (!m_view.bManualValues)
            FitValuesToView();
    }
    if (m_bHover)
        m_tHover = static_cast<double>(m_pDoc->Data().Sample(NearestSample(TimeAt(pt.x))).seconds);
    Invalidate();
}

void CChartWindow::OnKeyDown(UINT key) {
    if (key == 'O' && GetKeyState(VK_CONTROL) < 0) {
        OnFileOpen();
        return;
    }
    if (!m_pDoc || m_pDoc->Data().Size() == 0)
        return;
    const double span = m_view.t1 - m_view.t0;
    switch (key) {
    case VK_LEFT: m_view.Pan(-span / 10); break;
    case VK_RIGHT: m_view.Pan(span / 10); break;
    case VK_PRIOR: m_view.Pan(-span); break;
    case VK_NEXT: m_view.Pan(span); break;
    case VK_UP:
    case VK_ADD:
    case VK_OEM_PLUS: m_view.ZoomTime((m_view.t0 + m_view.t1) / 2, 0.5); break;
    case VK_DOWN:
    case VK_SUBTRACT:
    case VK_OEM_MINUS: m_view.ZoomTime((m_view.t0 + m_view.t1) / 2, 2.0); break;
    case VK_HOME: FitAll(); break;
    case VK_END: m_view.Pan(static_cast<double>(m_pDoc->Data().LastTime()) + span * 0.02 - m_view.t1); break;
    case VK_ESCAPE: m_bCursorA = m_bCursorB = false; break;
    default: return;
    }
    if (!m_view.bManualValues)
        FitValuesToView();
    Invalidate();
}
