// The program's only top-level window: the status line and the nine display
// fields, the menu commands, the layout, the timers, and the way every
// received byte becomes a reading on screen.
#pragma once

#include "common/field_index.h"
#include "alarms/alarm_monitor.h"
#include "app/main_window_start.h"
#include "app/program_help.h"
#include "app/window_placement.h"
#include "common/timer_ids.h"
#include "config/settings.h"
#include "database/database_feed.h"
#include "exchange/dde_publisher.h"
#include "framework/app_messages.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "instrument/channels.h"
#include "instrument/line_assembly.h"
#include "mqtt/mqtt_feed.h"
#include "recording/recorder.h"
#include "serial/port_link.h"
#include "ui/reading_view.h"

#include <memory>
#include <string>
#include <vector>

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

    // Channel readings: after every complete line (TRUE: accepted) and every
    // watchdog expiry (FALSE).
    void ApplyReading(BOOL bGood);
    void UpdateStatusLine();

    // The settings kept in the configuration file, in and out.
    void ApplySettings(const ProgramSettings& settings);
    ProgramSettings CollectSettings() const;

    // Sets every key of the store from the current values, the window
    // rectangle pulled back onto the screen first.
    void StoreSettings(CIniFile& ini) const;
    // Writes the configuration file now, not only at exit: a confirmed
    // settings dialog survives a crash or a power cut.
    void SaveSettingsNow();

    // Closes the port (the reader thread ends); when the window goes, and
    // again, doing nothing, after it has gone.
    void ClosePort() { m_port.Close(); }

    // The current readings of channels 0 to 8, which the fields show.
    const CChannelSet& Channels() const { return m_channels; }
    // The field of channel 0 to 8.
    CReadingView& Field(int nChannel) { return m_fields[FieldOfChannel(nChannel)]; }
    const CLineDecoder& Decoder() const { return m_lineAssembly.Decoder(); }
    // The readings to the time-series database.
    CDatabaseFeed& DatabaseFeed() { return m_database; }

    void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    BOOL m_bPopupOpen;
    BOOL m_bShowPromotion;
    BOOL m_bBlinkPhase;
    int m_nLastChannel;
    // Declared before the DDE publisher, which reads it, so that it outlives it.
    CChannelSet m_channels;
    CProgramHelp m_help;  // "Pomoc" (main_dialog_help.cpp)
    std::string m_strStatus;
    BOOL m_bLinkUp;
    BOOL m_bLayoutLocked;
    int m_nStatusHeight;
    bool m_bThreadFailed = false;                   // a worker thread ended on an exception
    CReadingView m_fields[9];  // channels 1 to 8, then channel 0
    CEdit m_editStatus;
    HICON m_hIcon;
    CIniFile* m_pSettings;           // the store of this run, or nullptr
    // How it was started, as the application told it.
    const MainWindowStart& Start() const { return m_start; }
    // Where the window is and how it was last sized.
    const CWindowPlacement& Placement() const { return m_placement; }
    // Readings to an MQTT broker, a part of its own.
    CMqttFeed& MqttFeed() { return m_mqttFeed; }

    // The alarms, judged at every valid reading (main_dialog_alarms.cpp).
    CAlarmMonitor& Alarms() { return m_alarms; }
    // The channels over DDE while the link is up, and the instrument's port.
    const CDdePublisher& Dde() const { return m_dde; }
    const CPortLink& Port() const { return m_port; }
    // The report file and the binary log (main_dialog_recording.cpp).
    const CRecorder& Recorder() const { return m_recorder; }

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
    LRESULT OnHelpInfo(WPARAM wParam, LPARAM lParam);
    void OnCloseProgram();
    void OnRunChartViewer();
    LRESULT OnPortChar(WPARAM wParam, LPARAM lParam);
    // A pulled adapter: reopened silently until it is back.
    LRESULT OnPortGone(WPARAM wParam, LPARAM lParam);
    LRESULT OnDdeAdviseStarted(WPARAM wParam, LPARAM lParam);
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
    LRESULT OnAlarmLogNotice(WPARAM wParam, LPARAM lParam);
    void OnDatabase();
    LRESULT OnDatabaseStateChanged(WPARAM wParam, LPARAM lParam);
    void OnMqtt();
    LRESULT OnMqttStateChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnThreadFailed(WPARAM wParam, LPARAM lParam);
    void OnNewInstrument();
    // Windows ends the session: this is the last chance to save.
    LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);

