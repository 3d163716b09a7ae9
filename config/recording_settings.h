// What the recording writes, where and how often: the values of the
// "Rejestracja do pliku" dialog that the configuration file keeps (section
// LOG), held as one value so that it is copied in one assignment.
#pragma once

#include "common/win_types.h"

#include <string>

struct RecordingSettings {
    std::string strReportPath;  // Windows-1250
    std::string strBinaryPath;
    BOOL bLogReport = FALSE;
    BOOL bLogBinary = FALSE;
    int nSeparator = 0;          // 0 tab, 1 comma, 2 semicolon; another code writes tabs
    BOOL bDecimalComma = FALSE;  // the report's values with a decimal comma (never with separator 1)
    int nInterval = 1;           // seconds
    BOOL bRecord[9] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};  // by channel number 0 to 8
    BOOL bAddComment = FALSE;
    BOOL bAddSerial = FALSE;
    BOOL bHeaderNames = FALSE;  // the report's header titles named channels by their names
    // A new file of each kind every 1 day, 2 week, 3 month; 0 never. Another
    // hand-written code records to one file and is kept as the file has it.
    int nFileSplit = 0;
};
