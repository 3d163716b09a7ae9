// Where the main window is kept: the restored rectangle the settings save,
// whether it stays on top and was minimised when it closed, and the client
// sizes last reported, which the layout is run again for.
#pragma once

#include "config/settings.h"

#include <windows.h>

class CWindowPlacement {
public:
    // From and to the settings' values.
    void TakeSettings(const ProgramSettings& s);
    void GiveSettings(ProgramSettings& s) const;

    // A size report (WM_SIZE): its type and the new client size.
    void NoteSize(UINT type, int cx, int cy);
    bool IsMaximized() const { return m_bMaximized; }
    const SIZE& NormalSize() const { return m_sizeNormal; }        // of the last restored report
    const SIZE& MaximizedSize() const { return m_sizeMaximized; }  // of the last maximised one

    const RECT& Rect() const { return m_rcWindow; }
    // The saved rectangle, brought onto a monitor before the window is put
    // there. Until then sizes are only noted: the window is not yet where
    // it goes, so neither the layout nor the rectangle follows them.
    void PlaceOnScreen();
    bool IsPlaced() const { return m_bPlaced; }
    // The window's rectangle now, as it is restored (not minimised or maximised).
    void TakeWindowRect(HWND hWnd) { ::GetWindowRect(hWnd, &m_rcWindow); }
    // Not before the window is placed.
    void RecordRestoredRect(HWND hWnd);

    bool IsTopmost() const { return m_bTopmost; }
    void ToggleTopmost() { m_bTopmost = !m_bTopmost; }
    // As it was when it last closed.
    bool ClosedMinimized() const { return m_bClosedMinimized; }
    void NoteClosing(HWND hWnd) { m_bClosedMinimized = IsIconic(hWnd) != FALSE; }

private:
    SIZE m_sizeNormal = {};
    SIZE m_sizeMaximized = {};
    bool m_bMaximized = false;
    RECT m_rcWindow = {};
    bool m_bTopmost = false;
    bool m_bClosedMinimized = false;
    bool m_bPlaced = false;
};
