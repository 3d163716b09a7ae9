// The readings to the time-series database: the settings as the file keeps
// them and the secret decrypted, the sender started with the settings in
// force, one point per reading the window hands on, and the "Baza danych"
// dialog. Owned by the main window and reached through Host, so it is tested
// without a window.
#pragma once

#include "config/database_settings.h"
#include "database/db_sender.h"
#include "instrument/instrument.h"
#include "secrets/secret_store.h"

#include <string>

class CWnd;

class CDatabaseFeed : public CInstrument::Reader {
public:
    class Host {
    public:
        virtual ~Host() = default;
        // Where WM_DATABASE_STATE goes when sending starts or stops failing;
        // nullptr for nowhere.
        virtual HWND NotifyWindow() const = 0;
    };

    explicit CDatabaseFeed(Host& host, std::size_t nQueueCapacity = CPointQueue::kDefaultCapacity);

    // The file's values; the secret is decrypted here. Another user's (or
    // another machine's) secret cannot be, and sending is then held until a
    // new one is typed: an empty password would only be refused.
    void ApplySettings(const DatabaseSettings& settings);
    const DatabaseSettings& Settings() const { return m_settings; }
    const std::string& Secret() const { return m_secret.Plain(); }
    bool IsSecretUnreadable() const { return m_secret.IsUnreadable(); }

    // New values (the dialog's), the secret in plain; the sender restarts
    // only when one of them differs. True when something changed. A secret
    // that cannot be encrypted is not kept in the file (*pbNotKept).
    bool ChangeSettings(const DatabaseSettings& settings, const std::string& strSecret, bool* pbNotKept = nullptr);

    // Starts the sender with the settings in force, or stops it (and forgets
    // the waiting points) when sending is off; Stop ends it for good without
    // waiting on the network.
    void Start();
    void Stop() { m_sender.Stop(); }

    // A point for the reading of channel 0 to 8 the set has just stored.
    void AddReading(const CChannelSet& channels, int nChannel, int nSerialNumber);
    // Every accepted reading, after the alarms have judged it.
    void OnReading(const CInstrument& instrument, int nChannel) override;

    bool IsRunning() const { return m_sender.IsRunning(); }
    bool IsFailing() const { return m_sender.IsFailing(); }
    DbSendState State() const { return m_sender.State(); }

    // "Ustawienia -> Baza danych..."; true when OK changed the settings (to be saved).
    bool RunDialog(CWnd* pParent);

private:
    Host& m_host;
    DatabaseSettings m_settings;       // as the file keeps them, the secret encrypted
    CStoredSecret m_secret;
    CDatabaseSender m_sender;
};
