#include "config/mqtt_settings.h"

namespace {
const char kSection[] = "MQTT";
}  // namespace

bool MqttSettings::IsDefault() const {
    const MqttSettings d;
    return !bEnabled && strUrl == d.strUrl && strUser == d.strUser && strProtectedSecret.empty() &&
           strBase == d.strBase && bDiscovery && strDiscoveryPrefix == d.strDiscoveryPrefix && strCaFile.empty();
}

void LoadMqttSettings(const CIniFile& ini, MqttSettings& s) {
    const MqttSettings d;
    s.bEnabled = ini.GetInt(kSection, "MQTT_ENABLED", d.bEnabled) != 0;
    s.strUrl = ini.GetString(kSection, "MQTT_URL", d.strUrl);
    s.strUser = ini.GetString(kSection, "MQTT_USER", d.strUser);
    s.strProtectedSecret = ini.GetString(kSection, "MQTT_SECRET", "");
    s.strBase = ini.GetString(kSection, "MQTT_BASE", d.strBase);
    s.bDiscovery = ini.GetInt(kSection, "MQTT_DISCOVERY", d.bDiscovery) != 0;
    s.strDiscoveryPrefix = ini.GetString(kSection, "MQTT_DISCOVERY_PREFIX", d.strDiscoveryPrefix);
    s.strCaFile = ini.GetString(kSection, "MQTT_CA_FILE", d.strCaFile);
}

void SaveMqttSettings(CIniFile& ini, const MqttSettings& s) {
    if (s.IsDefault() && ini.FindSection(kSection) < 0)
        return;
    ini.SetInt(kSection, "MQTT_ENABLED", s.bEnabled ? 1 : 0);
    ini.SetString(kSection, "MQTT_URL", s.strUrl);
    ini.SetString(kSection, "MQTT_USER", s.strUser);
    ini.SetString(kSection, "MQTT_SECRET", s.strProtectedSecret);
    ini.SetString(kSection, "MQTT_BASE", s.strBase);
    ini.SetInt(kSection, "MQTT_DISCOVERY", s.bDiscovery ? 1 : 0);
    ini.SetString(kSection, "MQTT_DISCOVERY_PREFIX", s.strDiscoveryPrefix);
    ini.SetString(kSection, "MQTT_CA_FILE", s.strCaFile);
}
