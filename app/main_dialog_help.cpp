// "Pomoc": the program's compiled HTML help at its start topic, or the same
// pages in the browser; closed with the window.
#include "app/main_dialog.h"
#include "framework/text.h"
#include "framework/win_app.h"

namespace {

const char kHelpMissing[] =
    "Nie mo\xBFna otworzy\xE6 pomocy programu. Powinna si\xEA znajdowa\xE6 w pliku QM487.chm "
    "lub w folderze help obok programu:\n\n";

}  // namespace

void CMainDialog::OnHelp() { WinHelp(0, HELP_CONTEXT); }

// F1 anywhere in the window (a field passes it up): the framework's help
// command, as "Pomoc".
bool CMainDialog::OnHelpInfo(HELPINFO*) {
    SendMessage(WM_COMMAND, ID_HELP, 0);
    return true;
}

// Whatever the framework asks for, Help opens at the program's start topic
// (context 100, the help's start page); HELP_QUIT closes it.
void CMainDialog::WinHelp(DWORD_PTR, UINT nCmd) {
    if (nCmd == HELP_QUIT) {
        m_help.Close();
        return;
    }
    if (m_help.Show(m_hWnd) == CProgramHelp::Shown::Nothing)
        AfxMessageBox(afx::Widen1250(kHelpMissing) + m_help.m_strFolder, MB_OK | MB_ICONEXCLAMATION);
}
