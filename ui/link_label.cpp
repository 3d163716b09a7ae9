#include "ui/link_label.h"

#include "framework/handles.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "ui/link_texts.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

const UINT_PTR kToolId = 1;
const int kHandCursorResource = 106;

}  // namespace

CLinkLabel::CLinkLabel()
    : m_crNormal(RGB(0, 0, 238)),
      m_crVisited(RGB(85, 26, 139)),
      m_crHover(GetSysColor(COLOR_HIGHLIGHT)),
      m_bHover(FALSE),
      m_bVisited(FALSE),
      m_bUnderline(TRUE),
      m_bFitToText(TRUE),
      m_hHandCursor(nullptr),
      m_tip(nullptr),
      m_bOwnCursor(FALSE) {}

CLinkLabel::~CLinkLabel() {
    if (m_tip != nullptr)
        ::DestroyWindow(m_tip);
    if (m_bOwnCursor && m_hHandCursor != nullptr)
        DestroyCursor(m_hHandCursor);
}

const AfxMsgMap* CLinkLabel::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnMessage<WM_MOUSEMOVE, &CLinkLabel::OnMouseMove>(),
        afx::OnMessage<WM_SETCURSOR, &CLinkLabel::OnSetCursor>(),
        afx::OnDestroy<&CLinkLabel::OnDestroy>(),
    };
    static const AfxMsgMap map = {CStatic::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

BOOL CLinkLabel::SubclassLink(UINT nId, CWnd* pParent) {
    HWND hWnd = ::GetDlgItem(*pParent, static_cast<int>(nId));
    if (hWnd == nullptr)
        return FALSE;
    SetWindowLongW(hWnd, GWL_STYLE, GetWindowLongW(hWnd, GWL_STYLE) | SS_NOTIFY);
    if (!SubclassWindow(hWnd))
        return FALSE;
    const std::string strText = GetWindowText();
    if (m_strTarget.empty())
        m_strTarget = strText;
    if (strText.empty())
        SetWindowText(m_strTarget);

    LOGFONTW lf = {};
    HFONT hFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (hFont == nullptr)
        hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectW(hFont, sizeof lf, &lf);
    lf.lfUnderline = m_bUnderline ? TRUE : FALSE;
    m_fontLink.Attach(CreateFontIndirectW(&lf));
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_fontLink)), TRUE);
    FitToText();
    LoadHandCursor();

    m_tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, AfxGetInstanceHandle(), nullptr);
    if (m_tip != nullptr) {
        std::wstring strTip = afx::Widen1250(m_strTarget);
        TOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = m_hWnd;
        ti.uId = kToolId;
        ti.lpszText = strTip.data();
        GetClientRect(m_hWnd, &ti.rect);
        ::SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    return TRUE;
}

void CLinkLabel::SetTarget(const std::string& strTarget) {
    m_strTarget = strTarget;
    if (m_hWnd == nullptr)
        return;
    FitToText();
    UpdateTipText();
}

