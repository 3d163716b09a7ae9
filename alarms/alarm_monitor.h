// The alarms: each channel's valid readings judged against its limits, the
// sound until the user acknowledges it, and the alarm log with the lines
// that wait for it. The main window owns one and is reached through Host
// for what only a window does (its timer, the fields' marks, the menu, a
// message box later), so the rules run and are tested without a window.
#pragma once

#include "common/timer_host.h"
#include "common/timer_ids.h"
#include "alarms/alarm_settings.h"
#include "instrument/channels.h"
#include "instrument/instrument.h"
#include "framework/record_file.h"

#include <memory>
#include <string>

class CAlarmMonitor : public CInstrument::Reader {
public:
    enum { kSoundTimerId = timer_id::kAlarmSound, kSoundPeriodMs = 10000 };

    class Host : public CTimerHost {
    public:
        // Channel 0 to 8's field shows its alarm state (AlarmState).
        virtual void ShowAlarmMark(int nChannel, int nState) = 0;
        // The menu's acknowledgement offered (TRUE) or greyed.
        virtual void OfferAcknowledgement(BOOL bOffer) = 0;
        // The alarm log stopped taking lines: tell the user (LogFailureText)
        // once the reading at hand is done.
        virtual void NoticeLogFailure() = 0;
        // A reading changed an alarm: the status line says which.
        virtual void StatusChanged() {}
    };

    // channels: the window's set, which this judges and reads.
    CAlarmMonitor(Host& host, CChannelSet& channels);

    const AlarmSettings& Settings() const { return m_settings; }
    // The settings read at start, judged from the next reading on.
    void TakeSettings(const AlarmSettings& settings) { m_settings = settings; }
    // Confirmed in the dialog: in force at once for every channel that holds
    // a valid value, the others at their next valid reading.
    void ChangeSettings(const AlarmSettings& settings);

    // The channels' names or inputs in use changed (the instrument's
    // configuration, which the set holds): an input switched off loses its
    // alarm at once, logged as any end; the status line is told.
    void OnChannelConfigChanged();

    // Judges channel 0 to 8's value if it is a valid one, logs and shows the
    // outcome and sounds a new alarm; TRUE when the alarm changed.
    BOOL Judge(int nChannel);
    // Every accepted reading is judged as it comes.
    void OnReading(const CInstrument& instrument, int nChannel) override;
    BOOL IsAnyActive() const;
    // A channel entered an alarm since the last acknowledgement.
    BOOL IsUnacknowledged() const { return m_bUnacknowledged; }
    // Silences the sound; the fields keep their marks while the alarms last.
    void Acknowledge();
    void OnSoundTick();

    // Why the alarm log takes no lines, Windows-1250, for a message box.
    std::string LogFailureText() const;
    // At exit: the waiting lines are tried once more. Empty when every line
    // went in; else what the user is told, Windows-1250.
    std::string Close();

    // Plays the alarm sound; tests count the calls here.
    void (*m_pfnSound)() = &PlayExclamationSound;
    static void PlayExclamationSound();

private:
    void Sound();
    void WriteLog(const std::string& strLine);
    // Opens the log if it is not open and appends what waits.
    void FlushLog();

    Host& m_host;
    CChannelSet& m_channels;
    AlarmSettings m_settings;
    BOOL m_bUnacknowledged = FALSE;
    std::unique_ptr<CRecordFile> m_pLog;  // opened at the first event after the path was set
    // The log's path made absolute at the first attempt to open it, so that
    // a later change of the current folder cannot send it elsewhere.
    std::string m_strLogPathSet;  // the path of the settings it was made for
    std::string m_strLogFullPath;
    std::string m_strLogWaiting;  // lines not yet written: no file could be opened
    BOOL m_bLogFailing = FALSE;   // told once per failure, until a write works again
};
