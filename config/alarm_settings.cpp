#include "config/alarm_settings.h"

namespace {

const char kAlarm[] = "ALARM";
// Channels 1 to 8 first and the mean last, as the other per-channel keys go.
const int kKeyOrder[9] = {1, 2, 3, 4, 5, 6, 7, 8, 0};

std::string Numbered(const char* name, int channel) { return name + std::to_string(channel); }

void ReadLimit(const CIniFile& ini, const std::string& key, bool* pbHas, double* pdValue) {
    double value = 0.0;
    *pbHas = ParseAlarmNumber(ini.GetString(kAlarm, key, ""), &value);
    *pdValue = *pbHas ? value : 0.0;
}

std::string LimitText(bool bHas, double dValue) { return bHas ? FormatAlarmNumber(dValue) : std::string(); }

}  // namespace

bool AlarmSettings::AnyLimit() const {
    for (const AlarmLimits& l : limits)
        if (l.IsSet())
            return true;
    return false;
}

bool AlarmSettings::IsDefault() const {
    return !AnyLimit() && dHysteresis == kDefaultHysteresis && bSound == TRUE && strLogPath.empty();
}

void LoadAlarmSettings(const CIniFile& ini, AlarmSettings& s) {
    s = AlarmSettings();
    double hysteresis = 0.0;
    if (ParseAlarmNumber(ini.GetString(kAlarm, "HYSTERESIS", ""), &hysteresis) && hysteresis >= 0.0)
        s.dHysteresis = hysteresis;
    s.bSound = ini.GetInt(kAlarm, "SOUND", 1) != 0;
    s.strLogPath = ini.GetString(kAlarm, "LOG_FILE", "");
    for (int k : kKeyOrder) {
        AlarmLimits& l = s.limits[k];
        ReadLimit(ini, Numbered("LOW_TEMP", k), &l.bHasLow, &l.dLow);
        ReadLimit(ini, Numbered("HIGH_TEMP", k), &l.bHasHigh, &l.dHigh);
    }
}

void SaveAlarmSettings(CIniFile& ini, const AlarmSettings& s) {
    if (s.IsDefault() && ini.FindSection(kAlarm) < 0)
        return;
    ini.SetString(kAlarm, "HYSTERESIS", FormatAlarmNumber(s.dHysteresis));
    ini.SetInt(kAlarm, "SOUND", s.bSound ? 1 : 0);
    ini.SetString(kAlarm, "LOG_FILE", s.strLogPath);
    for (int k : kKeyOrder) {
        const AlarmLimits& l = s.limits[k];
        ini.SetString(kAlarm, Numbered("LOW_TEMP", k), LimitText(l.bHasLow, l.dLow));
        ini.SetString(kAlarm, Numbered("HIGH_TEMP", k), LimitText(l.bHasHigh, l.dHigh));
    }
}

namespace {

const char kBadNumber[] = "%s: %s pr\xF3g nie jest liczb\xB9.";
const char kLowNotBelowHigh[] = "%s: dolny pr\xF3g musi by\xE6 ni\xBFszy ni\xBF g\xF3rny.";
const char kBadHysteresis[] = "Histereza musi by\xE6 liczb\xB9 nie mniejsz\xB9 od zera.";
const char kLower[] = "dolny";
const char kUpper[] = "g\xF3rny";

std::string ChannelTitle(int channel) {
    return channel == 0 ? "Temperatura" : "Temperatura " + std::to_string(channel);
}

std::string Fill(const char* format, const std::string& a, const char* b = "") {
    std::string text = format;
    text.replace(text.find("%s"), 2, a);
    const std::size_t second = text.find("%s");
    if (second != std::string::npos)
        text.replace(second, 2, b);
    return text;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

AlarmForm MakeAlarmForm(const AlarmSettings& s) {
    AlarmForm form;
    for (int c = 0; c < 9; ++c) {
        const AlarmLimits& l = s.limits[c];
        form.rows[c].bOn = l.IsSet();
        form.rows[c].strLow = LimitText(l.bHasLow, l.dLow);
        form.rows[c].strHigh = LimitText(l.bHasHigh, l.dHigh);
    }
    form.strHysteresis = FormatAlarmNumber(s.dHysteresis);
    form.bSound = s.bSound;
    form.strLogPath = s.strLogPath;
    return form;
}

std::string ReadAlarmForm(const AlarmForm& form, AlarmSettings* pSettings) {
    AlarmSettings s;
    // Rows in the order the dialog shows them: the mean first.
    for (int c = 0; c < 9; ++c) {
        const AlarmForm::Row& row = form.rows[c];
        if (!row.bOn)
            continue;
        AlarmLimits& l = s.limits[c];
        l.bHasLow = !IsBlank(row.strLow);
        if (l.bHasLow && !ParseAlarmNumber(row.strLow, &l.dLow))
            return Fill(kBadNumber, ChannelTitle(c), kLower);
        l.bHasHigh = !IsBlank(row.strHigh);
        if (l.bHasHigh && !ParseAlarmNumber(row.strHigh, &l.dHigh))
            return Fill(kBadNumber, ChannelTitle(c), kUpper);
        if (l.bHasLow && l.bHasHigh && !(l.dLow < l.dHigh))
            return Fill(kLowNotBelowHigh, ChannelTitle(c));
    }
    if (!ParseAlarmNumber(form.strHysteresis, &s.dHysteresis) || s.dHysteresis < 0.0)
        return kBadHysteresis;
    s.bSound = form.bSound;
    s.strLogPath = form.strLogPath;
    *pSettings = s;
    return std::string();
}