void CLinkLabel::UpdateTipText() {
    if (m_tip == nullptr)
        return;
    std::wstring strTip = afx::Widen1250(m_strTarget);
    TOOLINFOW ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = m_hWnd;
    ti.uId = kToolId;
    ti.lpszText = strTip.data();
    ::SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CLinkLabel::MarkVisited(BOOL bVisited) {
    m_bVisited = bVisited;
    if (m_hWnd != nullptr)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkLabel::FitToText() {
    if (m_hWnd == nullptr || !m_bFitToText)
        return;
    HWND hParent = ::GetParent(m_hWnd);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);

    const std::wstring strText = afx::Widen1250(GetWindowText());
    SIZE size = {};
    {
        CClientDC dc(this);
        CSelection font(dc.GetSafeHdc(), m_fontLink);
        GetTextExtentPoint32W(dc.GetSafeHdc(), strText.c_str(), static_cast<int>(strText.size()), &size);
    }

    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    if (style & SS_CENTERIMAGE) {
        const int d = (rc.bottom - rc.top - size.cy) / 2;
        rc.top += d;
        rc.bottom -= d;
    } else {
        rc.bottom = rc.top + size.cy;
    }
    const LONG align = style & SS_TYPEMASK;
    if (align == SS_CENTER) {
        const int d = (rc.right - rc.left - size.cx) / 2;
        rc.left += d;
        rc.right -= d;
    } else if (align == SS_RIGHT) {
        rc.left = rc.right - size.cx;
    } else {
        rc.right = rc.left + size.cx;
    }
    ::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// The hand of the old help viewer where it exists; the system's hand
// elsewhere (current Windows and Wine have no such module), never the arrow.
void CLinkLabel::LoadHandCursor() {
    if (m_hHandCursor != nullptr)
        return;
    wchar_t szPath[MAX_PATH + 16] = {};
    const UINT n = GetWindowsDirectoryW(szPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        lstrcatW(szPath, L"\\winhlp32.exe");
        const CModule module(LoadLibraryExW(szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (module.IsValid()) {
            if (HCURSOR hCursor = LoadCursorW(module.Get(), MAKEINTRESOURCEW(kHandCursorResource))) {
                m_hHandCursor = static_cast<HCURSOR>(CopyIcon(hCursor));
                m_bOwnCursor = m_hHandCursor != nullptr;
            }
        }
    }
    if (m_hHandCursor == nullptr)
        m_hHandCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // IDC_HAND
}

LONG CLinkLabel::ReadRegistryDefault(HKEY hRoot, const std::string& strSubKey, std::string& strOut) {
    CRegKey key;
    LONG r = RegOpenKeyExW(hRoot, afx::Widen1250(strSubKey).c_str(), 0, KEY_QUERY_VALUE, key.Receive());
    if (r != ERROR_SUCCESS)
        return r;
    wchar_t szValue[260] = {};
    DWORD cb = sizeof szValue - sizeof(wchar_t);
    DWORD type = 0;
    r = RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(szValue), &cb);
    if (r != ERROR_SUCCESS)
        return r;
    // A value that is there but is no text cannot name a class or a command.
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    strOut = afx::Narrow1250(szValue);
    return ERROR_SUCCESS;
}

int CLinkLabel::OpenTarget(const std::string& strTarget, int nShowCmd) {
    const std::wstring wTarget = afx::Widen1250(strTarget);
    const int r = static_cast<int>(
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wTarget.c_str(), nullptr, nullptr, nShowCmd)));
    if (r > 32)
        return r;
    std::string strClass;
    if (ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", strClass) != ERROR_SUCCESS)
        return r;
    std::string strCommand;
    if (ReadRegistryDefault(HKEY_CLASSES_ROOT, strClass + "\\shell\\open\\command", strCommand) != ERROR_SUCCESS)
        return r;
    std::string strLine;
    if (!BrowserCommandLine(strCommand, strTarget, strLine))
        return r;
    return static_cast<int>(WinExec(strLine.c_str(), static_cast<UINT>(nShowCmd)));
}

void CLinkLabel::ShowOpenError(int nCode) { AfxMessageBox(LinkOpenErrorText(nCode), MB_ICONEXCLAMATION | MB_OK); }

void CLinkLabel::OnClicked() {
    const int r = OpenTarget(m_strTarget, SW_SHOW);
    m_bVisited = r > 32;
    if (m_bVisited) {
        MarkVisited(TRUE);
    } else {
        MessageBeep(MB_ICONEXCLAMATION);
        ShowOpenError(r);
    }
}

COLORREF CLinkLabel::CurrentColor() const {
    if (m_bHover)
        return m_crHover;
    return m_bVisited ? m_crVisited : m_crNormal;
}

HBRUSH CLinkLabel::CtlColor(HDC hDC) {
    ::SetTextColor(hDC, CurrentColor());
    ::SetBkMode(hDC, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

BOOL CLinkLabel::PreTranslateMessage(MSG* pMsg) {
    if (m_tip != nullptr)
        ::SendMessageW(m_tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
    return CStatic::PreTranslateMessage(pMsg);
}

LRESULT CLinkLabel::OnMouseMove(WPARAM, LPARAM lParam) {
    const LRESULT r = Default();
    if (!m_bHover) {
        m_bHover = TRUE;
        RedrawNow();
        SetCapture(m_hWnd);
    } else {
        RECT rc;
        GetClientRect(m_hWnd, &rc);
        const POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!PtInRect(&rc, pt)) {
            m_bHover = FALSE;
            ReleaseCapture();
            RedrawNow();
        }
    }
    return r;
}

LRESULT CLinkLabel::OnSetCursor(WPARAM, LPARAM) {
    if (m_hHandCursor == nullptr)
        return Default();
    SetCursor(m_hHandCursor);
    return TRUE;
}

// The tooltip goes with the control, so the destructor never meets a stale handle.
void CLinkLabel::OnDestroy() {
    if (m_tip != nullptr) {
        ::DestroyWindow(m_tip);
        m_tip = nullptr;
    }
    Default();
}
