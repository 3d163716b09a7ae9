// The application object: one global object whose InitInstance runs the
// program, and message boxes in the program's name.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

// The framework's standard help command, which F1 ends in.
const UINT ID_HELP = 0xE146;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    // The program's work. FALSE: nothing more to run, the process ends.
    virtual BOOL InitInstance();
    // The message loop of a program whose InitInstance returned TRUE.
    virtual int Run();

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd;
    // The program file as Windows names it, for every call on files: its
    // folder may be named in any language.
    std::wstring m_wstrProgramPath;
    std::wstring m_wstrHelpFilePath;  // the program's path with the extension ".HLP"
    std::string m_strAppName;         // caption of message boxes: the program's file name without extension

private:
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
CWnd* AfxGetMainWnd();

// Registers the common controls' classes, once: comctl32 is loaded at the
// first call (delay-loaded), so a dialog made before that would lack them.
void AfxInitCommonControls();

// Everything the entry point does: sets the application object up and runs it.
int AfxWinMain(HINSTANCE hInstance);

// A message box as below for a text that names files as Windows does (UTF-16).
int AfxMessageBox(const std::wstring& strText, UINT nType = MB_OK);

// A message box owned by the active window of this thread (else the main
// window), titled with the program's name. Text in Windows-1250.
int AfxMessageBox(const std::string& strText, UINT nType = MB_OK);
// A warning asking yes or no, "No" the default: true for yes.
bool AfxAskWarning(const std::string& strText);
