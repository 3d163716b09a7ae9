// Base of the program's window classes: a window object and the window it
// stands for. An object is attached to its window either while the window is
// created (dialogs, through CreateEx/CDialog) or afterwards by subclassing an
// existing control (SubclassDlgItem); from then on the one window procedure
// of this layer hands every message to the object's message map, and what no
// entry takes goes to the window's original procedure (Default).
//
// Texts are Windows-1250 bytes, as the program keeps them; they reach the
// window through the wide functions.
#pragma once

#include "framework/message_map.h"

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd();
    virtual ~CWnd();  // destroys a window still attached

    // The window's handle, or nullptr when the object has no window.
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to a window of this layer, or nullptr.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Attaches this object to an existing window by replacing its window
    // procedure; undone when the window is destroyed.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nId, CWnd* pParent);

    // Creates a window whose messages reach this object from the first one on.
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, const std::string& strName, DWORD dwStyle,
                  int x, int y, int cx, int cy, HWND hParent, HMENU hMenu);
    BOOL DestroyWindow();

    // The first messages a new window gets go to pWnd (a CBT hook); ends
    // with AfxUnhookWindowCreate after the creating call returned.
    static void AfxHookWindowCreate(CWnd* pWnd);
    static void AfxUnhookWindowCreate();

    // A message may be seen here before it is dispatched; TRUE: handled.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Help for this window; the program's help file, with the given command.
    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT);

    // Windows-1250 text.
    void SetWindowText(const std::string& strText);
    std::string GetWindowText() const;

    void MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE);
    void RedrawNow();  // RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW
    UINT_PTR SetTimer(UINT_PTR nId, UINT nElapse);
    BOOL KillTimer(UINT_PTR nId);
    CWnd* SetFocus();
    HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }

    HWND m_hWnd;

protected:
    // The map of this class; each window class with handlers has its own,
    // chained to its base class's.
    static const AfxMsgMap* GetThisMessageMap();
    virtual const AfxMsgMap* GetMessageMap() const { return GetThisMessageMap(); }

    // All messages come here first. FALSE from OnWndMsg: no entry took it.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // The original procedure of the window.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();
    // After the last message of the window (the object is detached).
    virtual void PostNcDestroy() {}

    WNDPROC m_pfnSuper;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    void Attach(HWND hWnd);
    void Detach();

    MSG m_currentMsg;  // the message being handled, for Default

    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Gives every attached window from pMsg's window up to its top-level window
// the chance to take the message first.
BOOL AfxPreTranslateMessage(MSG* pMsg);
