// Publishing the readings on an MQTT broker, as a part the main window owns:
// the settings in force, the decrypted password, the publishing thread, and
// the "MQTT" dialog. It reads every reading the instrument stores; the feed
// reaches the window only through its Host.
#pragma once

#include "config/mqtt_settings.h"
#include "instrument/channels.h"
#include "instrument/instrument.h"
#include "mqtt/mqtt_thread.h"
#include "secrets/secret_store.h"

#include <windows.h>

#include <string>

class CWnd;

class CMqttFeed : public CInstrument::Reader {
public:
    class Host {
    public:
        virtual ~Host() = default;
        // Where WM_MQTT_STATE goes when publishing starts or stops failing.
        virtual HWND NotifyWindow() const = 0;
        // Bit c: channel c has alarm limits.
        virtual unsigned ChannelsWithAlarmLimits() const = 0;
        // The profile's name; empty for the default profile.
        virtual std::string ProfileName() const = 0;
        // The settings file's full path, in any one letter case: it tells
        // copies of a profile apart.
        virtual std::string SettingsPath() const = 0;
    };

    explicit CMqttFeed(Host& host) : m_host(host) {}

    // The file's values; the secret is decrypted (another user's counts as
    // none). Publishing restarts with them.
    void ApplySettings(const MqttSettings& settings);
    const MqttSettings& Settings() const { return m_settings; }

    // Every accepted reading, after the alarms have judged it; every
    // rejected line and silence as a lost link.
    void OnReading(const CInstrument& instrument, int nChannel) override;
    // The instrument's channel configuration changed (its names, inputs in
    // use): Home Assistant is told again at once, a channel left out losing
    // its entities (an empty retained config) and its states.
    void OnChannelConfigChanged(const CInstrument& instrument);
    bool IsFailing() const { return IsHeld() || (m_thread.IsRunning() && m_thread.State().bFailing); }
    // The "MQTT" dialog; true when OK changed the settings (to be saved).
    bool RunDialog(CWnd* pParent);
    // Ends the thread (the window is going); never waits on the network.
    void Stop() { m_thread.Stop(); }

    const CMqttPublisherThread& Publisher() const { return m_thread; }
    const std::string& Secret() const { return m_secret.Plain(); }

private:
    // Starts the thread when publishing is on and the instrument is known.
    void StartIfDue();
    // Publishing is on, but its password cannot be read: nothing is sent.
    bool IsHeld() const { return m_settings.bEnabled && m_secret.IsUnreadable(); }

    Host& m_host;
    MqttSettings m_settings;
    CStoredSecret m_secret;
    bool m_bRemoveDiscovery = false;   // discovery was switched off in this run
    CMqttPublisherThread m_thread;
};
