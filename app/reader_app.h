// The application object: its InitInstance is the whole life of the program.
#pragma once

#include "app/main_window_start.h"
#include "framework/win_app.h"

#include <string>

class CReaderApp : public CWinApp {
public:
    // Reads the settings, runs the main window, closes the port and writes
    // the settings back. Returns FALSE: there is no loop after it.
    BOOL InitInstance() override;

    // Handed to the main window. The profile and whether Windows started it
    // come from the command line ("/profile NAME", "/autostart"); an empty
    // settings path is chosen by SettingsFilePath.
    MainWindowStart m_start;
    // "/removeautostart": only removes this program's Run values and ends.
    BOOL m_bOnlyRemoveStartWithWindows = FALSE;
    // Takes the program's options; FALSE, after saying why, for a profile
    // name that breaks the rule: the program then ends.
    BOOL TakeCommandLine(const wchar_t* pszCommandLine);
};
