// The MQTT publisher's settings, section [MQTT] of qm487cfg.ini, written
// only once a value differs from its default (or when the file already has
// the section), so a first run's file keeps its bytes. A section written by
// hand with these keys works without the dialog.
#pragma once

#include "common/win_types.h"
#include "config/ini_file.h"

#include <string>

struct MqttSettings {
    BOOL bEnabled = FALSE;
    std::string strUrl;  // mqtt://host[:1883] or mqtts://host[:8883]
    std::string strUser;
    // The password as the file holds it: encrypted for the current Windows
    // user, base64. Never the plain secret.
    std::string strProtectedSecret;
    std::string strBase = "qm487";
    BOOL bDiscovery = TRUE;
    std::string strDiscoveryPrefix = "homeassistant";
    std::string strCaFile;  // one more CA certificate to trust, for mqtts://

    bool IsDefault() const;
};

void LoadMqttSettings(const CIniFile& ini, MqttSettings& settings);
void SaveMqttSettings(CIniFile& ini, const MqttSettings& settings);
