// The database sender's settings, section [DATABASE] of qm487cfg.ini. The
// section is written only once a value differs from its default (or when the
// file already has it), so a first run's file keeps the bytes it has always
// had.
#pragma once

#include "common/win_types.h"
#include "config/ini_file.h"

#include <string>

struct DatabaseSettings {
    BOOL bEnabled = FALSE;
    std::string strUrl;                // http://host:8086 or https://...
    std::string strName = "qm487";     // database, or a 2.x bucket through its 1.x mapping
    std::string strUser;
    // The password or API token as the file holds it: encrypted for the
    // current Windows user, base64. Never the plain secret.
    std::string strProtectedSecret;
};

void LoadDatabaseSettings(const CIniFile& ini, DatabaseSettings& settings);
void SaveDatabaseSettings(CIniFile& ini, const DatabaseSettings& settings);
