// The window's life (creation, the first layout, closing), its message map
// and the routing of its timers to the parts that set them.
#include "app/main_dialog.h"

#include "app/profile_instance.h"
#include "framework/win_app.h"
#include "framework/worker_thread.h"
#include "res/resource.h"

#include <iterator>

namespace {

const UINT kWatchdogTimerId = CLineAssembly::kWatchdogTimerId;

}  // namespace

CMainDialog::CMainDialog(const MainWindowStart& start, CWnd* pParent)
    : CDialog(IDD_QM487_DIALOG, pParent),
      m_start(start),
      m_hIcon(LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {
    // The fields first; the alarms judge a reading before the database point,
    // MQTT and the notifications carry its alarm state; DDE is told last.
    m_instrument.AddReader(m_hosts);
    m_instrument.AddReader(m_alarms);
    m_instrument.AddReader(m_database);
    m_instrument.AddReader(m_mqttFeed);
    m_instrument.AddReader(m_notify);
    m_instrument.AddReader(m_dde);
    ApplySettings(ConstructorSettings());
}

CMainDialog::~CMainDialog() { ClosePort(); }

const AfxMsgMap* CMainDialog::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnSysCommand<&CMainDialog::OnSysCommand>(),
        afx::OnDestroy<&CMainDialog::OnDestroy>(),
        afx::OnPaint<&CMainDialog::OnPaint>(),
        afx::OnQueryDragIcon<&CMainDialog::OnQueryDragIcon>(),
        afx::OnCommand<ID_SERIAL_PORT, &CMainDialog::OnSerialPort>(),
        afx::OnSize<&CMainDialog::OnSize>(),
        afx::OnActivate<&CMainDialog::OnActivate>(),
        afx::OnCommand<ID_ALWAYS_ON_TOP, &CMainDialog::OnAlwaysOnTop>(),
        afx::OnTimer<&CMainDialog::OnTimer>(),
        afx::OnCommand<ID_RECORDING, &CMainDialog::OnRecording>(),
        afx::OnCommand<ID_HELP_CONTENTS, &CMainDialog::OnHelp>(),
        afx::OnCommand<ID_HELP, &CMainDialog::OnHelp>(),
        afx::OnHelpInfo<&CMainDialog::OnHelpInfo>(),
        afx::OnCommand<ID_CLOSE_PROGRAM, &CMainDialog::OnCloseProgram>(),
        afx::OnCommand<ID_RUN_CHART_VIEWER, &CMainDialog::OnRunChartViewer>(),
        afx::OnAppMessage<WM_PORT_CHAR, &CMainDialog::OnPortChar>(),
        afx::OnAppMessage<WM_PORT_GONE, &CMainDialog::OnPortGone>(),
        afx::OnAppMessage<WM_DDE_ADVISE_STARTED, &CMainDialog::OnDdeAdviseStarted>(),
        afx::OnCommand<ID_UNINSTALL, &CMainDialog::OnUninstall>(),
        afx::OnCommand<ID_ABOUT, &CMainDialog::OnAbout>(),
        afx::OnCommand<ID_COLOURS, &CMainDialog::OnColours>(),
        afx::OnCommand<ID_FONTS, &CMainDialog::OnFonts>(),
        afx::OnCommand<ID_PROMOTION, &CMainDialog::OnPromotion>(),
        afx::OnCommand<ID_EXTRA_SETTINGS, &CMainDialog::OnExtraSettings>(),
        afx::OnCommand<ID_ALARMS, &CMainDialog::OnAlarms>(),
        afx::OnCommand<ID_ACKNOWLEDGE_ALARMS, &CMainDialog::OnAcknowledgeAlarms>(),
        afx::OnLButtonDown<&CMainDialog::OnLButtonDown>(),
        afx::OnAppMessage<WM_ALARM_LOG_NOTICE, &CMainDialog::OnAlarmLogNotice>(),
        afx::OnCommand<ID_DATABASE, &CMainDialog::OnDatabase>(),
        afx::OnAppMessage<WM_DATABASE_STATE, &CMainDialog::OnFeedStateChanged>(),
        afx::OnCommand<ID_MQTT, &CMainDialog::OnMqtt>(),
        afx::OnAppMessage<WM_MQTT_STATE, &CMainDialog::OnFeedStateChanged>(),
        afx::OnCommand<ID_NOTIFY, &CMainDialog::OnNotifications>(),
        afx::OnAppMessage<WM_NOTIFY_STATE, &CMainDialog::OnFeedStateChanged>(),
        afx::OnCommand<ID_CHANNELS, &CMainDialog::OnChannels>(),
        afx::OnAppMessage<WM_THREAD_FAILED, &CMainDialog::OnThreadFailed>(),
        afx::OnCommand<ID_NEW_INSTRUMENT, &CMainDialog::OnNewInstrument>(),
        afx::OnEndSession<&CMainDialog::OnEndSession>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CMainDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    m_panel.Bind(pDX);
}

