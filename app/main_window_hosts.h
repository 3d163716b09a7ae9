// The main window as its parts see it: one object answers every part's Host
// (timers, boxes, the menu, the status line, the window told of a state
// change) and redraws the fields as the instrument's first reader, so the
// parts never hold the window itself.
#pragma once

#include "alarms/alarm_monitor.h"
#include "database/database_feed.h"
#include "exchange/dde_publisher.h"
#include "instrument/instrument.h"
#include "mqtt/mqtt_feed.h"
#include "notify/notify_feed.h"
#include "recording/recorder.h"
#include "serial/port_link.h"

class CMainDialog;

class CMainWindowHosts : public CPortLink::Host,
                         public CAlarmMonitor::Host,
                         public CRecorder::Host,
                         public CDdePublisher::Host,
                         public CDatabaseFeed::Host,
                         public CMqttFeed::Host,
                         public CNotifyFeed::Host,
                         public CInstrument::Reader {
public:
    explicit CMainWindowHosts(CMainDialog& dlg) : m_dlg(dlg) {}

    // The window's timers, for a part that needs nothing else.
    CTimerHost& Timers() { return static_cast<CPortLink::Host&>(*this); }

    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override;
    void KillTimer(UINT_PTR id) override;
    HWND NotifyWindow() const override;
    CWnd* Owner() override;
    int InstrumentNumber() const override;
    bool StartedWithWindows() const override;
    // The alarms or the recording changed what the status line says (and
    // the notifications hear of the recording's troubles).
    void StatusChanged() override;

    void ShowAlarmMark(int nChannel, int nState) override;
    void OfferAcknowledgement(BOOL bOffer) override;
    void NoticeLogFailure() override;

    int ShowMessage(const std::string& strText, UINT nType) override;
    bool EditSettings(RecordingSettings& settings, std::string& strComment) override;
    void SaveSettings() override;
    void EnableSettingsCommand() override;

    void Tell(const std::string& text, UINT type) override;

    unsigned ChannelsWithAlarmLimits() const override;
    std::string ProfileName() const override;
    std::string SettingsPath() const override;
    std::wstring SettingsFile() const override;
    char DecimalSeparator() const override;
    const ChannelConfig& ChannelConfiguration() const override;

    void OnLinkChanged(const CInstrument& instrument) override;
    void OnReading(const CInstrument& instrument, int nChannel) override;

private:
    CMainDialog& m_dlg;
};
