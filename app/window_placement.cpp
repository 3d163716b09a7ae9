#include "app/window_placement.h"

#include "app/window_rect.h"

namespace {

// The size of a first run (the keys' defaults).
const int kDefaultWidth = 600;
const int kDefaultHeight = 400;

WindowRect ToWindowRect(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

RECT ToRect(const WindowRect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CWindowPlacement::TakeSettings(const ProgramSettings& s) {
    m_rcWindow.left = s.nWindowLeft;
    m_rcWindow.top = s.nWindowTop;
    m_rcWindow.right = s.nWindowRight;
    m_rcWindow.bottom = s.nWindowBottom;
    m_bTopmost = s.bTopmost != FALSE;
    m_bClosedMinimized = s.bMinimized != FALSE;
}

void CWindowPlacement::GiveSettings(ProgramSettings& s) const {
    s.nWindowLeft = m_rcWindow.left;
    s.nWindowTop = m_rcWindow.top;
    s.nWindowRight = m_rcWindow.right;
    s.nWindowBottom = m_rcWindow.bottom;
    s.bTopmost = m_bTopmost;
    s.bMinimized = m_bClosedMinimized;
}

void CWindowPlacement::NoteSize(UINT type, int cx, int cy) {
    m_bMaximized = type == SIZE_MAXIMIZED;
    if (type == SIZE_RESTORED)
        m_sizeNormal = {cx, cy};
    else if (type == SIZE_MAXIMIZED)
        m_sizeMaximized = {cx, cy};
}

// A saved rectangle off every monitor (a monitor since unplugged, or the
// place Windows parks a minimised window) or collapsed below the smallest
// size a window can be given would open a window nobody can see or grab.
void CWindowPlacement::PlaceOnScreen() {
    m_bPlaced = true;
    StartPlacement where = {};
    where.bOnAMonitor = MonitorFromRect(&m_rcWindow, MONITOR_DEFAULTTONULL) != nullptr;
    const POINT corner = {m_rcWindow.left, m_rcWindow.top};
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST), &info))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    where.workArea = ToWindowRect(info.rcWork);
    where.nMinWidth = GetSystemMetrics(SM_CXMINTRACK);
    where.nMinHeight = GetSystemMetrics(SM_CYMINTRACK);
    where.nMaxWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    where.nMaxHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    where.nDefaultWidth = kDefaultWidth;
    where.nDefaultHeight = kDefaultHeight;
    m_rcWindow = ToRect(PlaceAtStart(ToWindowRect(m_rcWindow), where));
}

// A minimised window's own rectangle is a parking place off the screen; its
// placement keeps the restored one, in work-area coordinates. A maximised
// window keeps the rectangle it had before.
void CWindowPlacement::RecordRestoredRect(HWND hWnd) {
    if (hWnd == nullptr || !m_bPlaced)
        return;
    if (!IsIconic(hWnd)) {
        if (!(GetWindowLongW(hWnd, GWL_STYLE) & WS_MAXIMIZE))
            TakeWindowRect(hWnd);
        return;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hWnd, &placement))
        return;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&placement.rcNormalPosition, MONITOR_DEFAULTTOPRIMARY), &info))
        return;
    m_rcWindow = placement.rcNormalPosition;
    OffsetRect(&m_rcWindow, info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top);
}
