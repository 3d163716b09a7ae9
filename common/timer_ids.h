// Every timer of the main window and of the parts that run timers through
// it, in one table, so no two share an id. The window hands each expiry to
// the part whose id it is.
#pragma once

#include "common/win_types.h"

namespace timer_id {
constexpr UINT kRecordTick = 1034;    // a record is written (CRecorder)
constexpr UINT kLineWatchdog = 1035;  // no complete line for a while (CLineAssembly)
constexpr UINT kRecordStart = 1036;   // recording starts after the program has (CRecorder)
constexpr UINT kBlink = 1052;         // the status line's blinking
constexpr UINT kPortDialog = 1069;    // the port dialog shown once the window is up
constexpr UINT kPromotion = 1070;     // the start-up promotion window
constexpr UINT kPortReopen = 1071;    // a port whose device has gone is tried again (CPortLink)
constexpr UINT kAlarmSound = 1072;    // the alarm sound is repeated (CAlarmMonitor)
constexpr UINT kNotifyTick = 1073;    // delays, silence, repeat windows and the summary (CNotifyFeed)
}  // namespace timer_id
