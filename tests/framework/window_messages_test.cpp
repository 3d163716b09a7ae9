// Messages any process can send a window: a WM_NOTIFY with a null or
// foreign pointer, and a window subclassed again after the framework.
#include "framework/message_map.h"
#include "framework/wnd.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

namespace {

const UINT kChildId = 7;

// A top-level window with one child button and a handler of the button's
// notifications, counting what reaches it.
class NotifiedWindow : public CWnd {
public:
    int m_nNotified = 0;
    UINT_PTR m_idSeen = 0;

    bool Create() {
        if (!CreateEx(0, L"STATIC", "notified", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr))
            return false;
        m_hChild = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD, 0, 0, 50, 20, m_hWnd,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kChildId)), nullptr, nullptr);
        return m_hChild != nullptr;
    }
    HWND Child() const { return m_hChild; }

protected:
    static const AfxMsgMap* GetThisMessageMap() {
        static const AfxMsgEntry entries[] = {
            afx::OnNotify<NM_CLICK, kChildId, &NotifiedWindow::OnChildClick>(),
        };
        static const AfxMsgMap map = {CWnd::GetThisMessageMap(), entries, 1};
        return &map;
    }
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

private:
    void OnChildClick(NMHDR* pNotify, LRESULT*) {
        ++m_nNotified;
        m_idSeen = pNotify->idFrom;
    }
    HWND m_hChild = nullptr;
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// An address no process has mapped: the first page.
const LPARAM kUnmapped = 0x10;

TEST(WindowMessages, ANotifyReachesItsHandlerOnlyWithAHeaderOfAChild) {
    NotifiedWindow wnd;
    ASSERT_TRUE(wnd.Create());
    NMHDR hdr = {wnd.Child(), kChildId, static_cast<UINT>(NM_CLICK)};
    SendMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(wnd.m_nNotified, 1);
    EXPECT_EQ(wnd.m_idSeen, kChildId);

    // No header, or one the process cannot read: nothing is dispatched and
    // nothing is read (a crash, were it read).
    SendMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId, 0);
    SendMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId, kUnmapped);
    PostMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId, 0);
    PostMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId, kUnmapped);
    Pump();
    EXPECT_EQ(wnd.m_nNotified, 1);

    // A header that names another window, or the child with another id.
    NMHDR other = {wnd.m_hWnd, kChildId, static_cast<UINT>(NM_CLICK)};
    SendMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId, reinterpret_cast<LPARAM>(&other));
    NMHDR wrongId = {wnd.Child(), kChildId + 1, static_cast<UINT>(NM_CLICK)};
    SendMessageW(wnd.m_hWnd, WM_NOTIFY, kChildId + 1, reinterpret_cast<LPARAM>(&wrongId));
    EXPECT_EQ(wnd.m_nNotified, 1);
    EXPECT_TRUE(IsWindow(wnd.m_hWnd));
}

// A procedure put on the window after the framework's, as a hook library
// or an accessibility tool does.
WNDPROC g_pfnUnder = nullptr;
LONG_PTR g_procAfterNcDestroy = 0;
LRESULT CALLBACK OuterProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(g_pfnUnder, hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        g_procAfterNcDestroy = GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
    return result;
}

TEST(WindowMessages, AtItsEndTheWindowKeepsAProcedureSetAfterTheFrameworks) {
    NotifiedWindow wnd;
    ASSERT_TRUE(wnd.Create());
    HWND hWnd = wnd.m_hWnd;
    g_pfnUnder = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc)));
    ASSERT_EQ(g_pfnUnder, &AfxWndProc);
    ASSERT_TRUE(DestroyWindow(hWnd));
    EXPECT_EQ(g_procAfterNcDestroy, reinterpret_cast<LONG_PTR>(&OuterProc))
        << "the framework put its own predecessor back over a procedure it does not own";
    EXPECT_EQ(wnd.m_hWnd, nullptr);

    // Alone, the framework gives the window its own procedure back.
    NotifiedWindow plain;
    ASSERT_TRUE(plain.Create());
    EXPECT_EQ(GetWindowLongPtrW(plain.m_hWnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&AfxWndProc));
}

}  // namespace
