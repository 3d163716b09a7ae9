#include "app/reader_app.h"

#include "app/installation.h"
#include "app/main_dialog.h"
#include "app/settings_path.h"
#include "config/ini_file.h"
#include "config/settings.h"

BOOL CReaderApp::InitInstance() {
    // The common controls are set up by the framework's entry (AfxWinMain).
    // The installed copy starts in Documents, so file dialogs open there and
    // a recording named without a folder goes there, not into Program Files.
    if (FindInstalledCopy(m_strProgramPath).bInstalled) {
        const std::string documents = UserDocumentsFolder();
        if (!documents.empty())
            SetCurrentDirectoryA(documents.c_str());
    }
    CMainDialog dlg;
    m_pMainWnd = &dlg;
    {
        // Released before the window object: its destructor writes the file.
        CIniFile ini;
        const std::string path = m_strSettingsPath.empty() ? SettingsFilePath(m_strProgramPath) : m_strSettingsPath;
        dlg.m_strSettingsPath = path;
        dlg.m_pSettings = &ini;
        dlg.m_bOfferPortDialog = m_bOfferPortDialog;
        dlg.m_bOfferPromotion = m_bOfferPromotion;
        if (ini.Load(path, TRUE, TRUE, TRUE, FALSE)) {
            ProgramSettings settings = dlg.CollectSettings();
            LoadSettings(ini, settings);
            dlg.ApplySettings(settings);
        }

        dlg.DoModal();  // however it ends, the settings are saved
        dlg.ClosePort();

        dlg.StoreSettings(ini);
        dlg.m_pSettings = nullptr;
    }
    m_pMainWnd = nullptr;
    return FALSE;
}
