// The program's help: QM487.chm beside the program, shown by HTML Help at a
// context of its map; where that cannot be shown, the same pages as plain
// HTML from the folder "help" beside the program, in the browser.
#pragma once

#include "framework/html_help.h"

#include <string>

class CProgramHelp {
public:
    enum class Shown { Window, Browser, Nothing };

    // The program's own folder.
    CProgramHelp();

    Shown Show(HWND hOwner, DWORD nContext);
    // Closes the help window, if one was opened.
    void Close() { m_htmlHelp.CloseAll(); }

    std::wstring ChmPath() const { return m_strFolder + L"\\QM487.chm"; }
    std::wstring StartPage() const { return m_strFolder + L"\\help\\index.htm"; }

    std::wstring m_strFolder;  // where the help lies; no trailing backslash
    HWND m_hWindow = nullptr;  // the help window last opened

private:
    CHtmlHelp m_htmlHelp;
};