private:
    const MainWindowStart m_start;
    CWindowPlacement m_placement;
    // The line assembly reaches this window's timer and readings through here.
    class LineHost : public CLineAssembly::Host {
    public:
        explicit LineHost(CMainDialog& dlg) : m_dlg(dlg) {}
        UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override { return m_dlg.SetTimer(id, elapseMs); }
        void KillTimer(UINT_PTR id) override { m_dlg.KillTimer(id); }
        void SetLastChannel(int channel) override { m_dlg.m_nLastChannel = channel; }
        void ApplyReading(BOOL ok) override { m_dlg.ApplyReading(ok); }

    private:
        CMainDialog& m_dlg;
    };

    // The port the user chooses in the port dialog, or 0.
    int ChoosePort();
    void Blink();
    void ShowStartupPromotion();
    void LayOutAgain();
    // The field of one channel shows what the channel set holds.
    void ShowChannel(int nChannel);
    // Not while the layout is locked: the window is not yet where it goes.
    void RecordRestoredRect() {
        if (!m_bLayoutLocked)
            m_placement.RecordRestoredRect(m_hWnd);
    }
    // The DDE publisher reaches this window's readings and boxes through here.
    class DdeHost : public CDdePublisher::Host {
    public:
        explicit DdeHost(CMainDialog& dlg) : m_dlg(dlg) {}
        HWND NotifyWindow() const override { return m_dlg.m_hWnd; }
        int InstrumentNumber() const override { return m_dlg.Decoder().m_nSerialNumber; }
        bool IsLinkUp() const override { return m_dlg.m_bLinkUp != FALSE; }
        void Tell(const std::string& text, UINT type) override;

    private:
        CMainDialog& m_dlg;
    };
    DdeHost m_ddeHost{*this};
    CDdePublisher m_dde{m_ddeHost, m_channels};
    // The port link reaches this window's timer through here.
    class PortHost : public CPortLink::Host {
    public:
        explicit PortHost(CMainDialog& dlg) : m_dlg(dlg) {}
        UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override { return m_dlg.SetTimer(id, elapseMs); }
        void KillTimer(UINT_PTR id) override { m_dlg.KillTimer(id); }
        CWnd* Owner() override { return &m_dlg; }

    private:
        CMainDialog& m_dlg;
    };
    PortHost m_portHost{*this};
    CPortLink m_port{m_portHost};
    // Profiles (main_dialog_profiles.cpp).
    void ShowProfile();
    void OpenPortAtStart();

    // The alarms reach this window's timer, fields and menu through here
    // (main_dialog_alarms.cpp).
    class AlarmHost : public CAlarmMonitor::Host {
    public:
        explicit AlarmHost(CMainDialog& dlg) : m_dlg(dlg) {}
        UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override { return m_dlg.SetTimer(id, elapseMs); }
        void KillTimer(UINT_PTR id) override { m_dlg.KillTimer(id); }
        void ShowAlarmMark(int nChannel, int nState) override { m_dlg.Field(nChannel).SetAlarmMark(nState); }
        void OfferAcknowledgement(BOOL bOffer) override;
        void NoticeLogFailure() override;

    private:
        CMainDialog& m_dlg;
    };
    // What the alarm log could not take at exit, told before the window goes.
    void TellAlarmLogLoss();

    AlarmHost m_alarmHost;
    CAlarmMonitor m_alarms;  // after m_channels, which it judges

    // The recording reaches this window's timers, boxes, dialog and status
    // line through here (main_dialog_recording.cpp).
    class RecorderHost : public CRecorder::Host {
    public:
        explicit RecorderHost(CMainDialog& dlg) : m_dlg(dlg) {}
        UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override { return m_dlg.SetTimer(id, elapseMs); }
        void KillTimer(UINT_PTR id) override { m_dlg.KillTimer(id); }
        int ShowMessage(const std::string& strText, UINT nType) override;
        bool EditSettings(RecordingSettings& settings, std::string& strComment) override;
        void SaveSettings() override { m_dlg.SaveSettingsNow(); }
        void StatusChanged() override { m_dlg.UpdateStatusLine(); }
        void EnableSettingsCommand() override;
        bool StartedWithWindows() const override { return m_dlg.m_start.bStartedWithWindows; }
        int InstrumentNumber() const override { return m_dlg.Decoder().m_nSerialNumber; }

    private:
        CMainDialog& m_dlg;
    };
    RecorderHost m_recorderHost{*this};
    CRecorder m_recorder{m_recorderHost, m_channels};  // after m_channels, which it writes

    // The database feed reaches this window through here (main_dialog_database.cpp).
    class DatabaseHost : public CDatabaseFeed::Host {
    public:
        explicit DatabaseHost(CMainDialog& dlg) : m_dlg(dlg) {}
        CWnd* Window() override { return &m_dlg; }
        void SettingsChanged() override;

    private:
        CMainDialog& m_dlg;
    };

    LineHost m_lineHost;
    CLineAssembly m_lineAssembly;  // line buffer, watchdog and decoder
    DatabaseHost m_databaseHost;
    CDatabaseFeed m_database;
    // The MQTT feed reaches this window through here.
    class MqttHost : public CMqttFeed::Host {
    public:
        explicit MqttHost(CMainDialog& dlg) : m_dlg(dlg) {}
        HWND NotifyWindow() const override { return m_dlg.m_hWnd; }
        const CChannelSet& Channels() const override { return m_dlg.m_channels; }
        int InstrumentNumber() const override { return m_dlg.Decoder().m_nSerialNumber; }
        std::string ProfileName() const override { return m_dlg.m_start.strProfile; }
        std::string SettingsPath() const override { return afx::PathKeyText(m_dlg.m_start.strSettingsPath); }
        unsigned ChannelsWithAlarmLimits() const override {
            unsigned mask = 0;
            for (int c = 0; c < CChannelSet::kChannels; ++c)
                mask |= m_dlg.m_alarms.Settings().limits[c].IsSet() ? 1u << c : 0u;
            return mask;
        }

    private:
        CMainDialog& m_dlg;
    };
    MqttHost m_mqttHost{*this};
    CMqttFeed m_mqttFeed{m_mqttHost};
};
