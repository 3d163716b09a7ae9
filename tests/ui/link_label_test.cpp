// The link control on a plain window of the test: its look, and what a
// click opens, through handlers registered in the test's Wine prefix.
#include "framework/wnd.h"
#include "ui/link_label.h"
#include "tests/ui/shell_handlers.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>

using namespace qm487test;

namespace {

const int kLinkId = 101;

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    return true;
}

struct LinkWindow {
    CWnd parent;
    CLinkLabel link;
    explicit LinkWindow(const wchar_t* text, DWORD style = SS_LEFT) {
        parent.CreateEx(0, L"STATIC", "links", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 200, nullptr, nullptr);
        CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | style, 10, 10, 300, 40, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkId)), GetModuleHandleW(nullptr), nullptr);
        link.SubclassLink(kLinkId, &parent);
    }
    ~LinkWindow() { parent.DestroyWindow(); }
};

std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(LinkLabel, TakesItsTextAsTargetShrinksToItAndColoursByState) {
    LinkWindow w(L"www.example.test");
    ASSERT_NE(w.link.GetSafeHwnd(), nullptr);
    EXPECT_EQ(w.link.GetTarget(), "www.example.test");
    EXPECT_TRUE(GetWindowLongW(w.link, GWL_STYLE) & SS_NOTIFY);
    EXPECT_NE(w.link.m_tip, nullptr);
    EXPECT_NE(w.link.m_hHandCursor, nullptr) << "the system hand where winhlp32.exe has none";

    RECT rc;
    GetClientRect(w.link, &rc);
    EXPECT_LT(rc.right, 300);
    EXPECT_GT(rc.right, 0);
    EXPECT_LT(rc.bottom, 40);
    LOGFONTW lf = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w.link, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_TRUE(lf.lfUnderline);

    HDC hDC = GetDC(w.link);
    EXPECT_EQ(w.link.CtlColor(hDC), static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(hDC), RGB(0, 0, 238));
    EXPECT_EQ(GetBkMode(hDC), TRANSPARENT);
    w.link.m_bVisited = TRUE;
    w.link.CtlColor(hDC);
    EXPECT_EQ(GetTextColor(hDC), RGB(85, 26, 139));
    w.link.m_bHover = TRUE;
    w.link.CtlColor(hDC);
    EXPECT_EQ(GetTextColor(hDC), GetSysColor(COLOR_HIGHLIGHT));
    ReleaseDC(w.link, hDC);

    // A new target replaces the tooltip's text.
    w.link.SetTarget("mailto:a@b.test");
    wchar_t tip[64] = {};
    TOOLINFOW ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = w.link;
    ti.uId = 1;
    ti.lpszText = tip;
    SendMessageW(w.link.m_tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(tip, L"mailto:a@b.test");
}

TEST(LinkLabel, HoverCapturesTheMouseUntilItLeaves) {
    LinkWindow w(L"www.example.test");
    SendMessageW(w.link, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(w.link.m_bHover);
    EXPECT_EQ(GetCapture(), w.link.GetSafeHwnd());
    SendMessageW(w.link, WM_MOUSEMOVE, 0, MAKELPARAM(2, 1));
    EXPECT_TRUE(w.link.m_bHover);
    SendMessageW(w.link, WM_MOUSEMOVE, 0, MAKELPARAM(1000, 1000));
    EXPECT_FALSE(w.link.m_bHover);
    EXPECT_NE(GetCapture(), w.link.GetSafeHwnd());
}

TEST(LinkLabel, AClickOpensTheTargetByItsHandlerAndMarksTheLinkVisited) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "qm487_link_open.txt";
    std::filesystem::remove(out);
    SetDefault(L"qm487test", L"URL:qm487test");
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"qm487test", 0, KEY_SET_VALUE, &hKey), ERROR_SUCCESS);
    RegSetValueExW(hKey, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    RegCloseKey(hKey);
    SetDefault(L"qm487test\\shell\\open\\command", EchoCommand(out, L"%1"));

    LinkWindow w(L"qm487test:hello");
    w.link.OnClicked();
    EXPECT_TRUE(w.link.m_bVisited);
    EXPECT_TRUE(WaitFor([&] { return ReadFileText(out).find("qm487test:hello") != std::string::npos; }, 20000));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"qm487test");
    std::filesystem::remove(out);
}

TEST(LinkLabel, WithNoHandlerTheBrowserOfHtmPagesGetsTheTarget) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "qm487_link_fallback.txt";
    std::filesystem::remove(out);
    FakeBrowser browser(out);

    const int r = CLinkLabel::OpenTarget("qm487nohandler:abc", SW_HIDE);
    EXPECT_GT(r, 32);
    EXPECT_TRUE(WaitFor([&] { return ReadFileText(out).find("qm487nohandler:abc") != std::string::npos; }, 20000));

    std::filesystem::remove(out);
}

TEST(LinkLabel, TheErrorBoxNamesTheCode) {
    struct Box {
        int code;
        std::wstring text;
    };
    for (Box box : {Box{26, L"Unable to open hyperlink:\n\nA sharing violation occurred. "},
                    Box{4, L"Unable to open hyperlink:\n\nUnknown Error (4) occurred."}}) {
        DWORD threadId = 0;
        HANDLE thread = CreateThread(
            nullptr, 0, [](LPVOID p) -> DWORD { CLinkLabel::ShowOpenError(*static_cast<int*>(p)); return 0; },
            &box.code, 0, &threadId);
        ASSERT_NE(thread, nullptr);
        HWND found = nullptr;
        WaitFor(
            [&] {
                EnumThreadWindows(
                    threadId,
                    [](HWND hWnd, LPARAM lp) -> BOOL {
                        if (IsWindowVisible(hWnd)) {
                            *reinterpret_cast<HWND*>(lp) = hWnd;
                            return FALSE;
                        }
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&found));
                return found != nullptr;
            },
            10000);
        ASSERT_NE(found, nullptr);
        wchar_t text[256] = {};
        GetDlgItemTextW(found, 0xFFFF, text, 256);
        EXPECT_EQ(text, box.text);
        PostMessageW(found, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
}
