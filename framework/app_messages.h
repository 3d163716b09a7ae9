// Every private window message of the programs, in one table, so no two
// share a number. Values of WM_USER are the serial reader's (a dialog's own
// DM_ messages stop at WM_USER + 2); the rest are WM_APP's.
#pragma once

#include <windows.h>

// Sent (not posted) by the serial reader thread for each received byte:
// wParam is the byte (0 to 255), lParam is 0. The reader waits until it is
// handled.
constexpr UINT WM_PORT_CHAR = WM_USER + 4;
// Posted once by the reader when the port's device has gone (a USB adapter
// pulled): wParam is the port number. The reader no longer uses the port;
// only a new driver on a reopened port reads again.
constexpr UINT WM_PORT_GONE = WM_USER + 5;

// Kreslo's loader to its window.
constexpr UINT WM_KRESLO_PROGRESS = WM_APP + 1;  // wParam: per mille read
constexpr UINT WM_KRESLO_LOADED = WM_APP + 2;    // wParam: CChartDocument::Result
constexpr UINT WM_KRESLO_PIECE = WM_APP + 3;     // lParam: a KvfPiece read, the receiver's to delete
constexpr UINT WM_KRESLO_SUMMARY = WM_APP + 4;   // lParam: a ChartSummary found, the receiver's to delete

// Posted to the owner window when an advise link has been made: wParam the
// channel, lParam the item. The owner hands it back to PostAdvise once the
// DDEML callback has returned, because DDEML adds the link only then.
constexpr UINT WM_DDE_ADVISE_STARTED = WM_APP + 0x487;
// Posted to the window given to the database sender when sending starts or
// stops failing.
constexpr UINT WM_DATABASE_STATE = WM_APP + 0x489;
// Posted by a settings dialog's connection check (database, MQTT) to the
// dialog when the server has answered: lParam names the check.
constexpr UINT WM_CONNECTION_CHECK_DONE = WM_APP + 0x48A;
// Posted by the main window to itself when the alarm log could not be
// written, so the message box waits for no reading (readings arrive in a
// message the serial reader thread waits on).
constexpr UINT WM_ALARM_LOG_NOTICE = WM_APP + 0x48B;
// Posted to the window given to the MQTT publisher when publishing starts or
// stops failing.
constexpr UINT WM_MQTT_STATE = WM_APP + 0x48C;
// Posted by the "Alarmy" dialog to itself when it opens with hand-written
// limits the program refused, so the reason shows over the dialog.
constexpr UINT WM_ALARM_REFUSAL_NOTICE = WM_APP + 0x490;
// Posted to the main window by a worker thread whose function threw
// (CWorkerThread::ReportFailuresTo): that thread has ended, the program
// goes on without it.
constexpr UINT WM_THREAD_FAILED = WM_APP + 0x491;
// Posted to the main window by the notifications' sending thread when a way
// of sending begins or stops failing.
constexpr UINT WM_NOTIFY_STATE = WM_APP + 0x493;
