// Message maps: one table per window class, from a window message (or a
// command id) to a typed handler. The cracking of WPARAM/LPARAM happens here,
// once; handlers see the arguments the message carries.
//
//   const AfxMsgMap* CMainDialog::GetThisMessageMap() {
//       static const AfxMsgEntry entries[] = {
//           afx::OnSize<&CMainDialog::OnSize>(),
//           afx::OnCommand<32771, &CMainDialog::OnSerialPort>(),
//       };
//       static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
//       return &map;
//   }
#pragma once

#include <windows.h>

#include <cstddef>
#include <iterator>
#include <tuple>

class CWnd;

typedef LRESULT (*AfxMsgThunk)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);

struct AfxMsgEntry {
    UINT nMessage;
    UINT nCode;  // WM_COMMAND and WM_NOTIFY: notification code (0 for menus and buttons)
    UINT nId;    // WM_COMMAND and WM_NOTIFY: control or command id
    AfxMsgThunk pfn;
    UINT nLastId = 0;  // WM_COMMAND: a range of menu commands nId..nLastId (0: nId alone)
};

struct AfxMsgMap {
    const AfxMsgMap* pBase;  // searched when no entry here matches; nullptr ends the chain
    const AfxMsgEntry* pEntries;
    std::size_t nCount;
};

namespace afx {

template <class F>
struct HandlerClass;
template <class C, class R, class... A>
struct HandlerClass<R (C::*)(A...)> {
    typedef C type;
};

template <auto F>
using ClassOf = typename HandlerClass<decltype(F)>::type;

template <auto F>
ClassOf<F>* Self(CWnd* pWnd) {
    return static_cast<ClassOf<F>*>(pWnd);
}

// Any message, handler LRESULT OnX(WPARAM, LPARAM).
template <UINT Msg, auto F>
constexpr AfxMsgEntry OnMessage() {
    return {Msg, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT { return (Self<F>(w)->*F)(wp, lp); }};
}

template <class F>
struct HandlerArgs;
template <class C, class R, class... A>
struct HandlerArgs<R (C::*)(A...)> {
    typedef std::tuple<A...> type;
};

template <auto F, std::size_t I>
using ArgOf = std::tuple_element_t<I, typename HandlerArgs<decltype(F)>::type>;

// A program's own message (framework/app_messages.h says what each carries):
// void OnX(), void OnX(A a) with a from WPARAM, or void OnX(A a, B b) with b
// from LPARAM.
template <UINT Msg, auto F>
constexpr AfxMsgEntry OnAppMessage() {
    return {Msg, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                constexpr std::size_t n = std::tuple_size_v<typename HandlerArgs<decltype(F)>::type>;
                if constexpr (n == 0)
                    (Self<F>(w)->*F)();
                else if constexpr (n == 1)
                    (Self<F>(w)->*F)(static_cast<ArgOf<F, 0>>(wp));
                else
                    (Self<F>(w)->*F)(static_cast<ArgOf<F, 0>>(wp), static_cast<ArgOf<F, 1>>(lp));
                (void)wp;
                (void)lp;
                return 0;
            }};
}

// F1: bool OnHelpInfo(HELPINFO* info), true when the help was handled.
template <auto F>
constexpr AfxMsgEntry OnHelpInfo() {
    return {WM_HELP, 0, 0, [](CWnd* w, WPARAM, LPARAM lp) -> LRESULT {
                return (Self<F>(w)->*F)(reinterpret_cast<HELPINFO*>(lp)) ? TRUE : FALSE;
            }};
}

// The session ends (bEnding) or its end was cancelled: void OnEndSession(bool bEnding).
template <auto F>
constexpr AfxMsgEntry OnEndSession() {
    return {WM_ENDSESSION, 0, 0, [](CWnd* w, WPARAM wp, LPARAM) -> LRESULT {
                (Self<F>(w)->*F)(wp != 0);
                return 0;
            }};
}

// Menu item, accelerator or button click: void OnX().
template <UINT Id, auto F>
constexpr AfxMsgEntry OnCommand() {
    return {WM_COMMAND, 0, Id, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { (Self<F>(w)->*F)(); return 0; }};
}

