// Notifications as a part the main window owns: the settings in force and
// the decrypted SMTP password, the rules that turn readings, silence, the
// recording's troubles and an unclean start into messages, the sending
// thread with its outbox beside the settings file, the run marker, and the
// "Powiadomienia" dialog. It reads the instrument as the other parts do and
// reaches the window only through its Host.
#pragma once

#include "common/timer_host.h"
#include "common/timer_ids.h"
#include "instrument/instrument.h"
#include "notify/notify_dialog.h"
#include "notify/notify_rules.h"
#include "notify/notify_sender.h"
#include "notify/notify_settings.h"
#include "notify/run_marker.h"
#include "secrets/secret_store.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

class CWnd;

// "Wyślij wiadomość próbną": the test message through each way the settings
// give, on the calling thread. bStoredUnreadable: the file's password is
// another user's; unless a new one was typed (strPassword), e-mail answers
// so and never goes without it.
NotifyTestAnswers SendNotifyTest(const NotifySource& source, const NotifySettings& settings,
                                 const std::string& strPassword, bool bStoredUnreadable,
                                 const std::filesystem::path& log);

class CNotifyFeed : public CInstrument::Reader {
public:
    enum { kTickTimerId = timer_id::kNotifyTick };

    class Host : public CTimerHost {
    public:
        // Where WM_NOTIFY_STATE goes when a way starts or stops failing.
        virtual HWND NotifyWindow() const = 0;
        virtual int InstrumentNumber() const = 0;
        // The profile's name (Windows-1250); empty for the default profile.
        virtual std::string ProfileName() const = 0;
        // The settings file: the outbox, the marker and the log lie beside it.
        virtual std::wstring SettingsFile() const = 0;
        // '.' or the user's decimal comma.
        virtual char DecimalSeparator() const = 0;
        // The instrument's channels (CInstrument::GetChannelConfig): names
        // and inputs in use, read afresh for every message.
        virtual const ChannelConfig& ChannelConfiguration() const = 0;
    };

    explicit CNotifyFeed(Host& host);
    ~CNotifyFeed() override;

    // The file's values; the password is decrypted (another user's counts
    // as none, and e-mail then waits for a new one). Sending restarts with them.
    void ApplySettings(const NotifySettings& settings);
    const NotifySettings& Settings() const { return m_settings; }

    // The window is up: the marker tells whether the last run ended
    // normally, what the outbox kept is sent first, then the start's own
    // message, and the tick begins.
    void Start();
    // The window goes. bNormal: a close the user or Windows asked for (the
    // marker goes); never waits on a server.
    void Stop(bool bNormal);
    void OnTickTimer();

    void OnReading(const CInstrument& instrument, int nChannel) override;
    // The recording's state, after every change the window hears of;
    // strWhy (Windows-1250) says what failed.
    void OnRecordingState(bool bFailing, const std::string& strWhy);
    // The recording's disk warning (Windows-1250), empty while there is room.
    void OnDiskSpace(const std::string& strWarning);

    // A channel's calibration is due in nDaysLeft days (0: today); strTitle UTF-8.
    void OnCalibrationDue(int nChannel, const std::string& strTitle, const std::string& strDue, int nDaysLeft);

    bool IsFailing() const;
    // The "Powiadomienia" dialog; true when OK changed the settings (to be saved).
    bool RunDialog(CWnd* pParent);

    // The outbox's messages not yet taken by every way (for tests).
    std::size_t PendingCount() const { return m_pSender ? m_pSender->PendingCount() : 0; }

private:
    NotifySource Source() const;
    // How sending fares, for the dialog (Windows-1250).
    std::string DescribeState() const;
    void StartSending();
    void PostDue();
    // A line in the notification log beside the settings (UTF-8).
    void Log(const std::string& strLine) const;
    std::filesystem::path Beside(const char* pszExtension) const;

    Host& m_host;
    NotifySettings m_settings;
    CStoredSecret m_secret;
    std::unique_ptr<CNotifyRules> m_pRules;
    std::unique_ptr<CNotifySender> m_pSender;  // made at Start, beside the settings file
    std::unique_ptr<CRunMarker> m_pMarker;
    bool m_bRecordingFailing = false;
    bool m_bStarted = false;
};
