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
    m_wstrProgramPath = ProgramFilePath();
    const std::wstring::size_type slash = m_wstrProgramPath.find_last_of(L"\\/");
    const std::wstring::size_type dot = m_wstrProgramPath.find_last_of(L'.');
    const std::wstring::size_type nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const bool hasExtension = dot != std::wstring::npos && dot > nameStart;
    m_wstrHelpFilePath = m_wstrProgramPath.substr(0, hasExtension ? dot : std::wstring::npos) + L".HLP";
    m_strAppName =
        afx::Narrow1250(m_wstrProgramPath.substr(nameStart, hasExtension ? dot - nameStart : std::wstring::npos));
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

int AfxMessageBox(const std::string& strText, UINT nType) { return AfxMessageBox(afx::Widen1250(strText), nType); }

int AfxMessageBox(const std::wstring& strText, UINT nType) {
    HWND hOwner = GetActiveWindow();
    if (hOwner == nullptr && AfxGetMainWnd() != nullptr)
        hOwner = AfxGetMainWnd()->GetSafeHwnd();
    const std::string caption = AfxGetApp() ? AfxGetApp()->m_strAppName : std::string("QM487");
    return MessageBoxW(hOwner, strText.c_str(), afx::Widen1250(caption).c_str(), nType);
}

bool AfxAskWarning(const std::string& strText) {
    return AfxMessageBox(strText, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
