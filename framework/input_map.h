// Message-map entries for mouse and keyboard input, cracked once here like
// those of message_map.h.
#pragma once

#include "framework/message_map.h"

#include <windowsx.h>

namespace afx {

// Button and move messages: void OnX(UINT flags, POINT point), client coordinates.
template <UINT Msg, auto F>
constexpr AfxMsgEntry OnMouse() {
    return {Msg, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                (Self<F>(w)->*F)(static_cast<UINT>(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
                return 0;
            }};
}

// void OnMouseWheel(UINT flags, short delta, POINT point), screen coordinates.
template <auto F>
constexpr AfxMsgEntry OnMouseWheel() {
    return {WM_MOUSEWHEEL, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                (Self<F>(w)->*F)(GET_KEYSTATE_WPARAM(wp), GET_WHEEL_DELTA_WPARAM(wp),
                                 POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
                return 0;
            }};
}

// void OnKeyDown(UINT key)
template <auto F>
constexpr AfxMsgEntry OnKeyDown() {
    return {WM_KEYDOWN, 0, 0, [](CWnd* w, WPARAM wp, LPARAM) -> LRESULT {
                (Self<F>(w)->*F)(static_cast<UINT>(wp));
                return 0;
            }};
}

// BOOL OnSetCursor(HWND, UINT hitTest, UINT message): TRUE when a cursor was set.
template <auto F>
constexpr AfxMsgEntry OnSetCursor() {
    return {WM_SETCURSOR, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                return (Self<F>(w)->*F)(reinterpret_cast<HWND>(wp), LOWORD(lp), HIWORD(lp));
            }};
}

}  // namespace afx
