// Every setting the program keeps in qm487cfg.ini, and their loading and
// saving in the order and with the defaults the file has always had.
#pragma once

#include "common/win_types.h"
#include "alarms/alarm_settings.h"
#include "config/database_settings.h"
#include "config/mqtt_settings.h"
#include "config/recording_settings.h"
#include "config/ini_file.h"
#include "instrument/channel_config.h"
#include "notify/notify_settings.h"

#include <string>

struct FieldSettings {
    COLORREF crBackground;
    COLORREF crText;
    int nFontHeight;
    std::string strFontName;   // Windows-1250, at most 31 bytes
    unsigned char nFontItalic;
    int nFontWeight;
};

struct ProgramSettings {
    // Display fields: channels 1 to 8 at 0 to 7, channel 0 at 8
    // (sections TEMP1 ... TEMP8, TEMP0).
    FieldSettings fields[9];
    // Names, inputs in use, calibration: further keys of TEMP1 ... TEMP8.
    ChannelConfig channels;

    int nPortNumber;  // 0: none chosen
    int nWindowLeft, nWindowTop, nWindowRight, nWindowBottom;
    BOOL bTopmost;
    BOOL bShowPromotion;
    // Minimised when it closed: a start with Windows starts it minimised
    // (key MINIMIZED, in the file only once it has been set).
    BOOL bMinimized;

    RecordingSettings recording;  // section LOG

    AlarmSettings alarm;  // section ALARM, after the others
    DatabaseSettings database;  // section DATABASE
    MqttSettings mqtt;          // section MQTT
    NotifySettings notify;      // section NOTIFY
    // The calibration notices sent (NOTIFY's CALIBRATION_SENT, only once set).
    std::string strCalibrationSent;
};

// The main window's own values, which stay when the file cannot be opened.
ProgramSettings ConstructorSettings();

// Reads every key, each missing one taking its key default (which is not
// always the constructor value). Numbers are brought into their ranges
// (colours to 24 bits, fonts, port, window coordinates, separator,
// interval); flags, names and paths are taken as read.
void LoadSettings(const CIniFile& ini, ProgramSettings& settings);

// Sets every key from the values, in the file's key order.
void SaveSettings(CIniFile& ini, const ProgramSettings& settings);

// The name of the file, beside the program.
extern const char kSettingsFileName[];