// Menu items First..Last handled alike: void OnX(UINT id).
template <UINT First, UINT Last, auto F>
constexpr AfxMsgEntry OnCommandRange() {
    return {WM_COMMAND, 0, First,
            [](CWnd* w, WPARAM wp, LPARAM) -> LRESULT {
                (Self<F>(w)->*F)(LOWORD(wp));
                return 0;
            },
            Last};
}

// A control's notification through WM_COMMAND: void OnX().
template <UINT Code, UINT Id, auto F>
constexpr AfxMsgEntry OnControl() {
    return {WM_COMMAND, Code, Id, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { (Self<F>(w)->*F)(); return 0; }};
}

// A control's notification through WM_NOTIFY: void OnX(NMHDR*, LRESULT*).
template <UINT Code, UINT Id, auto F>
constexpr AfxMsgEntry OnNotify() {
    return {WM_NOTIFY, Code, Id, [](CWnd* w, WPARAM, LPARAM lp) -> LRESULT {
                LRESULT r = 0;
                (Self<F>(w)->*F)(reinterpret_cast<NMHDR*>(lp), &r);
                return r;
            }};
}

// void OnCreate... returns 0 to go on, -1 to stop the creation.
template <auto F>
constexpr AfxMsgEntry OnCreate() {
    return {WM_CREATE, 0, 0, [](CWnd* w, WPARAM, LPARAM lp) -> LRESULT {
                return (Self<F>(w)->*F)(reinterpret_cast<LPCREATESTRUCTW>(lp));
            }};
}

template <auto F>
constexpr AfxMsgEntry OnDestroy() {
    return {WM_DESTROY, 0, 0, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { (Self<F>(w)->*F)(); return 0; }};
}

template <auto F>
constexpr AfxMsgEntry OnPaint() {
    return {WM_PAINT, 0, 0, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { (Self<F>(w)->*F)(); return 0; }};
}

// void OnLButtonDown(UINT flags, POINT point), the point in client coordinates
template <auto F>
constexpr AfxMsgEntry OnLButtonDown() {
    return {WM_LBUTTONDOWN, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                const POINT point = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                (Self<F>(w)->*F)(static_cast<UINT>(wp), point);
                return 0;
            }};
}

// void OnSize(UINT type, int cx, int cy)
template <auto F>
constexpr AfxMsgEntry OnSize() {
    return {WM_SIZE, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                (Self<F>(w)->*F)(static_cast<UINT>(wp), static_cast<short>(LOWORD(lp)),
                                 static_cast<short>(HIWORD(lp)));
                return 0;
            }};
}

// void OnTimer(UINT_PTR id)
template <auto F>
constexpr AfxMsgEntry OnTimer() {
    return {WM_TIMER, 0, 0, [](CWnd* w, WPARAM wp, LPARAM) -> LRESULT { (Self<F>(w)->*F)(wp); return 0; }};
}

// void OnSysCommand(UINT id, LPARAM lParam)
template <auto F>
constexpr AfxMsgEntry OnSysCommand() {
    return {WM_SYSCOMMAND, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                (Self<F>(w)->*F)(static_cast<UINT>(wp), lp);
                return 0;
            }};
}

// void OnActivate(UINT state, HWND other, BOOL minimized)
template <auto F>
constexpr AfxMsgEntry OnActivate() {
    return {WM_ACTIVATE, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {
                (Self<F>(w)->*F)(LOWORD(wp), reinterpret_cast<HWND>(lp), HIWORD(wp) != 0);
                return 0;
            }};
}

// HCURSOR OnQueryDragIcon()
template <auto F>
constexpr AfxMsgEntry OnQueryDragIcon() {
    return {WM_QUERYDRAGICON, 0, 0, [](CWnd* w, WPARAM, LPARAM) -> LRESULT {
                return reinterpret_cast<LRESULT>((Self<F>(w)->*F)());
            }};
}

}  // namespace afx
