// The program's only top-level window. It owns its parts (the instrument,
// the fields and status line, the port, the alarms, the recording, DDE, the
// database and MQTT feeds, the notifications), routes the window's messages, commands and
// timers to them, and keeps what belongs to the window itself: its
// placement, its help and the settings file of this run.
#pragma once

#include "alarms/alarm_monitor.h"
#include "app/main_window_hosts.h"
#include "app/main_window_start.h"
#include "app/program_help.h"
#include "app/readings_panel.h"
#include "app/window_placement.h"
#include "common/timer_ids.h"
#include "config/settings.h"
#include "database/database_feed.h"
#include "exchange/dde_publisher.h"
#include "framework/app_messages.h"
#include "framework/dialog.h"
#include "instrument/calibration_due.h"
#include "instrument/instrument.h"
#include "mqtt/mqtt_feed.h"
#include "notify/notify_feed.h"
#include "recording/recorder.h"
#include "serial/port_link.h"

#include <string>

class CMainDialog : public CDialog {
public:
    enum {
        // The window's own timers; its parts' are theirs (all in common/timer_ids.h).
        kBlinkTimerId = timer_id::kBlink,
        kPortDialogTimerId = timer_id::kPortDialog,
        kPromotionTimerId = timer_id::kPromotion,
    };

    explicit CMainDialog(const MainWindowStart& start = {}, CWnd* pParent = nullptr);
    ~CMainDialog() override;

    // The settings kept in the configuration file, in and out.
    void ApplySettings(const ProgramSettings& settings);
    ProgramSettings CollectSettings() const;
    // Sets every key of the store from the current values, the window
    // rectangle pulled back onto the screen first.
    void StoreSettings(CIniFile& ini) const;
    // The store of this run (nullptr: none), which SaveSettingsNow writes.
    void UseSettingsStore(CIniFile* pSettings) { m_pSettings = pSettings; }
    // Writes the configuration file now, not only at exit: a confirmed
    // settings dialog survives a crash or a power cut.
    void SaveSettingsNow();

    // Closes the port (the reader thread ends); when the window goes, and
    // again, doing nothing, after it has gone.
    void ClosePort() { m_port.Close(); }

    void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // How it was started, as the application told it.
    const MainWindowStart& Start() const { return m_start; }
    // Where the window is and how it was last sized.
    const CWindowPlacement& Placement() const { return m_placement; }
    // The instrument: its channels, its link and the last line decoded.
    const CInstrument& Instrument() const { return m_instrument; }
    // The fields and the status line.
    CReadingsPanel& Panel() { return m_panel; }
    // The instrument holds a new channel configuration: the fields take the
    // channels' names and the window is laid out for the channels in use.
    void OnChannelConfigChanged();
    CProgramHelp& Help() { return m_help; }
    // The promotion is shown at start (the user may switch it off).
    bool ShowsPromotion() const { return m_bShowPromotion; }
    // A box of the window's own timers is open: the port dialog waits.
    bool IsPopupOpen() const { return m_bPopupOpen; }
    // The alarms, judged at every valid reading (main_dialog_alarms.cpp).
    CAlarmMonitor& Alarms() { return m_alarms; }
    // The channels over DDE while the link is up, and the instrument's port.
    const CDdePublisher& Dde() const { return m_dde; }
    const CPortLink& Port() const { return m_port; }
    // The report file and the binary log.
    const CRecorder& Recorder() const { return m_recorder; }
    // The readings to the time-series database and to an MQTT broker.
    CDatabaseFeed& DatabaseFeed() { return m_database; }
    CMqttFeed& MqttFeed() { return m_mqttFeed; }
    // Alarms and troubles to a person away from the PC.
    CNotifyFeed& Notifications() { return m_notify; }

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT nId, LPARAM lParam);
    void OnDestroy();
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSerialPort();
    void OnSize(UINT nType, int cx, int cy);
    void OnActivate(UINT nState, HWND hOther, BOOL bMinimized);
    void OnAlwaysOnTop();
    void OnTimer(UINT_PTR nId);
    void OnHelp();
    bool OnHelpInfo(HELPINFO* pInfo);
    void OnCloseProgram();
    void OnRunChartViewer();
    void OnPortChar(unsigned char b);
    // A pulled adapter: reopened silently until it is back.
    void OnPortGone();
    void OnDdeAdviseStarted(int nChannel, int nItem);
    void OnUninstall();
    void OnRecording();
    // The small dialogs (main_dialog_dialogs.cpp).
    void OnAbout();
    void OnColours();
    void OnFonts();
    void OnPromotion();
    void OnExtraSettings();
    void OnAlarms();
    void OnAcknowledgeAlarms();
    void OnLButtonDown(UINT nFlags, POINT point);
    void OnAlarmLogNotice();
    void OnDatabase();
    void OnMqtt();
    void OnNotifications();
    // "Kana\xB3y..." and the calibration's due dates (main_dialog_channels.cpp).
    void OnChannels();
    void OnCalibrationTick();
    // The database, MQTT or a way of notifying began or stopped failing.
    void OnFeedStateChanged();
    void OnThreadFailed();
    void OnNewInstrument();
    // Windows ends the session: this is the last chance to save.
    void OnEndSession(bool bEnding);

private:
    friend class CMainWindowHosts;

    void UpdateStatusLine();
    // The port the user chooses in the port dialog, or 0.
    int ChoosePort();
    void ShowStartupPromotion();
    void LayOutAgain();
    // The channels' settings changed: the parts that show or write them are told.
    void OnChannelsApplied();
    void RecordRestoredRect() { m_placement.RecordRestoredRect(m_hWnd); }
    // Profiles (main_dialog_profiles.cpp).
    void ShowProfile();
    void OpenPortAtStart();
    // What the alarm log could not take at exit, told before the window goes.
    void TellAlarmLogLoss();

    const MainWindowStart m_start;
    CWindowPlacement m_placement;
    CMainWindowHosts m_hosts{*this};
    CInstrument m_instrument{m_hosts.Timers()};  // before the parts that read its channels
    CReadingsPanel m_panel;
    CProgramHelp m_help;  // "Pomoc" (main_dialog_help.cpp)
    CDdePublisher m_dde{m_hosts, m_instrument};
    CPortLink m_port{m_hosts};
    CAlarmMonitor m_alarms{m_hosts, m_instrument.Channels()};
    CRecorder m_recorder{m_hosts, m_instrument.Channels()};
    CDatabaseFeed m_database{m_hosts};
    CMqttFeed m_mqttFeed{m_hosts};
    CNotifyFeed m_notify{m_hosts};
    CCalibrationReminder m_calibration;
    HICON m_hIcon;
    CIniFile* m_pSettings = nullptr;  // the store of this run, or nullptr
    bool m_bPopupOpen = false;
    bool m_bShowPromotion = true;
    bool m_bThreadFailed = false;  // a worker thread ended on an exception
};