BOOL CMainDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    // From here on a thread that fails says so in the status line.
    CWorkerThread::ReportFailuresTo(m_hWnd, WM_THREAD_FAILED);

    wchar_t szAbout[64] = {};
    HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu != nullptr && LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, szAbout, 64) > 0) {
        AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, szAbout);
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // Recording is offered once the start-up recording has had its turn.
    EnableMenuItem(GetMenu(m_hWnd), ID_RECORDING, MF_BYCOMMAND | MF_GRAYED);

    OpenPortAtStart();

    m_panel.Prepare(m_instrument.Channels());

    m_placement.PlaceOnScreen();
    const RECT& rc = m_placement.Rect();
    SetWindowPos(m_hWnd, HWND_TOP, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, 0);

    ShowProfile();

    // Nothing heard yet: every field shows no value.
    m_instrument.OnWatchdogTimer();

    m_placement.ToggleTopmost();
    OnAlwaysOnTop();

    m_dde.Attach();
    m_database.Start();
    m_notify.Start();

    m_recorder.ScheduleStart();
    SetTimer(kBlinkTimerId, 500);
    if (m_bShowPromotion && !m_start.bStartedWithWindows)
        SetTimer(kPromotionTimerId, 100);
    return TRUE;
}

void CMainDialog::OnSize(UINT nType, int cx, int cy) {
    Default();
    m_placement.NoteSize(nType, cx, cy);
    if (!m_placement.IsPlaced())
        return;
    if (nType == SIZE_RESTORED)
        m_placement.TakeWindowRect(m_hWnd);
    m_panel.LayOut(cx, cy);
}

// Re-runs the layout for the size last reported.
void CMainDialog::LayOutAgain() {
    const bool maximized = m_placement.IsMaximized();
    const SIZE& size = maximized ? m_placement.MaximizedSize() : m_placement.NormalSize();
    SendMessage(WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(size.cx, size.cy));
}

void CMainDialog::OnActivate(UINT, HWND, BOOL) {
    Default();
    RecordRestoredRect();
}

void CMainDialog::OnAlwaysOnTop() {
    const RECT& rc = m_placement.Rect();
    SetWindowPos(m_hWnd, m_placement.IsTopmost() ? HWND_NOTOPMOST : HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left,
                 rc.bottom - rc.top, SWP_NOMOVE | SWP_NOSIZE);
    m_placement.ToggleTopmost();
    CheckMenuItem(GetMenu(m_hWnd), ID_ALWAYS_ON_TOP,
                  MF_BYCOMMAND | (m_placement.IsTopmost() ? MF_CHECKED : MF_UNCHECKED));
}

void CMainDialog::OnTimer(UINT_PTR nId) {
    switch (nId) {
    case CRecorder::kRecordTimerId:
        m_recorder.OnRecordTimer();
        break;
    case kWatchdogTimerId:
        m_instrument.OnWatchdogTimer();
        break;
    case CRecorder::kStartTimerId:
        m_recorder.OnStartTimer();
        break;
    case kBlinkTimerId:
        m_panel.Blink(m_instrument.Channels());
        break;
    case kPortDialogTimerId:
        if (!m_bPopupOpen) {
            KillTimer(kPortDialogTimerId);
            OnSerialPort();
        }
        break;
    case CPortLink::kReopenTimerId:
        m_port.OnReopenTimer();
        break;
    case CAlarmMonitor::kSoundTimerId:
        m_alarms.OnSoundTick();
        break;
    case CNotifyFeed::kTickTimerId:
        m_notify.OnTickTimer();
        OnCalibrationTick();
        break;
    case kPromotionTimerId:
        KillTimer(kPromotionTimerId);
        m_bPopupOpen = true;
        ShowStartupPromotion();
        m_bPopupOpen = false;
        break;
    default:
        break;
    }
    Default();
}

void CMainDialog::OnDdeAdviseStarted(int nChannel, int nItem) { m_dde.OnAdviseStarted(nChannel, nItem); }

BOOL CMainDialog::PreTranslateMessage(MSG* pMsg) {
    // Neither key closes the window.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
        ::SetFocus(m_hWnd);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CMainDialog::OnSysCommand(UINT nId, LPARAM) {
    if ((nId & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
        return;
    }
    Default();
}

void CMainDialog::OnDestroy() {
    // Closed from the taskbar while minimised: no activation told where it was.
    RecordRestoredRect();
    m_placement.NoteClosing(m_hWnd);
    CProfileInstance::UnmarkWindow(m_hWnd);
    // The reader sends to this window: it ends while the window is still there.
    ClosePort();
    m_dde.Stop();
    m_database.Stop();  // never waits on the network
    m_mqttFeed.Stop();
    m_notify.Stop(true);  // a close: the next start is no start after a power cut
    // Written while the window is still there: whatever waits for it to go
    // (an installer, a script, the session's end) may end the process next.
    SaveSettingsNow();
    WinHelp(0, HELP_QUIT);
    CWorkerThread::ReportFailuresTo(nullptr, 0);
    Default();
}

void CMainDialog::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    const int x = (rect.right - rect.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.bottom - rect.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
}

HCURSOR CMainDialog::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CMainDialog::OnCloseProgram() { OnOK(); }

// Every way of closing ends here ("Zamknij", the title bar, WM_CLOSE), while
// the window is still on screen.
void CMainDialog::OnOK() {
    TellAlarmLogLoss();
    CDialog::OnOK();
}

void CMainDialog::OnCancel() {
    TellAlarmLogLoss();
    CDialog::OnCancel();
}
