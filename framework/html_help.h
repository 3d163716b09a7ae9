// HTML Help (hhctrl.ocx), loaded at run time when first asked for: Windows
// Help (.hlp) no longer exists on current Windows, and a program that links
// hhctrl statically would not start where it is missing.
#pragma once

#include "framework/handles.h"

#include <windows.h>

#include <string>

class CHtmlHelp {
public:
    CHtmlHelp() = default;
    // Closes the help windows it opened and frees the library; on the
    // thread that opened them.
    ~CHtmlHelp();
    CHtmlHelp(const CHtmlHelp&) = delete;
    CHtmlHelp& operator=(const CHtmlHelp&) = delete;

    // Opens the compiled help file at one of its pages ("index.htm"); the
    // help window, or nullptr when HTML Help is missing or refuses.
    HWND DisplayTopic(HWND hCaller, const std::wstring& strChmPath, const std::wstring& strTopic);
    // Closes every help window this process opened; nothing when none was.
    void CloseAll();
    bool IsLoaded() const { return m_pfnHtmlHelp != nullptr; }

private:
    using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    bool Load();

    CModule m_library;
    HtmlHelpProc m_pfnHtmlHelp = nullptr;
    BOOL m_bTriedLoad = FALSE;  // a missing hhctrl is looked for once
    BOOL m_bOpened = FALSE;     // a help window may exist
    BOOL m_bOleInitialized = FALSE;  // this thread's OLE, by Load
};
