// The readings to the time-series database: the feed (database/) does the
// work; the window routes its command and its state message to it.
#include "app/main_dialog.h"

void CMainDialog::OnDatabase() { m_database.RunDialog(); }

void CMainDialog::DatabaseHost::SettingsChanged() {
    m_dlg.UpdateStatusLine();
    m_dlg.SaveSettingsNow();
}

LRESULT CMainDialog::OnDatabaseStateChanged(WPARAM, LPARAM) {
    UpdateStatusLine();
    return 0;
}
