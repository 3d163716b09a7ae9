// The main window's settings to and from the configuration file's values.
#include "app/main_dialog.h"

#include "app/window_rect.h"

#include <algorithm>
#include <cstring>

namespace {

// The size of a first run (the keys' defaults).
const int kDefaultWidth = 600;
const int kDefaultHeight = 400;

WindowRect ToWindowRect(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

RECT ToRect(const WindowRect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CMainDialog::ApplySettings(const ProgramSettings& s) {
    for (int i = 0; i < 9; ++i) {
        const FieldSettings& f = s.fields[i];
        CReadingView& field = m_fields[i];
        field.m_crBackground = f.crBackground;
        field.m_crText = f.crText;
        field.m_lfValue.lfHeight = f.nFontHeight;
        std::memset(field.m_lfValue.lfFaceName, 0, sizeof field.m_lfValue.lfFaceName);
        std::memcpy(field.m_lfValue.lfFaceName, f.strFontName.data(),
                    std::min<std::size_t>(f.strFontName.size(), LF_FACESIZE - 1));
        field.m_lfValue.lfItalic = f.nFontItalic;
        field.m_lfValue.lfWeight = f.nFontWeight;
    }
    m_port.SetNumber(s.nPortNumber);
    m_rcWindow.left = s.nWindowLeft;
    m_rcWindow.top = s.nWindowTop;
    m_rcWindow.right = s.nWindowRight;
    m_rcWindow.bottom = s.nWindowBottom;
    m_bTopmost = s.bTopmost;
    m_bShowPromotion = s.bShowPromotion;
    m_bClosedMinimized = s.bMinimized;
    m_recorder.TakeSettings(s.recording);
    m_alarms.TakeSettings(s.alarm);
    m_database.ApplySettings(s.database);
    m_mqttFeed.ApplySettings(s.mqtt);
}

ProgramSettings CMainDialog::CollectSettings() const {
    ProgramSettings s;
    for (int i = 0; i < 9; ++i) {
        const CReadingView& field = m_fields[i];
        FieldSettings& f = s.fields[i];
        f.crBackground = field.m_crBackground;
        f.crText = field.m_crText;
        f.nFontHeight = field.m_lfValue.lfHeight;
        f.strFontName.assign(field.m_lfValue.lfFaceName, strnlen(field.m_lfValue.lfFaceName, LF_FACESIZE));
        f.nFontItalic = field.m_lfValue.lfItalic;
        f.nFontWeight = field.m_lfValue.lfWeight;
    }
    s.nPortNumber = m_port.Number();
    s.nWindowLeft = m_rcWindow.left;
    s.nWindowTop = m_rcWindow.top;
    s.nWindowRight = m_rcWindow.right;
    s.nWindowBottom = m_rcWindow.bottom;
    s.bTopmost = m_bTopmost;
    s.bShowPromotion = m_bShowPromotion;
    s.bMinimized = m_bClosedMinimized;
    s.recording = m_recorder.Settings();
    s.alarm = m_alarms.Settings();
    s.database = m_database.Settings();
    s.mqtt = m_mqttFeed.Settings();
    return s;
}

void CMainDialog::StoreSettings(CIniFile& ini) const {
    ProgramSettings settings = CollectSettings();
    WindowRect rect = {settings.nWindowLeft, settings.nWindowTop, settings.nWindowRight, settings.nWindowBottom};
    NormalizeWindowRect(rect, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    settings.nWindowLeft = rect.left;
    settings.nWindowTop = rect.top;
    settings.nWindowRight = rect.right;
    settings.nWindowBottom = rect.bottom;
    SaveSettings(ini, settings);
}

void CMainDialog::SaveSettingsNow() {
    if (m_pSettings == nullptr)
        return;
    StoreSettings(*m_pSettings);
    m_pSettings->Save(FALSE);
}

// A saved rectangle off every monitor (a monitor since unplugged, or the
// place Windows parks a minimised window) or collapsed below the smallest
// size a window can be given would open a window nobody can see or grab.
void CMainDialog::PlaceSavedRectOnScreen() {
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

// The rectangle the window has when neither minimised nor maximised. A
// minimised window's own rectangle is a parking place off the screen; its
// placement keeps the restored one, in work-area coordinates.
void CMainDialog::RecordRestoredRect() {
    if (m_bLayoutLocked || m_hWnd == nullptr)
        return;
    if (!IsIconic(m_hWnd)) {
        if (!(GetWindowLongW(m_hWnd, GWL_STYLE) & WS_MAXIMIZE))
            ::GetWindowRect(m_hWnd, &m_rcWindow);
        return;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(m_hWnd, &placement))
        return;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&placement.rcNormalPosition, MONITOR_DEFAULTTOPRIMARY), &info))
        return;
    m_rcWindow = placement.rcNormalPosition;
    OffsetRect(&m_rcWindow, info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top);
}
