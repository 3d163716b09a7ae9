// What the main window is told when it is made: whose copy it is, how it
// was started and what it may offer at start.
#pragma once

#include <string>

class CProfileInstance;

struct MainWindowStart {
    // The profile's name, empty for the default one.
    std::string strProfile;
    // Windows started it: nobody is at the screen (no promotion, no modal
    // box, the port retried instead of asked for).
    bool bStartedWithWindows = false;
    // false: the port dialog is never shown and nothing is chosen (for tests
    // that drive the window without it).
    bool bOfferPortDialog = true;
    // false: the start-up promotion window is not shown (tests again).
    bool bOfferPromotion = true;
    // Where the settings are kept, shown to the user; given to the
    // application empty, it is chosen by SettingsFilePath.
    std::wstring strSettingsPath;
    // Marks the window as the profile's; set by the application.
    const CProfileInstance* pInstance = nullptr;
};
