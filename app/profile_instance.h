// One running copy per profile. The first copy holds a named mutex and
// marks its main window; a second start of the same profile finds the mark,
// brings that window to the front and ends without touching any file.
#pragma once

#include "framework/handles.h"

#include <windows.h>

#include <string>

class CProfileInstance {
public:
    // strSettingsFile: the file the copy keeps its settings in, so that
    // two portable copies in different folders run side by side, and two
    // copies that come to one file (the installed and a portable one in the
    // user's folder) do not.
    explicit CProfileInstance(const std::wstring& settingsFile);

    // FALSE when another copy of the profile is running.
    BOOL IsFirst() const { return m_bFirst; }
    // Marks the running copy's main window (and removes the mark).
    void MarkWindow(HWND hWnd) const;
    static void UnmarkWindow(HWND hWnd);
    // Restores the first copy's window when minimised and brings it (or
    // its open dialog) to the front; waits a few seconds for a window that
    // is still coming up.
    void ActivateFirst() const;

private:
    HWND FindFirstWindow() const;

    UINT_PTR m_nKey;
    CHandle m_mutex;
    BOOL m_bFirst;
};
