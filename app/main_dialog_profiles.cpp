// Profiles: the window names its profile, "Nowy przyrząd..." makes and
// starts another one, and a session's end saves what a restart needs.
#include "app/main_dialog.h"

#include "app/profile_instance.h"
#include "installation/settings_path.h"
#include "config/native_file.h"
#include "config/profile.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "ui/new_instrument_dialog.h"

#include <algorithm>
#include <iterator>

namespace {

// A new profile's window opens this far down and right of this one's.
const int kNewWindowOffset = 40;

const char kSettingsNotWritten[] = "Nie mo\xBFna zapisa\xE6 pliku ustawie\xF1 nowego przyrz\xB9" "du:\n";
const char kNotStarted[] = "Nie mo\xBFna uruchomi\xE6 programu dla nowego przyrz\xB9" "du.";

}  // namespace

void CMainDialog::ShowProfile() {
    if (m_start.pInstance != nullptr)
        m_start.pInstance->MarkWindow(m_hWnd);
    if (!m_start.strProfile.empty())
        SetWindowTextW(m_hWnd, afx::Widen1250(ProfileWindowTitle(m_start.strProfile)).c_str());
    // Visible from here on, so the dialog manager does not show it again
    // in its normal state.
    if (m_start.bStartedWithWindows && m_placement.ClosedMinimized())
        ShowWindow(m_hWnd, SW_SHOWMINNOACTIVE);
}

// The new profile looks like this one (colours, fonts, window size, the
// promotion switch) and has nothing of its own yet: no port, no recording,
// no alarms, no database.
void CMainDialog::OnNewInstrument() {
    CNewInstrumentDialog dlg;
    if (dlg.DoModal() != IDOK)
        return;
    const std::wstring program = AfxGetApp()->m_wstrProgramPath;
    const std::wstring path = SettingsFilePath(program, ProfileSettingsFileName(dlg.m_strName));
    // A profile that exists keeps its settings; it is only started.
    if (!native_file::IsFile(path)) {
        CIniFile ini;
        ProgramSettings s = ConstructorSettings();
        if (ini.Load(path, IniLoadOptions().CreateIfMissing()))
            LoadSettings(ini, s);
        const ProgramSettings mine = CollectSettings();
        std::copy(std::begin(mine.fields), std::end(mine.fields), s.fields);
        s.bShowPromotion = mine.bShowPromotion;
        RecordRestoredRect();
        const RECT& rc = m_placement.Rect();
        s.nWindowLeft = rc.left + kNewWindowOffset;
        s.nWindowTop = rc.top + kNewWindowOffset;
        s.nWindowRight = rc.right + kNewWindowOffset;
        s.nWindowBottom = rc.bottom + kNewWindowOffset;
        SaveSettings(ini, s);
        ini.Save(FALSE);
        if (!native_file::IsFile(path)) {
            AfxMessageBox(afx::Widen1250(kSettingsNotWritten) + path, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
    // The profile's name is plain ASCII; the program's path is passed as
    // Windows names it, whatever language its folder is named in.
    std::wstring command = L"\"" + program + L"\"" + afx::Widen1250(ProfileOptions(dlg.m_strName));
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        AfxMessageBox(kNotStarted, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CHandle thread(pi.hThread), process(pi.hProcess);  // the new copy runs on by itself
}

void CMainDialog::OnEndSession(bool bEnding) {
    // The process ends after this returns, before the window is destroyed.
    if (bEnding) {
        RecordRestoredRect();
        m_placement.NoteClosing(m_hWnd);
        SaveSettingsNow();
        m_notify.Stop(true);  // Windows shuts down: no power cut to tell of
    }
}
