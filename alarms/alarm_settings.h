// The alarm settings in qm487cfg.ini: section [ALARM], written only once
// some value differs from its default, so a file that never had alarms
// keeps exactly its bytes.
#pragma once

#include "common/win_types.h"
#include "config/ini_file.h"
#include "alarms/channel_alarm.h"

#include <string>

struct AlarmSettings {
    AlarmLimits limits[9];  // by channel 0 to 8; keys LOW_TEMPn, HIGH_TEMPn
    double dHysteresis = kDefaultHysteresis;  // HYSTERESIS, for all channels
    BOOL bSound = TRUE;                       // SOUND
    std::string strLogPath;                   // LOG_FILE; empty: no alarm log
    // A channel's limits as hand-written in the file when they are refused
    // as the dialog refuses them (a number that does not read, more than two
    // decimals, a lower limit not below the upper one): the channel has no
    // limits in force, and the file keeps the texts as they were.
    struct Refused {
        bool bRefused = false;
        std::string strLow, strHigh;
    } refused[9];
    // HYSTERESIS as hand-written when refused as the dialog refuses it (not
    // a number, below zero, more than two decimals): the default is in
    // force, and the file keeps the text as it was.
    bool bHysteresisRefused = false;
    std::string strRefusedHysteresis;

    bool IsDefault() const;
    bool AnyLimit() const;
    // Why the first refused channel was refused, Windows-1250; empty when none was.
    std::string Refusal() const;
};

// Reads the section; a missing key takes the default (no limit; a hysteresis
// of 0.5). A channel whose limits the dialog would refuse gets none and keeps
// its texts in refused; a hysteresis it would refuse gives the default and
// keeps its text likewise.
void LoadAlarmSettings(const CIniFile& ini, AlarmSettings& settings);

// The status line's piece while hand-written limits or hysteresis are
// refused, ending with ". " like the others ("B\xB3\xEA" "dne progi alarmu: T2,
// T5. ", then "B\xB3\xEA" "dna histereza alarmu, obowi\xB9zuje 0.5. "); empty otherwise.
std::string ComposeRefusedLimitsPiece(const AlarmSettings& settings);

// Sets the section's keys (HYSTERESIS, SOUND, LOG_FILE, then LOW_TEMPn and
// HIGH_TEMPn for n = 1 to 8 and 0) when the file has the section already or
// the settings differ from the defaults; otherwise leaves the file alone.
void SaveAlarmSettings(CIniFile& ini, const AlarmSettings& settings);

// The alarm settings as the "Alarmy" dialog shows them: texts as typed.
struct AlarmForm {
    struct Row {
        bool bOn = false;  // off: the channel has no limits, whatever is typed
        std::string strLow, strHigh;  // empty: no limit
    } rows[9];  // by channel 0 to 8
    std::string strHysteresis;
    BOOL bSound = TRUE;
    std::string strLogPath;
    // The channels' titles in the messages (names the user gave them);
    // empty: "Temperatura k".
    std::string strTitles[9];
};

AlarmForm MakeAlarmForm(const AlarmSettings& settings);

// One row of the form as channel 0 to 8's limits into *pLimits (none for a
// row switched off), and an empty text; or no limits and the message that
// refuses the row.
std::string ReadAlarmRow(const AlarmForm::Row& row, int nChannel, AlarmLimits* pLimits,
                         const std::string& strTitle = std::string());

// The settings of a confirmed form into *pSettings, and an empty text; or,
// leaving *pSettings alone, the Windows-1250 message that refuses the form,
// naming the first channel whose limit does not parse, has more than two
// decimals (kept as typed, never rounded), or whose lower limit is not below
// the upper one; or refusing a hysteresis likewise.
std::string ReadAlarmForm(const AlarmForm& form, AlarmSettings* pSettings);
