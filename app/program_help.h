// The program's help: QM487.chm beside the program, shown by HTML Help at
// its start page; where that cannot be shown, the same pages as plain HTML
// from the folder "help" beside the program, in the browser.
//
// The page is named, not reached through a context map: chmcmd writes the
// folder it compiled in into a map's topics, which then name no page of the
// file.
#pragma once

#include "framework/html_help.h"

#include <string>

class CProgramHelp {
public:
    enum class Shown { Window, Browser, Nothing };
    static constexpr const wchar_t* kStartTopic = L"index.htm";

    // The program's own folder.
    CProgramHelp();

    Shown Show(HWND hOwner);
    // Closes the help window, if one was opened.
    void Close() { m_htmlHelp.CloseAll(); }

    std::wstring ChmPath() const { return m_strFolder + L"\\QM487.chm"; }
    std::wstring StartPage() const { return m_strFolder + L"\\help\\" + kStartTopic; }

    std::wstring m_strFolder;  // where the help lies; no trailing backslash
    HWND m_hWindow = nullptr;  // the help window last opened

private:
    CHtmlHelp m_htmlHelp;
};
