#include "framework/wnd.h"

#include "framework/text.h"
#include "framework/win_app.h"

#include <unordered_map>

namespace {

// Which object each attached window belongs to. Looked up for every
// message and every ancestor in PreTranslateMessage, so it is kept in the
// process: a window property is a wineserver request under Wine. Windows of
// any thread may be attached, hence the lock (shared for lookups).
class CHandleMap {
public:
    CWnd* Find(HWND hWnd) {
        AcquireSRWLockShared(&m_lock);
        const auto it = m_map.find(hWnd);
        CWnd* pWnd = it == m_map.end() ? nullptr : it->second;
        ReleaseSRWLockShared(&m_lock);
        return pWnd;
    }
    void Add(HWND hWnd, CWnd* pWnd) {
        AcquireSRWLockExclusive(&m_lock);
        m_map[hWnd] = pWnd;
        ReleaseSRWLockExclusive(&m_lock);
    }
    // Only while the window is still pWnd's.
    void Remove(HWND hWnd, const CWnd* pWnd) {
        AcquireSRWLockExclusive(&m_lock);
        const auto it = m_map.find(hWnd);
        if (it != m_map.end() && it->second == pWnd)
            m_map.erase(it);
        ReleaseSRWLockExclusive(&m_lock);
    }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
    std::unordered_map<HWND, CWnd*> m_map;
};

// Never destroyed: windows may still go after static objects have.
CHandleMap& Handles() {
    static CHandleMap* map = new CHandleMap;
    return *map;
}

// The window being created on this thread and the hook that catches it.
thread_local CWnd* t_pWndInit = nullptr;
thread_local HHOOK t_hHookCreate = nullptr;

LRESULT CALLBACK CreateHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_CREATEWND && t_pWndInit != nullptr) {
        CWnd* pWnd = t_pWndInit;
        t_pWndInit = nullptr;  // only the first window: a dialog's controls stay as they are
        pWnd->SubclassWindow(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(t_hHookCreate, nCode, wParam, lParam);
}

// Readable memory of this process for n bytes from p.
bool IsReadable(const void* p, std::size_t n) {
    MEMORY_BASIC_INFORMATION info;
    const char* at = static_cast<const char*>(p);
    const char* end = at + n;
    while (at < end) {
        if (VirtualQuery(at, &info, sizeof info) == 0 || info.State != MEM_COMMIT ||
            (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(info.Protect & (PAGE_READONLY | PAGE_READWRITE |
            PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)))
            return false;
        at = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

// WM_NOTIFY comes from a control of this thread to its parent, with a
// pointer into this process; but any process may post or send one with any
// lParam. A null pointer or memory this process cannot read is dropped.
bool IsReadableNotify(LPARAM lParam) {
    return lParam != 0 && IsReadable(reinterpret_cast<const void*>(lParam), sizeof(NMHDR));
}

// Only a header naming a child of the window, with its id, reaches a
// handler; others (a tooltip's, say) go to the default procedure.
bool IsFromChild(HWND hParent, const NMHDR& notify) {
    HWND hFrom = notify.hwndFrom;
    return IsWindow(hFrom) && GetWindowThreadProcessId(hFrom, nullptr) == GetCurrentThreadId() &&
           GetAncestor(hFrom, GA_PARENT) == hParent &&
           static_cast<UINT_PTR>(GetDlgCtrlID(hFrom)) == notify.idFrom;
}

bool CommandMatches(const AfxMsgEntry& e, WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    if (id != e.nId && (e.nLastId == 0 || id < e.nId || id > e.nLastId))
        return false;
    const UINT code = HIWORD(wParam);
    // Menus send 0, accelerators 1; both are commands.
    return code == e.nCode || (e.nCode == 0 && code == 1 && lParam == 0);
}

}  // namespace

CWnd::CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr), m_currentMsg() {}

CWnd::~CWnd() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
    Detach();  // no message may reach this object any more, even if that failed
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    return hWnd ? Handles().Find(hWnd) : nullptr;
}

void CWnd::Attach(HWND hWnd) {
    m_hWnd = hWnd;
    Handles().Add(hWnd, this);
}

void CWnd::Detach() {
    if (m_hWnd == nullptr)
        return;
    Handles().Remove(m_hWnd, this);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    Attach(hWnd);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nId, CWnd* pParent) {
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nId)));
}

