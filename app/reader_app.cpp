#include "app/reader_app.h"

#include "app/installation.h"
#include "app/main_dialog.h"
#include "app/profile_instance.h"
#include "app/settings_path.h"
#include "config/ini_file.h"
#include "config/profile.h"
#include "config/settings.h"
#include "recording/record_file.h"
#include "framework/text.h"

#include <shellapi.h>

#include <vector>

namespace {

const char kBadProfileName[] = "Nieprawid\xB3owa nazwa przyrz\xB9" "du: \x84%s\x94.\n\n";

// The configuration is user input: should reading it throw (memory running
// out on a strange file), the program starts with its own values.
void ReadSettings(CMainDialog& dlg, CIniFile& ini, const std::wstring& path) {
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

// What tells one profile from another (CProfileInstance takes 8-bit text):
// the settings file's path in one letter case, every character kept, so
// that two folders named beyond Windows-1250 stay two profiles.
std::string ProfileKeyText(std::wstring strSettingsFile) {
    CharUpperBuffW(strSettingsFile.data(), static_cast<DWORD>(strSettingsFile.size()));
    return afx::NarrowUtf8(strSettingsFile);
}

}  // namespace

BOOL CReaderApp::TakeCommandLine(const wchar_t* pszCommandLine) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(pszCommandLine, &argc);
    std::vector<std::string> args;
    for (int i = 1; argv != nullptr && i < argc; ++i)
        args.push_back(afx::Narrow1250(argv[i]));
    LocalFree(argv);
    const StartOptions options = ParseStartOptions(args);
    if (!options.bValid) {
        std::string text(sizeof kBadProfileName + options.strBadName.size(), '\0');
        text.resize(std::snprintf(text.data(), text.size(), kBadProfileName, options.strBadName.c_str()));
        AfxMessageBox(text + kProfileNameRule, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    m_strProfile = options.strProfile;
    m_bStartedWithWindows = options.bWithWindows;
    return TRUE;
}

BOOL CReaderApp::InitInstance() {
    // No exception leaves here: beyond this there is only the C runtime,
    // which would end the process without a word.
    try {
        // Before anything is read or written: a profile already running is
        // only brought to the front.
        const std::wstring besideProgram =
            (CIniFile::ProgramDirectory(m_wstrProgramPath) / afx::Widen1250(ProfileSettingsFileName(m_strProfile)))
                .native();
        CProfileInstance instance(ProfileKeyText(m_strSettingsPath.empty() ? besideProgram : m_strSettingsPath));
        if (!instance.IsFirst()) {
            instance.ActivateFirst();
            return FALSE;
        }
        // The common controls are set up by the framework's entry (AfxWinMain).
        // The installed copy starts in Documents, so file dialogs open there and
        // a recording named without a folder goes there, not into Program Files.
        if (FindInstalledCopy(m_wstrProgramPath).bInstalled) {
            const std::wstring documents = UserDocumentsFolder();
            if (!documents.empty())
                SetCurrentDirectoryW(documents.c_str());
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
            const std::wstring path = AbsoluteFilePath(
                m_strSettingsPath.empty() ? SettingsFilePath(m_wstrProgramPath, ProfileSettingsFileName(m_strProfile))
                                          : m_strSettingsPath);
            dlg.m_strSettingsPath = path;
            dlg.m_pSettings = &ini;
            dlg.m_bOfferPortDialog = m_bOfferPortDialog;
            dlg.m_bOfferPromotion = m_bOfferPromotion;
            dlg.m_strProfile = m_strProfile;
            dlg.m_bStartedWithWindows = m_bStartedWithWindows;
            dlg.m_pInstance = &instance;
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
