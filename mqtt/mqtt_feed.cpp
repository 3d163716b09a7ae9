#include "mqtt/mqtt_feed.h"

#include "common/civil_time.h"
#include "common/number_text.h"
#include "framework/app_messages.h"
#include "framework/win_app.h"
#include "mqtt/mqtt_dialog.h"
#include "res/version.h"

namespace {

const char kHeldText[] = "Wstrzymane: zapisanego has\xB3"
                         "a nie mo\xBF"
                         "na odczyta\xE6.";

// The computer's name in UTF-8, for the client id.
std::string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &n))
        return std::string();
    char bytes[4 * (MAX_COMPUTERNAME_LENGTH + 1)] = {};
    const int len = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(n), bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, len > 0 ? static_cast<std::size_t>(len) : 0);
}

}  // namespace

void CMqttFeed::ApplySettings(const MqttSettings& settings) {
    m_settings = settings;
    m_secret.Load(settings.strProtectedSecret);
    m_thread.Stop();
    m_thread.Outbox().Clear();
    StartIfDue();
}

void CMqttFeed::StartIfDue() {
    if (m_thread.IsRunning())
        return;
    MqttPublisherConfig config;
    if (!m_settings.bEnabled || !ParseMqttUrl(m_settings.strUrl, config.url) || !IsValidTopicBase(m_settings.strBase) ||
        (m_settings.bDiscovery && !IsValidTopicBase(m_settings.strDiscoveryPrefix))) {
        m_thread.Outbox().Clear();
        return;
    }
    // A password that cannot be read is never sent as an empty one.
    if (m_thread.Outbox().Instrument() < 0 || m_secret.IsUnreadable())
        return;
    config.strUser = m_settings.strUser;
    config.strPassword = m_secret.Plain();
    config.strCaFile = m_settings.strCaFile;
    config.strClientId = MqttClientId(ComputerName(), m_host.ProfileName(), m_host.SettingsPath());
    config.strBase = m_settings.strBase;
    config.bDiscovery = m_settings.bDiscovery != FALSE;
    config.bRemoveDiscovery = m_bRemoveDiscovery;
    config.strPrefix = m_settings.strDiscoveryPrefix;
    config.strVersion = QM487_VERSION_TEXT;
    m_thread.Start(config, m_host.NotifyWindow(), WM_MQTT_STATE);
}

void CMqttFeed::OnReading(const CInstrument& instrument, int nChannel) {
    if (!m_settings.bEnabled)
        return;
    if (nChannel == CInstrument::kNoChannel) {
        m_thread.Outbox().PutLinkLost();
        return;
    }
    OnChannelConfigChanged(instrument);  // nothing when it did not
    if (!instrument.GetChannelConfig()[nChannel].bInUse)
        return;
    const ChannelState& channel = instrument.Channels()[nChannel];
    // A mean not yet shown ("???" with no error flags) is no reading.
    if (channel.bNoValue && !channel.bAlert)
        return;
    MqttReading reading;
    reading.nChannel = nChannel;
    // The decimal the instrument sent, never the binary value's shortest form.
    if (!channel.bNoValue && !channel.bAlert)
        reading.strValue = FormatFixed(channel.dValue, channel.bFineResolution ? 2 : 1);
    reading.nAlarm = channel.alarm.nState;
    reading.nTimeMs = UtcMillisecondsNow();
    m_thread.Outbox().PutReading(reading, instrument.SerialNumber(), channel.bFineResolution != FALSE,
                                 m_host.ChannelsWithAlarmLimits());
    StartIfDue();
}

void CMqttFeed::OnChannelConfigChanged(const CInstrument& instrument) {
    m_thread.Outbox().SetChannels(MqttChannelsOf(instrument.GetChannelConfig()));
}

bool CMqttFeed::RunDialog(CWnd* pParent) {
    CMqttDialog dlg(pParent);
    dlg.m_settings = m_settings;
    dlg.m_strSecret = m_secret.Plain();
    dlg.m_bSecretUnreadable = m_secret.IsUnreadable();
    dlg.m_fnState = [this] {
        if (IsHeld())
            return std::string(kHeldText);
        return DescribeMqttState(m_thread.State(), m_thread.IsRunning(), m_thread.Outbox().Instrument() >= 0);
    };
    if (dlg.DoModal() != IDOK)
        return false;
    const bool bWasDiscovering = m_settings.bDiscovery != FALSE;
    const std::string protectedSecret = m_settings.strProtectedSecret;
    m_settings = dlg.m_settings;
    m_settings.strProtectedSecret = protectedSecret;
    if (m_secret.IsNew(dlg.m_strSecret) && !m_secret.Replace(dlg.m_strSecret, &m_settings.strProtectedSecret))
        AfxMessageBox(kSecretNotKeptText, MB_OK | MB_ICONEXCLAMATION);
    // Entities made while discovery was on go once it is switched off.
    if (bWasDiscovering && !m_settings.bDiscovery)
        m_bRemoveDiscovery = true;
    else if (m_settings.bDiscovery)
        m_bRemoveDiscovery = false;
    m_thread.Stop();
    StartIfDue();
    return true;
}
