// The commands about the program itself: Kreslo, the chart viewer, and
// uninstalling.
#include "app/main_dialog.h"

#include "app/start_with_windows.h"
#include "config/native_file.h"
#include "framework/system_library.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "installation/installation.h"

#include <shellapi.h>

namespace {

const char kChartViewerMissing[] = "Nie mo\xBFna odnale\x9F\xE6 programu Kreslo.exe";

// The portable copy installs nothing, so removing it is deleting two files.
const char kUninstallText[] =
    "Program QM487 nie jest instalowany w systemie, wi\xEA" "c nie trzeba go odinstalowywa\xE6. "
    "Aby go usun\xB9\xE6, zamknij program i usu\xF1 plik programu oraz plik ustawie\xF1:\n\n";
// The installed copy hands over to the system's uninstall of its package.
const char kUninstallQuestion[] =
    "Czy odinstalowa\xE6 program QM487?\n\n"
    "Program zostanie zamkni\xEAty. Plik ustawie\xF1 i pliki rejestracji pozostan\xB9 na dysku:\n";
const char kStopStartingWithWindows[] =
    "\n\nProgram jest uruchamiany razem z systemem Windows. Czy wy\xB3\xB9" "czy\xE6 to teraz?";
const char kUninstallerFailed[] = "Nie mo\xBFna uruchomi\xE6 deinstalatora programu QM487.";

}  // namespace

void CMainDialog::OnRunChartViewer() {
    // From the program's own folder by its full path: a Kreslo.exe in the
    // current folder is not ours. Kreslo alone opens the default profile's
    // log; another profile names its own.
    const std::wstring viewer = ProgramFolderPath(L"Kreslo.exe");
    // The file being recorded: with a file a day, week or month, this period's.
    const std::string strLog =
        m_recorder.BinaryFile() ? m_recorder.BinaryFile()->GetPath() : m_recorder.Settings().strBinaryPath;
    const std::wstring args =
        m_start.strProfile.empty() || strLog.empty() ? std::wstring() : L"\"" + afx::Widen1250(strLog) + L"\"";
    if (viewer.empty() || !native_file::IsFile(viewer) ||
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", viewer.c_str(), args.empty() ? nullptr : args.c_str(),
                                                nullptr, SW_SHOW)) <= 32)
        AfxMessageBox(kChartViewerMissing, MB_OK);
}

void CMainDialog::OnUninstall() {
    const CWinApp* pApp = AfxGetApp();
    const InstalledCopy copy = FindInstalledCopy(pApp->m_wstrProgramPath);
    if (!copy.bInstalled) {
        // Its files go by hand; the values that would start them go once
        // the user says so.
        const std::wstring text =
            afx::Widen1250(kUninstallText) + pApp->m_wstrProgramPath + L"\n" + m_start.strSettingsPath;
        if (!HasStartWithWindows(pApp->m_wstrProgramPath)) {
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (AfxMessageBox(text + afx::Widen1250(kStopStartingWithWindows), MB_YESNO | MB_ICONQUESTION) == IDYES)
            RemoveStartWithWindows(pApp->m_wstrProgramPath);
        return;
    }
    if (AfxMessageBox(afx::Widen1250(kUninstallQuestion) + m_start.strSettingsPath, MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    // Without a recorded product code the system's list of programs does it.
    const bool bByCode = !copy.strProductCode.empty();
    const std::wstring program = SystemFolderPath(bByCode ? L"msiexec.exe" : L"control.exe");
    const std::wstring arguments = bByCode ? L"/x " + afx::Widen1250(copy.strProductCode) : L"appwiz.cpl";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(GetSafeHwnd(), L"open", program.c_str(), arguments.c_str(), nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        AfxMessageBox(kUninstallerFailed, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The Run values stay until the uninstall is under way: the package
    // runs this program with /removeautostart then (packaging/qm487.wxs),
    // so an uninstall cancelled in its own window keeps them.
    OnOK();  // its files must not be in use while they are removed
}
