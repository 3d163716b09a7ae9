#include "app/reader_app.h"

#include "installation/installation.h"
#include "app/main_dialog.h"
#include "app/profile_instance.h"
#include "installation/settings_path.h"
#include "app/start_with_windows.h"
#include "config/ini_file.h"
#include "config/profile.h"
#include "config/settings.h"
#include "framework/record_file.h"
#include "framework/handles.h"
#include "framework/text.h"

#include <shellapi.h>

#include <vector>

namespace {

const char kBadProfileName[] = "Nieprawid\xB3owa nazwa przyrz\xB9" "du: \x84%s\x94.\n\n";

// The configuration is user input: should reading it throw (memory running
// out on a strange file), the program starts with its own values.
void ReadSettings(CMainDialog& dlg, CIniFile& ini, const std::wstring& path) {
    try {
        if (ini.Load(path, IniLoadOptions().CreateIfMissing())) {
            ProgramSettings settings = dlg.CollectSettings();
            LoadSettings(ini, settings);
            dlg.ApplySettings(settings);
        }
    } catch (...) {
        dlg.ApplySettings(ConstructorSettings());
    }
}

}  // namespace

BOOL CReaderApp::TakeCommandLine(const wchar_t* pszCommandLine) {
    int argc = 0;
    const CLocalMemory<wchar_t*> argv(CommandLineToArgvW(pszCommandLine, &argc));
    std::vector<std::string> args;
    for (int i = 1; argv.IsValid() && i < argc; ++i)
        args.push_back(afx::Narrow1250(argv.Get()[i]));
    const StartOptions options = ParseStartOptions(args);
    if (!options.bValid) {
        std::string text(sizeof kBadProfileName + options.strBadName.size(), '\0');
        text.resize(std::snprintf(text.data(), text.size(), kBadProfileName, options.strBadName.c_str()));
        AfxMessageBox(text + kProfileNameRule, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    m_start.strProfile = options.strProfile;
    m_start.bStartedWithWindows = options.bWithWindows;
    m_bOnlyRemoveStartWithWindows = options.bRemoveStartWithWindows;
    return TRUE;
}

BOOL CReaderApp::InitInstance() {
    // No exception leaves here: beyond this there is only the C runtime,
    // which would end the process without a word.
    try {
        if (m_bOnlyRemoveStartWithWindows) {
            RemoveStartWithWindows(m_wstrProgramPath);
            return FALSE;
        }
        // The file this copy will use, and only then the lock on it: an
        // installed and a portable copy may both come to the user's folder.
        // Finding it writes nothing a running copy uses (a probe file gone
        // at once, the user's copy seeded only where there is none).
        const std::wstring path =
            AbsoluteFilePath(m_start.strSettingsPath.empty()
                                 ? SettingsFilePath(m_wstrProgramPath, ProfileSettingsFileName(m_start.strProfile))
                                 : m_start.strSettingsPath);
        // Before anything is read or written: a profile already running is
        // only brought to the front.
        CProfileInstance instance(path);
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
        MainWindowStart start = m_start;
        start.strSettingsPath = path;
        start.pInstance = &instance;
        CMainDialog dlg(start);
        m_pMainWnd = &dlg;
        struct Unset {
            CWinApp& app;
            ~Unset() { app.m_pMainWnd = nullptr; }
        } unset{*this};
        // The window writes the file, last as it goes; nothing is written
        // after it has gone.
        CIniFile ini;
        dlg.UseSettingsStore(&ini);
        ReadSettings(dlg, ini, path);
        dlg.DoModal();
        dlg.UseSettingsStore(nullptr);
        dlg.ClosePort();
    } catch (...) {
    }
    return FALSE;
}
