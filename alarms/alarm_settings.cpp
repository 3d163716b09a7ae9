#include "alarms/alarm_settings.h"

namespace {

const char kAlarm[] = "ALARM";
// Channels 1 to 8 first and the mean last, as the other per-channel keys go.
const int kKeyOrder[9] = {1, 2, 3, 4, 5, 6, 7, 8, 0};

const char kBadNumber[] = "%s: %s pr\xF3g nie jest liczb\xB9.";
const char kTooPrecise[] = "%s: %s pr\xF3g mo\xBF" "e mie\xE6 najwy\xBF" "ej dwa miejsca po przecinku.";
const char kLowNotBelowHigh[] = "%s: dolny pr\xF3g musi by\xE6 ni\xBFszy ni\xBF g\xF3rny.";
const char kBadHysteresis[] = "Histereza musi by\xE6 liczb\xB9 nie mniejsz\xB9 od zera.";
const char kTooPreciseHysteresis[] = "Histereza mo\xBF" "e mie\xE6 najwy\xBF" "ej dwa miejsca po przecinku.";
const char kLower[] = "dolny";
const char kUpper[] = "g\xF3rny";

std::string ChannelTitle(const std::string& title, int channel) {
    if (!title.empty())
        return title;
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

std::size_t Decimals(const std::string& text) {
    const std::size_t point = text.find_first_of(".,");
    if (point == std::string::npos)
        return 0;
    const std::size_t end = text.find_first_not_of("0123456789", point + 1);
    return (end == std::string::npos ? text.size() : end) - point - 1;
}

// One limit as typed: the message that refuses it, or empty.
std::string ReadLimit(const std::string& text, const std::string& title, const char* which, bool* pbHas,
                      double* pdValue) {
    *pbHas = !IsBlank(text);
    if (*pbHas && !ParseAlarmNumber(text, pdValue))
        return Fill(kBadNumber, title, which);
    if (*pbHas && Decimals(text) > 2)
        return Fill(kTooPrecise, title, which);
    return std::string();
}

// The hysteresis as typed: the message that refuses it, or empty.
std::string ReadHysteresis(const std::string& text, double* pdValue) {
    double value = 0.0;
    if (!ParseAlarmNumber(text, &value) || value < 0.0)
        return kBadHysteresis;
    if (Decimals(text) > 2)
        return kTooPreciseHysteresis;
    *pdValue = value;
    return std::string();
}

std::string Numbered(const char* name, int channel) { return name + std::to_string(channel); }

std::string LimitText(bool bHas, double dValue) { return bHas ? FormatAlarmNumber(dValue) : std::string(); }

std::string HysteresisText(const AlarmSettings& s) {
    return s.bHysteresisRefused ? s.strRefusedHysteresis : FormatAlarmNumber(s.dHysteresis);
}

}  // namespace

bool AlarmSettings::AnyLimit() const {
    for (const AlarmLimits& l : limits)
        if (l.IsSet())
            return true;
    return false;
}

bool AlarmSettings::IsDefault() const {
    for (const Refused& r : refused)
        if (r.bRefused)
            return false;
    return !AnyLimit() && !bHysteresisRefused && dHysteresis == kDefaultHysteresis && bSound == TRUE &&
           strLogPath.empty();
}

std::string AlarmSettings::Refusal() const {
    AlarmSettings read;
    return ReadAlarmForm(MakeAlarmForm(*this), &read);
}

std::string ComposeRefusedLimitsPiece(const AlarmSettings& s) {
    std::string channels;
    for (int c = 0; c < 9; ++c)
        if (s.refused[c].bRefused)
            channels += (channels.empty() ? "" : ", ") + ChannelName(c);
    std::string piece;
    if (!channels.empty())
        piece = "B\xB3\xEA" "dne progi alarmu: " + channels + ". ";
    if (s.bHysteresisRefused)
        piece += "B\xB3\xEA" "dna histereza alarmu, obowi\xB9zuje " + FormatAlarmNumber(s.dHysteresis) + ". ";
    return piece;
}

void LoadAlarmSettings(const CIniFile& ini, AlarmSettings& s) {
    s = AlarmSettings();
    const std::string hysteresis = ini.GetString(kAlarm, "HYSTERESIS", "");
    if (!IsBlank(hysteresis) && !ReadHysteresis(hysteresis, &s.dHysteresis).empty()) {
        s.bHysteresisRefused = true;
        s.strRefusedHysteresis = hysteresis;
    }
    s.bSound = ini.GetInt(kAlarm, "SOUND", 1) != 0;
    s.strLogPath = ini.GetString(kAlarm, "LOG_FILE", "");
    for (int k : kKeyOrder) {
        const AlarmForm::Row row = {true, ini.GetString(kAlarm, Numbered("LOW_TEMP", k), ""),
                                    ini.GetString(kAlarm, Numbered("HIGH_TEMP", k), "")};
        if (!ReadAlarmRow(row, k, &s.limits[k]).empty())
            s.refused[k] = {true, row.strLow, row.strHigh};
    }
}

void SaveAlarmSettings(CIniFile& ini, const AlarmSettings& s) {
    if (s.IsDefault() && ini.FindSection(kAlarm) < 0)
        return;
    ini.SetString(kAlarm, "HYSTERESIS", HysteresisText(s));
    ini.SetInt(kAlarm, "SOUND", s.bSound ? 1 : 0);
    ini.SetString(kAlarm, "LOG_FILE", s.strLogPath);
    for (int k : kKeyOrder) {
        const AlarmLimits& l = s.limits[k];
        const AlarmSettings::Refused& r = s.refused[k];
        ini.SetString(kAlarm, Numbered("LOW_TEMP", k), r.bRefused ? r.strLow : LimitText(l.bHasLow, l.dLow));
        ini.SetString(kAlarm, Numbered("HIGH_TEMP", k), r.bRefused ? r.strHigh : LimitText(l.bHasHigh, l.dHigh));
    }
}

std::string ReadAlarmRow(const AlarmForm::Row& row, int channel, AlarmLimits* pLimits, const std::string& strTitle) {
    *pLimits = AlarmLimits();
    if (!row.bOn)
        return std::string();
    AlarmLimits l;
    const std::string title = ChannelTitle(strTitle, channel);
    std::string refusal = ReadLimit(row.strLow, title, kLower, &l.bHasLow, &l.dLow);
    if (refusal.empty())
        refusal = ReadLimit(row.strHigh, title, kUpper, &l.bHasHigh, &l.dHigh);
    if (refusal.empty() && l.bHasLow && l.bHasHigh && !(l.dLow < l.dHigh))
        refusal = Fill(kLowNotBelowHigh, title);
    if (refusal.empty())
        *pLimits = l;
    return refusal;
}

AlarmForm MakeAlarmForm(const AlarmSettings& s) {
    AlarmForm form;
    for (int c = 0; c < 9; ++c) {
        const AlarmLimits& l = s.limits[c];
        const AlarmSettings::Refused& r = s.refused[c];
        // Refused texts come back as written, for the user to mend.
        form.rows[c].bOn = l.IsSet() || r.bRefused;
        form.rows[c].strLow = r.bRefused ? r.strLow : LimitText(l.bHasLow, l.dLow);
        form.rows[c].strHigh = r.bRefused ? r.strHigh : LimitText(l.bHasHigh, l.dHigh);
    }
    form.strHysteresis = HysteresisText(s);
    form.bSound = s.bSound;
    form.strLogPath = s.strLogPath;
    return form;
}

std::string ReadAlarmForm(const AlarmForm& form, AlarmSettings* pSettings) {
    AlarmSettings s;
    // Rows in the order the dialog shows them: the mean first.
    for (int c = 0; c < 9; ++c) {
        const std::string refusal = ReadAlarmRow(form.rows[c], c, &s.limits[c], form.strTitles[c]);
        if (!refusal.empty())
            return refusal;
    }
    const std::string refusal = ReadHysteresis(form.strHysteresis, &s.dHysteresis);
    if (!refusal.empty())
        return refusal;
    s.bSound = form.bSound;
    s.strLogPath = form.strLogPath;
    *pSettings = s;
    return std::string();
}