void CWnd::AfxHookWindowCreate(CWnd* pWnd) {
    t_pWndInit = pWnd;
    if (t_hHookCreate == nullptr)
        t_hHookCreate = SetWindowsHookExW(WH_CBT, CreateHookProc, nullptr, GetCurrentThreadId());
}

void CWnd::AfxUnhookWindowCreate() {
    t_pWndInit = nullptr;
    if (t_hHookCreate != nullptr) {
        UnhookWindowsHookEx(t_hHookCreate);
        t_hHookCreate = nullptr;
    }
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, const std::string& strName, DWORD dwStyle, int x,
                    int y, int cx, int cy, HWND hParent, HMENU hMenu) {
    AfxHookWindowCreate(this);
    HWND hWnd = CreateWindowExW(dwExStyle, lpszClassName, afx::Widen1250(strName).c_str(), dwStyle, x, y, cx, cy,
                                hParent, hMenu, AfxGetInstanceHandle(), nullptr);
    AfxUnhookWindowCreate();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

const AfxMsgMap* CWnd::GetThisMessageMap() {
    static const AfxMsgMap map = {nullptr, nullptr, 0};
    return &map;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return DefWindowProcW(hWnd, message, wParam, lParam);
    return pWnd->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const MSG saved = m_currentMsg;
    m_currentMsg.hwnd = m_hWnd;
    m_currentMsg.message = message;
    m_currentMsg.wParam = wParam;
    m_currentMsg.lParam = lParam;
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    m_currentMsg = saved;
    if (message == WM_NCDESTROY) {
        // The window is gone: give it back its own procedure and let go;
        // unless someone subclassed it after us, whose procedure stays.
        if (GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AfxWndProc))
            SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        Detach();
        PostNcDestroy();
    }
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const NMHDR* pNotify = nullptr;
    if (message == WM_NOTIFY) {
        if (!IsReadableNotify(lParam)) {
            *pResult = 0;  // dropped: not even the default procedure sees it
            return TRUE;
        }
        pNotify = reinterpret_cast<const NMHDR*>(lParam);
        if (!IsFromChild(m_hWnd, *pNotify))
            return FALSE;
    }
    for (const AfxMsgMap* pMap = GetMessageMap(); pMap != nullptr; pMap = pMap->pBase) {
        for (std::size_t i = 0; i < pMap->nCount; ++i) {
            const AfxMsgEntry& e = pMap->pEntries[i];
            if (e.nMessage != message)
                continue;
            if (message == WM_COMMAND && !CommandMatches(e, wParam, lParam))
                continue;
            if (pNotify != nullptr && (pNotify->idFrom != e.nId || pNotify->code != e.nCode))
                continue;
            *pResult = e.pfn(this, wParam, lParam);
            return TRUE;
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::WinHelp(DWORD_PTR dwData, UINT nCmd) {
    ::WinHelpW(m_hWnd, AfxGetApp()->m_wstrHelpFilePath.c_str(), nCmd, dwData);
}

void CWnd::SetWindowText(const std::string& strText) {
    ::SetWindowTextW(m_hWnd, afx::Widen1250(strText).c_str());
}

std::string CWnd::GetWindowText() const {
    const int n = GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(m_hWnd, &text[0], n + 1)));
    return afx::Narrow1250(text);
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint) { ::MoveWindow(m_hWnd, x, y, cx, cy, bRepaint); }

void CWnd::RedrawNow() { ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

UINT_PTR CWnd::SetTimer(UINT_PTR nId, UINT nElapse) { return ::SetTimer(m_hWnd, nId, nElapse, nullptr); }

BOOL CWnd::KillTimer(UINT_PTR nId) { return ::KillTimer(m_hWnd, nId); }

CWnd* CWnd::SetFocus() { return FromHandlePermanent(::SetFocus(m_hWnd)); }

BOOL AfxPreTranslateMessage(MSG* pMsg) {
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr;) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (!(GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD))
            break;
        hWnd = GetParent(hWnd);
    }
    return FALSE;
}
