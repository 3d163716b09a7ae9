// The date and time picker control (SysDateTimePick32).
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

class CDateTimeCtrl : public CWnd {
public:
    // GDT_VALID with the time in *pTime, or GDT_NONE / GDT_ERROR.
    DWORD GetTime(SYSTEMTIME* pTime) const {
        return static_cast<DWORD>(::SendMessageW(m_hWnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(pTime)));
    }
    BOOL SetTime(const SYSTEMTIME& time) {
        return static_cast<BOOL>(
            ::SendMessageW(m_hWnd, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)));
    }
    // A display format such as L"HH:mm:ss" in place of the user's own.
    BOOL SetFormat(const wchar_t* pszFormat) {
        return static_cast<BOOL>(::SendMessageW(m_hWnd, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(pszFormat)));
    }
};
