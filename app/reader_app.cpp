#include "app/reader_app.h"

#include "app/main_dialog.h"
#include "app/settings_path.h"
#include "app/window_rect.h"
#include "config/ini_file.h"
#include "config/settings.h"

BOOL CReaderApp::InitInstance() {
    // The common controls are set up by the framework's entry (AfxWinMain).
    CMainDialog dlg;
    m_pMainWnd = &dlg;
    {
        // Released before the window object: its destructor writes the file.
        CIniFile ini;
        const std::string path = m_strSettingsPath.empty() ? SettingsFilePath(m_strProgramPath) : m_strSettingsPath;
        dlg.m_strSettingsPath = path;
        if (ini.Load(path, TRUE, TRUE, TRUE, FALSE)) {
            ProgramSettings settings = dlg.CollectSettings();
            LoadSettings(ini, settings);
            dlg.ApplySettings(settings);
        }

        dlg.DoModal();  // however it ends, the settings are saved
        dlg.ClosePort();

        ProgramSettings settings = dlg.CollectSettings();
        WindowRect rect = {settings.nWindowLeft, settings.nWindowTop, settings.nWindowRight, settings.nWindowBottom};
        NormalizeWindowRect(rect, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        settings.nWindowLeft = rect.left;
        settings.nWindowTop = rect.top;
        settings.nWindowRight = rect.right;
        settings.nWindowBottom = rect.bottom;
        SaveSettings(ini, settings);
    }
    m_pMainWnd = nullptr;
    return FALSE;
}
