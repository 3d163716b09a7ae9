// The one-line status text at the top of the main window.
#pragma once

#include "common/win_types.h"

#include <string>

struct StatusLineState {
    BOOL bLinkUp;
    int nSerialNumber;       // the decoder's instrument number
    int nLastChannel;        // channel of the last accepted line, 0 to 8
    int nValueError;         // that channel's flags as the decoder holds them (0 = clear)
    int nCalibrationError;
    BOOL bRecording;         // the recording timer runs
    int nIntervalSeconds;    // recording interval
    BOOL bRecordingFailing = FALSE;  // a recording file does not take its rows at the moment
    std::string strAlarm = {};       // the alarms' piece, last (ComposeAlarmPiece)
    BOOL bDatabaseFailing = FALSE;   // readings do not reach the database at the moment
    std::string strDatabaseReason = {};  // why, in a few words ("HTTP 404"), or nothing
    BOOL bMqttFailing = FALSE;       // the MQTT broker cannot be reached at the moment
    bool bNotifyFailing = false;     // a way of sending notifications fails at the moment
    bool bThreadFailed = false;      // a part's thread ended on an internal error
    // "Ma\xB3o miejsca na dysku z plikiem rejestracji: ...", after the
    // recording's pieces, or nothing.
    std::string strDiskLow = {};
};

// Windows-1250 bytes; every piece ends with ". ", so the text ends with a blank.
std::string ComposeStatusLine(const StatusLineState& state);
