// Kreslo.exe: the chart viewer of the binary log. Opens the file named on
// the command line, else the binary log that qm487cfg.ini names (as the
// main program starts it, without arguments), else asks for one.
#include "config/native_file.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "viewer/app/chart_window.h"

#include <shellapi.h>

#include <memory>

namespace {

class CKresloApp : public CWinApp {
public:
    BOOL InitInstance() override {
        const KresloSettings settings = LoadKresloSettings(m_wstrProgramPath);
        m_pWindow.reset(new CChartWindow(settings));
        if (!m_pWindow->Create())
            return FALSE;
        m_pMainWnd = m_pWindow.get();
        ShowWindow(*m_pWindow, SW_SHOW);
        UpdateWindow(*m_pWindow);

        int argc = 0;
        const CLocalMemory<wchar_t*> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
        // Several files (dropped on it, or given by a script) are one log.
        std::vector<std::wstring> paths;
        for (int i = 1; argv.IsValid() && i < argc; ++i)
            paths.push_back(argv.Get()[i]);
        if (!paths.empty()) {
            SortSeries(paths);
            m_pWindow->OpenFiles(paths);
        } else if (settings.strBinaryPath.empty()) {
            AfxMessageBox("W pliku qm487cfg.ini nie wskazano pliku rejestracji binarnej (.kvf).\n"
                          "Wybierz plik do otwarcia.",
                          MB_ICONINFORMATION);
            m_pWindow->ChooseAndOpen();
        } else if (!native_file::IsFile(afx::Widen1250(settings.strBinaryPath))) {
            AfxMessageBox("Plik rejestracji binarnej " + settings.strBinaryPath +
                              " nie istnieje.\nWybierz plik do otwarcia.",
                          MB_ICONINFORMATION);
            m_pWindow->ChooseAndOpen();
        } else {
            m_pWindow->OpenFile(afx::Widen1250(settings.strBinaryPath));
        }
        return TRUE;
    }

    int Run() override {
        const int code = CWinApp::Run();
        m_pMainWnd = nullptr;
        m_pWindow.reset();
        return code;
    }

private:
    std::unique_ptr<CChartWindow> m_pWindow;
};

CKresloApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) { return AfxWinMain(hInstance); }
