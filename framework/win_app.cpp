#include "framework/win_app.h"

#include "framework/system_library.h"
#include "framework/text.h"
#include "framework/wnd.h"

#include <commctrl.h>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp() : m_hInstance(GetModuleHandleW(nullptr)), m_pMainWnd(nullptr) {
    g_pApp = this;
    char szPath[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameA(nullptr, szPath, sizeof szPath - 1);
    m_strProgramPath.assign(szPath, n);
    const std::string::size_type slash = m_strProgramPath.find_last_of("\\/");
    const std::string::size_type dot = m_strProgramPath.find_last_of('.');
    const std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    m_strHelpFilePath = m_strProgramPath.substr(0, hasExtension ? dot : std::string::npos) + ".HLP";
    m_strAppName = m_strProgramPath.substr(nameStart, hasExtension ? dot - nameStart : std::string::npos);
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : GetModuleHandleW(nullptr); }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

void AfxInitCommonControls() {
    static const BOOL bDone = [] {
        // The visual-styles generation (the manifest asks for it).
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES | ICC_DATE_CLASSES | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc);
    }();
    (void)bDone;
}

int AfxWinMain(HINSTANCE hInstance) {
    LoadDllsFromSystemFolderOnly();
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return 1;
    pApp->m_hInstance = hInstance;
    AfxInitCommonControls();
    if (!pApp->InitInstance())
        return 0;
    return pApp->Run();
}

int AfxMessageBox(const std::string& strText, UINT nType) {
    HWND hOwner = GetActiveWindow();
    if (hOwner == nullptr && AfxGetMainWnd() != nullptr)
        hOwner = AfxGetMainWnd()->GetSafeHwnd();
    const std::string caption = AfxGetApp() ? AfxGetApp()->m_strAppName : std::string("QM487");
    return MessageBoxW(hOwner, afx::Widen1250(strText).c_str(), afx::Widen1250(caption).c_str(), nType);
}

bool AfxAskWarning(const std::string& strText) {
    return AfxMessageBox(strText, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
