// The application object: its InitInstance is the whole life of the program.
#pragma once

#include "framework/win_app.h"

#include <string>

class CReaderApp : public CWinApp {
public:
    // Reads the settings, runs the main window, closes the port and writes
    // the settings back. Returns FALSE: there is no loop after it.
    BOOL InitInstance() override;

    // The configuration file; empty: chosen by SettingsFilePath.
    std::wstring m_strSettingsPath;
    // Handed to the main window: FALSE keeps the port dialog away.
    BOOL m_bOfferPortDialog = TRUE;
    // Likewise: FALSE keeps the start-up promotion window away.
    BOOL m_bOfferPromotion = TRUE;

    // The profile (empty: the default one) and whether Windows started it,
    // from the command line: "/profile NAME", "/autostart".
    std::string m_strProfile;
    BOOL m_bStartedWithWindows = FALSE;
    // "/removeautostart": only removes this program's Run values and ends.
    BOOL m_bOnlyRemoveStartWithWindows = FALSE;
    // Takes the program's options; FALSE, after saying why, for a profile
    // name that breaks the rule: the program then ends.
    BOOL TakeCommandLine(const wchar_t* pszCommandLine);
};
