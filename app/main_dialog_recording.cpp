// The recording's way to this window: the settings command, the dialog and
// the menu item the recorder (recording/recorder.h) asks for.
#include "app/main_dialog.h"

#include "framework/win_app.h"
#include "recording/recording_dialog.h"
#include "res/resource.h"

void CMainDialog::OnRecording() { m_recorder.OnSettingsCommand(); }

bool CMainDialog::RecorderHost::EditSettings(RecordingSettings& settings, std::string& strComment) {
    CRecordingDialog dlg(&m_dlg);
    dlg.m_settings = settings;
    dlg.m_strComment = strComment;
    if (dlg.DoModal() != IDOK)
        return false;
    settings = dlg.m_settings;
    strComment = dlg.m_strComment;
    return true;
}

void CMainDialog::RecorderHost::EnableSettingsCommand() {
    EnableMenuItem(GetMenu(m_dlg.m_hWnd), ID_RECORDING, MF_BYCOMMAND | MF_ENABLED);
}

int CMainDialog::RecorderHost::ShowMessage(const std::string& strText, UINT nType) {
    return AfxMessageBox(strText, nType);
}
