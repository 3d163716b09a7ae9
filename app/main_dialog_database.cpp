// The readings to the time-series database: the sender started with the
// settings in force, one point per reading ApplyReading stores, the
// "Baza danych" dialog and the status line's piece while sending fails.
#include "app/main_dialog.h"

#include "database/database_dialog.h"
#include "database/secret_store.h"
#include "framework/win_app.h"

namespace {

std::int64_t UtcMillisecondsNow() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    const std::uint64_t kUnixEpochTicks = 116444736000000000ULL;  // 1970-01-01 in 100 ns since 1601
    return static_cast<std::int64_t>((ticks - kUnixEpochTicks) / 10000);
}

}  // namespace

void CMainDialog::ApplyDatabaseSettings(const DatabaseSettings& settings) {
    m_dbSettings = settings;
    // Another user's (or another machine's) secret counts as none.
    m_bDbSecretUnreadable = !UnprotectSecret(settings.strProtectedSecret, m_strDbSecret);
}

void CMainDialog::StartDatabaseSender() {
    CDatabaseSender::Config config;
    if (!m_dbSettings.bEnabled || m_hWnd == nullptr || !ParseServerUrl(m_dbSettings.strUrl, config.url)) {
        m_dbSender.Stop();
        m_dbSender.Discard();
        return;
    }
    config.strDatabase = m_dbSettings.strName;
    config.strUser = m_dbSettings.strUser;
    config.strSecret = m_strDbSecret;
    m_dbSender.Start(config, m_hWnd, WM_DATABASE_STATE);
}

void CMainDialog::SendReadingToDatabase(int nChannel) {
    if (!m_dbSender.IsRunning())
        return;
    const ChannelState& channel = m_channels[nChannel];
    // A mean not yet shown ("???" with no error flags) is no reading.
    if (channel.bNoValue && !channel.bAlert)
        return;
    DbPoint point = {};
    point.nTimeMs = UtcMillisecondsNow();
    point.nSerial = static_cast<std::uint16_t>(Decoder().m_nSerialNumber);
    point.nChannel = static_cast<std::uint8_t>(nChannel);
    point.bHasValue = !channel.bNoValue && !channel.bAlert;
    point.dValue = channel.dValue;
    // The alarm state as judged at this channel's last valid reading: an
    // error reading carries the state it leaves unchanged.
    point.bHasAlarm = true;
    point.nAlarm = channel.alarm.nState;
    m_dbSender.Push(point);
}

void CMainDialog::OnDatabase() {
    CDatabaseDialog dlg(this);
    dlg.m_bEnabled = m_dbSettings.bEnabled;
    dlg.m_strUrl = m_dbSettings.strUrl;
    dlg.m_strName = m_dbSettings.strName;
    dlg.m_strUser = m_dbSettings.strUser;
    dlg.m_strSecret = m_strDbSecret;
    dlg.m_bSecretUnreadable = m_bDbSecretUnreadable;
    dlg.m_fnState = [this] { return DescribeSendState(m_dbSender.State(), m_dbSender.IsRunning()); };
    if (dlg.DoModal() != IDOK)
        return;

    m_dbSettings.bEnabled = dlg.m_bEnabled;
    m_dbSettings.strUrl = dlg.m_strUrl;
    m_dbSettings.strName = dlg.m_strName;
    m_dbSettings.strUser = dlg.m_strUser;
    // An unreadable secret stays in the file (it may be another user's)
    // until a new one is typed.
    if (dlg.m_strSecret != m_strDbSecret || (m_bDbSecretUnreadable && !dlg.m_strSecret.empty())) {
        bool bFailed = false;
        m_dbSettings.strProtectedSecret = ProtectSecret(dlg.m_strSecret, &bFailed);
        m_strDbSecret = dlg.m_strSecret;
        m_bDbSecretUnreadable = FALSE;
        if (bFailed)
            AfxMessageBox(kSecretNotKeptText, MB_OK | MB_ICONEXCLAMATION);
    }
    StartDatabaseSender();
    UpdateStatusLine();
    SaveSettingsNow();
}

LRESULT CMainDialog::OnDatabaseStateChanged(WPARAM, LPARAM) {
    UpdateStatusLine();
    return 0;
}
