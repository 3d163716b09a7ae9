#include "app/reader_app.h"

#include "app/installation.h"
#include "app/main_dialog.h"
#include "app/settings_path.h"
#include "config/ini_file.h"
#include "config/settings.h"
#include "recording/record_file.h"

namespace {

// The configuration is user input: should reading it throw (memory running
// out on a strange file), the program starts with its own values.
void ReadSettings(CMainDialog& dlg, CIniFile& ini, const std::string& path) {
    try {
        if (ini.Load(path, TRUE, TRUE, TRUE, FALSE)) {
            ProgramSettings settings = dlg.CollectSettings();
            LoadSettings(ini, settings);
            dlg.ApplySettings(settings);
        }
    } catch (...) {
        dlg.ApplySettings(ConstructorSettings());
    }
}

}  // namespace

BOOL CReaderApp::InitInstance() {
    // No exception leaves here: beyond this there is only the C runtime,
    // which would end the process without a word.
    try {
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
        struct Unset {
            CWinApp& app;
            ~Unset() { app.m_pMainWnd = nullptr; }
        } unset{*this};
        {
            // Released before the window object: its destructor writes the file.
            CIniFile ini;
            const std::string path =
                AbsoluteFilePath(m_strSettingsPath.empty() ? SettingsFilePath(m_strProgramPath) : m_strSettingsPath);
            dlg.m_strSettingsPath = path;
            dlg.m_pSettings = &ini;
            dlg.m_bOfferPortDialog = m_bOfferPortDialog;
            dlg.m_bOfferPromotion = m_bOfferPromotion;
            ReadSettings(dlg, ini, path);

            dlg.DoModal();  // however it ends, the settings are saved
            dlg.ClosePort();

            dlg.m_pSettings = nullptr;
            dlg.StoreSettings(ini);
        }
    } catch (...) {
    }
    return FALSE;
}
