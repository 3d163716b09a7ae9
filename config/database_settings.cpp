#include "config/database_settings.h"

namespace {
const char kSection[] = "DATABASE";

bool IsDefault(const DatabaseSettings& s) {
    const DatabaseSettings d;
    return !s.bEnabled && s.strUrl == d.strUrl && s.strName == d.strName && s.strUser == d.strUser &&
           s.strProtectedSecret.empty();
}
}  // namespace

void LoadDatabaseSettings(const CIniFile& ini, DatabaseSettings& s) {
    const DatabaseSettings d;
    s.bEnabled = ini.GetInt(kSection, "DB_ENABLED", d.bEnabled);
    s.strUrl = ini.GetString(kSection, "DB_URL", d.strUrl);
    s.strName = ini.GetString(kSection, "DB_NAME", d.strName);
    s.strUser = ini.GetString(kSection, "DB_USER", d.strUser);
    s.strProtectedSecret = ini.GetString(kSection, "DB_SECRET", "");
}

void SaveDatabaseSettings(CIniFile& ini, const DatabaseSettings& s) {
    if (IsDefault(s) && ini.FindSection(kSection) < 0)
        return;
    ini.SetInt(kSection, "DB_ENABLED", s.bEnabled ? 1 : 0);
    ini.SetString(kSection, "DB_URL", s.strUrl);
    ini.SetString(kSection, "DB_NAME", s.strName);
    ini.SetString(kSection, "DB_USER", s.strUser);
    ini.SetString(kSection, "DB_SECRET", s.strProtectedSecret);
}
