#include "database/database_feed.h"

#include "common/civil_time.h"
#include "database/database_dialog.h"
#include "framework/app_messages.h"
#include "framework/win_app.h"
#include "instrument/channels.h"

CDatabaseFeed::CDatabaseFeed(Host& host, std::size_t nQueueCapacity) : m_host(host), m_sender(nQueueCapacity) {}

void CDatabaseFeed::ApplySettings(const DatabaseSettings& settings) {
    m_settings = settings;
    m_secret.Load(settings.strProtectedSecret);
}

bool CDatabaseFeed::ChangeSettings(const DatabaseSettings& s, const std::string& strSecret, bool* pbNotKept) {
    if (pbNotKept != nullptr)
        *pbNotKept = false;
    const bool bNewSecret = m_secret.IsNew(strSecret);
    if (!bNewSecret && s.bEnabled == m_settings.bEnabled && s.strUrl == m_settings.strUrl &&
        s.strName == m_settings.strName && s.strUser == m_settings.strUser)
        return false;
    const std::string strProtected = m_settings.strProtectedSecret;
    m_settings = s;
    m_settings.strProtectedSecret = strProtected;
    if (bNewSecret) {
        const bool bKept = m_secret.Replace(strSecret, &m_settings.strProtectedSecret);
        if (pbNotKept != nullptr)
            *pbNotKept = !bKept;
    }
    Start();
    return true;
}

void CDatabaseFeed::Start() {
    CDatabaseSender::Config config;
    if (!m_settings.bEnabled || !ParseServerUrl(m_settings.strUrl, config.url)) {
        m_sender.Stop(0);
        m_sender.Discard();
        return;
    }
    config.strDatabase = m_settings.strName;
    config.strUser = m_settings.strUser;
    config.strSecret = m_secret.Plain();
    if (m_secret.IsUnreadable())
        config.hold = DbFault::SecretUnreadable;
    else if (CheckCredentials(config.strUser, config.strSecret) != DbCredentialsFault::None)
        config.hold = DbFault::Credentials;
    m_sender.Start(config, m_host.NotifyWindow(), WM_DATABASE_STATE);
}

void CDatabaseFeed::AddReading(const CChannelSet& channels, int nChannel, int nSerialNumber) {
    DbPoint point;
    if (m_sender.IsRunning() && MakeDbPoint(channels, nChannel, nSerialNumber, UtcMillisecondsNow(), &point))
        m_sender.Push(point);
}

void CDatabaseFeed::OnReading(const CInstrument& instrument, int nChannel) {
    if (nChannel != CInstrument::kNoChannel)
        AddReading(instrument.Channels(), nChannel, instrument.SerialNumber());
}

bool CDatabaseFeed::RunDialog(CWnd* pParent) {
    CDatabaseDialog dlg(pParent);
    dlg.m_bEnabled = m_settings.bEnabled;
    dlg.m_strUrl = m_settings.strUrl;
    dlg.m_strName = m_settings.strName;
    dlg.m_strUser = m_settings.strUser;
    dlg.m_strSecret = m_secret.Plain();
    dlg.m_bSecretUnreadable = m_secret.IsUnreadable();
    dlg.m_fnState = [this] { return DescribeSendState(m_sender.State(), m_sender.IsRunning()); };
    if (dlg.DoModal() != IDOK)
        return false;
    DatabaseSettings s = m_settings;
    s.bEnabled = dlg.m_bEnabled;
    s.strUrl = dlg.m_strUrl;
    s.strName = dlg.m_strName;
    s.strUser = dlg.m_strUser;
    bool bNotKept = false;
    if (!ChangeSettings(s, dlg.m_strSecret, &bNotKept))
        return false;
    if (bNotKept)
        AfxMessageBox(kSecretNotKeptText, MB_OK | MB_ICONEXCLAMATION);
    return true;
}
