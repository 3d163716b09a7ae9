// Base of the program's window classes: a window object and the handle of
// the window it stands for.
#pragma once

#include <windows.h>

class CWnd {
public:
    CWnd();
    virtual ~CWnd();

    // The window's handle, or nullptr when the object has no window.
    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd;

private:
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
};
