// The program's only top-level window: the status line and the nine display
// fields, the menu commands, the layout, the timers, and the way every
// received byte becomes a reading on screen.
#pragma once

#include "app/alarm_monitor.h"
#include "app/program_help.h"
#include "config/settings.h"
#include "database/database_feed.h"
#include "exchange/dde_server.h"
#include "framework/app_messages.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "instrument/channels.h"
#include "instrument/line_assembly.h"
#include "mqtt/mqtt_feed.h"
#include "recording/record_file.h"
#include "recording/record_types.h"
#include "ui/reading_view.h"

#include <memory>
#include <string>
#include <vector>

class CComPort;
class CProfileInstance;

class CMainDialog : public CDialog {
public:
    enum {
        kRecordTimerId = 1034,
        kStartupRecordingTimerId = 1036,
        kBlinkTimerId = 1052,
        kPortDialogTimerId = 1069,
        kPromotionTimerId = 1070,
        kReopenPortTimerId = 1071,  // a port whose device has gone is tried again
        // 1072: the alarm sound (CAlarmMonitor::kSoundTimerId)
    };

    explicit CMainDialog(CWnd* pParent = nullptr);
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
    void ClosePort();

    // The current readings of channels 0 to 8, which the fields show.
    const CChannelSet& Channels() const { return m_channels; }
    // The field of channel 0 to 8.
    CReadingView& Field(int nChannel) { return m_fields[nChannel == 0 ? 8 : nChannel - 1]; }
    const CLineDecoder& Decoder() const { return m_lineAssembly.Decoder(); }
    // The readings to the time-series database.
    CDatabaseFeed& DatabaseFeed() { return m_database; }

    void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    BOOL m_bPopupOpen;
    BOOL m_bShowPromotion;
    BOOL m_bBlinkPhase;
    int m_nLastChannel;
    // Declared before the DDE server, which reads it, so that it outlives it.
    CChannelSet m_channels;
    CDdeServer m_ddeServer;  // publishes the channels while the link is up
    CProgramHelp m_help;     // "Pomoc" (main_dialog_help.cpp)
    std::string m_strComment;  // opening block of the report; not stored
    BOOL m_bAddComment;
    BOOL m_bAddSerial;
    BOOL m_bMaximized;
    std::string m_strStatus;
    BOOL m_bLinkUp;
    BOOL m_bRecord[9];  // report columns, by channel 0 to 8
    int m_nSeparator;
    BOOL m_bDecimalComma;
    SIZE m_sizeNormal;     // client size of the last restored size report
    SIZE m_sizeMaximized;  // client size of the last maximised one
    int m_nInterval;       // recording interval, seconds
    UINT_PTR m_nRecordTimer;
    BOOL m_bLogReport;
    BOOL m_bLogBinary;
    std::string m_strReportPath;
    std::string m_strBinaryPath;
    std::unique_ptr<CRecordFile> m_pReportFile;  // exists only while m_bLogReport is set
    std::unique_ptr<CRecordFile> m_pBinaryFile;  // likewise with m_bLogBinary
    int m_nHeaderMask;  // channels of the last report header; kHeaderMaskNone forces one
    BOOL m_bTopmost;
    RECT m_rcWindow;
    BOOL m_bLayoutLocked;
    int m_nStatusHeight;
    CComPort* m_pPort;
    int m_nPortNumber;
    // FALSE: the port dialog is never shown and nothing is chosen (for
    // tests that drive the window without it).
    BOOL m_bOfferPortDialog = TRUE;
    // FALSE: the start-up promotion window is not shown (tests again).
    BOOL m_bOfferPromotion = TRUE;
    // Profiles (main_dialog_profiles.cpp): the profile's name, empty for
    // the default one; Windows started it (nobody is at the screen: no
    // promotion, no modal box, the port retried instead of asked for).
    std::string m_strProfile;
    BOOL m_bStartedWithWindows = FALSE;
    BOOL m_bClosedMinimized = FALSE;                // as it was when it last closed
    bool m_bThreadFailed = false;                   // a worker thread ended on an exception
    const CProfileInstance* m_pInstance = nullptr;  // marks this window as the profile's
    CReadingView m_fields[9];  // channels 1 to 8, then channel 0
    CEdit m_editStatus;
    HICON m_hIcon;
    std::wstring m_strSettingsPath;  // where the settings are kept, for the user
    CIniFile* m_pSettings;           // the store of this run, or nullptr
    // Readings to an MQTT broker, a part of its own.
    CMqttFeed& MqttFeed() { return m_mqttFeed; }

    // The alarms, judged at every valid reading (main_dialog_alarms.cpp).
    CAlarmMonitor& Alarms() { return m_alarms; }

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
    // A pulled adapter: reopened silently until it is back (main_dialog_ports.cpp).
    LRESULT OnPortGone(WPARAM wParam, LPARAM lParam);
    void ReopenPort();
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

    // Opens COM<nPort> with the instrument's line settings; FALSE, with no
    // driver left, when it cannot be opened.
    BOOL OpenPort(int nPort);
    // The port the user chooses in the port dialog, or 0.
    int ChoosePort();
    void Blink();
    // Recording (main_dialog_recording.cpp).
    struct RecordNotice {
        std::string strText;
        UINT nType;
    };
    void StartRecordingAtLaunch();
    BOOL RunRecordingDialog();  // TRUE: a file could not be opened, run it again
    std::unique_ptr<CRecordFile> OpenChosenFile(const std::string& strPath, const char* pszExists,
                                                BOOL* pbAppending);
    void KeepRecordingInForce();
    void SetRecordTimer();
    void OnRecordTick();
    void WriteReportRow();
    void WriteBinaryRecord();
    void TakeSamples(ChannelSamples samples);
    void NoteRecordWrite(const CRecordFile& file, BOOL bWasFailing, BOOL bReport);
    void ShowRecordNotices();
    BOOL IsRecordingFailing() const;
    void ShowStartupPromotion();
    void RelayOut();
    void HandChannelsToDdeServer();
    // The field of one channel shows what the channel set holds.
    void ShowChannel(int nChannel);
    void PlaceSavedRectOnScreen();
    void RecordRestoredRect();
    // Stops the DDE server and, while the link is up, starts it for the
    // instrument's number (main_dialog_dde.cpp).
    void RestartDdeServer();
    // Stops it for good, when the window goes; guarded like RestartDdeServer.
    void StopDdeServer();
    BOOL m_bDdeRestarting = FALSE;   // RestartDdeServer or StopDdeServer is running
    BOOL m_bDdeStopped = FALSE;      // the window is going: no more starts
    BOOL m_bDdeRestartAgain = FALSE;  // a line asked for it meanwhile
    // Another copy publishes the same instrument number: this one stands
    // back, and says so once per number.
    BOOL ClaimDdeNumber(int nSerial);
    CHandle m_ddeNumberClaim;
    int m_nDdeClaimedNumber = 0;
    int m_nDdeRefusedNumber = 0;
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
        std::string ProfileName() const override { return m_dlg.m_strProfile; }
        std::string SettingsPath() const override { return afx::PathKeyText(m_dlg.m_strSettingsPath); }
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
    int m_nReportFileSeparator;    // the separator the open report file was opened with
    int m_nTimerInterval;          // the interval the recording timer runs at
    std::vector<RecordNotice> m_recordNotices;  // to show once the writes are done
};
