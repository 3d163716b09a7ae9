#include "app/main_dialog.h"

#include "installation/installation.h"
#include "app/main_layout.h"
#include "app/profile_instance.h"
#include "app/start_with_windows.h"
#include "config/native_file.h"
#include "framework/system_library.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "framework/worker_thread.h"
#include "res/resource.h"

#include <shellapi.h>

#include <cstdio>
#include <iterator>

namespace {

const UINT kWatchdogTimerId = CLineAssembly::kWatchdogTimerId;

const char kCannotOpenPort[] = "Nie mo\xBFna otworzy\xE6 portu COM%d";
const char kChartViewerMissing[] = "Nie mo\xBFna odnale\x9F\xE6 programu Kreslo.exe";

// The portable copy installs nothing, so removing it is deleting two files.
const char kUninstallText[] =
    "Program QM487 nie jest instalowany w systemie, wi\xEA" "c nie trzeba go odinstalowywa\xE6. "
    "Aby go usun\xB9\xE6, zamknij program i usu\xF1 plik programu oraz plik ustawie\xF1:\n\n";
// The installed copy hands over to the system's uninstall of its package.
const char kUninstallQuestion[] =
    "Czy odinstalowa\xE6 program QM487?\n\n"
    "Program zostanie zamkni\xEAty. Plik ustawie\xF1 i pliki rejestracji pozostan\xB9 na dysku:\n";
const char kStopStartingWithWindows[] =
    "\n\nProgram jest uruchamiany razem z systemem Windows. Czy wy\xB3\xB9" "czy\xE6 to teraz?";
const char kUninstallerFailed[] = "Nie mo\xBFna uruchomi\xE6 deinstalatora programu QM487.";

}  // namespace

CMainDialog::CMainDialog(const MainWindowStart& start, CWnd* pParent)
    : CDialog(IDD_QM487_DIALOG, pParent),
      m_bPopupOpen(FALSE),
      m_bShowPromotion(TRUE),
      m_bBlinkPhase(FALSE),
      m_nLastChannel(0),
      m_bLinkUp(FALSE),
      m_bLayoutLocked(TRUE),
      m_nStatusHeight(0),
      m_hIcon(LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_pSettings(nullptr),
      m_start(start),
      m_alarmHost(*this),
      m_alarms(m_alarmHost, m_channels),
      m_lineHost(*this),
      m_lineAssembly(m_lineHost),
      m_databaseHost(*this),
      m_database(m_databaseHost) {
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
        afx::OnMessage<WM_HELP, &CMainDialog::OnHelpInfo>(),
        afx::OnCommand<ID_CLOSE_PROGRAM, &CMainDialog::OnCloseProgram>(),
        afx::OnCommand<ID_RUN_CHART_VIEWER, &CMainDialog::OnRunChartViewer>(),
        afx::OnMessage<WM_PORT_CHAR, &CMainDialog::OnPortChar>(),
        afx::OnMessage<WM_PORT_GONE, &CMainDialog::OnPortGone>(),
        afx::OnMessage<WM_DDE_ADVISE_STARTED, &CMainDialog::OnDdeAdviseStarted>(),
        afx::OnCommand<ID_UNINSTALL, &CMainDialog::OnUninstall>(),
        afx::OnCommand<ID_ABOUT, &CMainDialog::OnAbout>(),
        afx::OnCommand<ID_COLOURS, &CMainDialog::OnColours>(),
        afx::OnCommand<ID_FONTS, &CMainDialog::OnFonts>(),
        afx::OnCommand<ID_PROMOTION, &CMainDialog::OnPromotion>(),
        afx::OnCommand<ID_EXTRA_SETTINGS, &CMainDialog::OnExtraSettings>(),
        afx::OnCommand<ID_ALARMS, &CMainDialog::OnAlarms>(),
        afx::OnCommand<ID_ACKNOWLEDGE_ALARMS, &CMainDialog::OnAcknowledgeAlarms>(),
        afx::OnLButtonDown<&CMainDialog::OnLButtonDown>(),
        afx::OnMessage<WM_ALARM_LOG_NOTICE, &CMainDialog::OnAlarmLogNotice>(),
        afx::OnCommand<ID_DATABASE, &CMainDialog::OnDatabase>(),
        afx::OnMessage<WM_DATABASE_STATE, &CMainDialog::OnDatabaseStateChanged>(),
        afx::OnCommand<ID_MQTT, &CMainDialog::OnMqtt>(),
        afx::OnMessage<WM_MQTT_STATE, &CMainDialog::OnMqttStateChanged>(),
        afx::OnMessage<WM_THREAD_FAILED, &CMainDialog::OnThreadFailed>(),
        afx::OnCommand<ID_NEW_INSTRUMENT, &CMainDialog::OnNewInstrument>(),
        afx::OnMessage<WM_ENDSESSION, &CMainDialog::OnEndSession>(),
    };
    static const AfxMsgMap map = {CDialog::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

void CMainDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int i = 0; i < 8; ++i)
        DDX_Control(pDX, IDC_TEMP1 + i, m_fields[i]);
    DDX_Control(pDX, IDC_TEMP0, m_fields[8]);
    DDX_Control(pDX, IDC_STATUS, m_editStatus);
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

    RECT rcStatus;
    ::GetWindowRect(m_editStatus, &rcStatus);
    m_nStatusHeight = rcStatus.bottom - rcStatus.top;

    for (int i = 0; i < 9; ++i) {
        const int nQuantity = m_channels[ChannelOfField(i)].nQuantity;
        m_fields[i].SetQuantity(nQuantity, nQuantity, TRUE);
        char szLabel[32];
        std::snprintf(szLabel, sizeof szLabel, i < 8 ? "Temperatura %d" : "Temperatura", i + 1);
        m_fields[i].m_strLabel = szLabel;
    }
    for (CReadingView& field : m_fields)
        field.m_fontValue.CreateFontIndirect(&field.m_lfValue);

    m_bLayoutLocked = FALSE;
    m_placement.PlaceOnScreen();
    const RECT& rc = m_placement.Rect();
    SetWindowPos(m_hWnd, HWND_TOP, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, 0);

    ShowProfile();

    ApplyReading(FALSE);

    m_placement.ToggleTopmost();
    OnAlwaysOnTop();

    m_dde.Attach();
    m_database.Start();

    m_recorder.ScheduleStart();
    SetTimer(kBlinkTimerId, 500);
    if (m_bShowPromotion && !m_start.bStartedWithWindows)
        SetTimer(kPromotionTimerId, 100);
    return TRUE;
}

// Started with Windows, nobody may be at the screen and a USB adapter may
// not be there yet: the port is retried as after an unplug, silently.
void CMainDialog::OpenPortAtStart() {
    const int nPort = m_port.Number();
    if (nPort > 0 && m_port.Open(nPort))
        return;
    if (m_start.bStartedWithWindows) {
        if (nPort > 0)
            m_port.ReopenLater();
        return;
    }
    if (nPort > 0) {
        char szText[64];
        std::snprintf(szText, sizeof szText, kCannotOpenPort, nPort);
        AfxMessageBox(szText, MB_OK);
    }
    OnSerialPort();
}

void CMainDialog::OnSerialPort() {
    if (!IsWindowVisible(m_hWnd)) {
        SetTimer(kPortDialogTimerId, 500);
        return;
    }
    for (;;) {
        const int nChosen = ChoosePort();
        // A port whose device has gone counts as not open: choosing it reopens it.
        const int nOpen = m_port.IsGone() ? 0 : m_port.DriverNumber();
        if (nChosen == nOpen || nChosen <= 0)
            return;
        if (m_port.Choose(nChosen)) {
            SaveSettingsNow();
            return;
        }
        char szText[64];
        std::snprintf(szText, sizeof szText, kCannotOpenPort, nChosen);
        AfxMessageBox(szText, MB_OK);
    }
}

void CMainDialog::OnSize(UINT nType, int cx, int cy) {
    Default();
    m_placement.NoteSize(nType, cx, cy);
    if (m_bLayoutLocked)
        return;
    if (nType == SIZE_RESTORED)
        m_placement.TakeWindowRect(m_hWnd);

    const MainLayout layout =
        ComputeMainLayout(cx, cy, ClampLayoutGap(GetSystemMetrics(SM_CXDLGFRAME)), m_nStatusHeight);
    m_editStatus.MoveWindow(layout.status.x, layout.status.y, layout.status.cx, layout.status.cy);
    for (int index : kLayoutMoveOrder) {
        const LayoutRect& r = layout.fields[index];
        m_fields[index].MoveWindow(r.x, r.y, r.cx, r.cy, TRUE);
        m_fields[index].RedrawNow();
    }
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
        m_lineAssembly.OnWatchdogTimer();
        break;
    case CRecorder::kStartTimerId:
        m_recorder.OnStartTimer();
        break;
    case kBlinkTimerId:
        Blink();
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
    case kPromotionTimerId:
        KillTimer(kPromotionTimerId);
        m_bPopupOpen = TRUE;
        ShowStartupPromotion();
        m_bPopupOpen = FALSE;
        break;
    default:
        break;
    }
    Default();
}

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

void CMainDialog::OnRunChartViewer() {
    // From the program's own folder by its full path: a Kreslo.exe in the
    // current folder is not ours. Kreslo alone opens the default profile's
    // log; another profile names its own.
    const std::wstring viewer = ProgramFolderPath(L"Kreslo.exe");
    const std::string& strLog = m_recorder.Settings().strBinaryPath;
    const std::wstring args =
        m_start.strProfile.empty() || strLog.empty() ? std::wstring() : L"\"" + afx::Widen1250(strLog) + L"\"";
    if (viewer.empty() || !native_file::IsFile(viewer) ||
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", viewer.c_str(), args.empty() ? nullptr : args.c_str(),
                                                nullptr, SW_SHOW)) <= 32)
        AfxMessageBox(kChartViewerMissing, MB_OK);
}

void CMainDialog::OnUninstall() {
    const CWinApp* pApp = AfxGetApp();
    const InstalledCopy copy = FindInstalledCopy(pApp->m_wstrProgramPath);
    if (!copy.bInstalled) {
        // Its files go by hand; the values that would start them go once
        // the user says so.
        const std::wstring text =
            afx::Widen1250(kUninstallText) + pApp->m_wstrProgramPath + L"\n" + m_start.strSettingsPath;
        if (!HasStartWithWindows(pApp->m_wstrProgramPath)) {
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (AfxMessageBox(text + afx::Widen1250(kStopStartingWithWindows), MB_YESNO | MB_ICONQUESTION) == IDYES)
            RemoveStartWithWindows(pApp->m_wstrProgramPath);
        return;
    }
    if (AfxMessageBox(afx::Widen1250(kUninstallQuestion) + m_start.strSettingsPath, MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    // Without a recorded product code the system's list of programs does it.
    const bool bByCode = !copy.strProductCode.empty();
    const std::wstring program = SystemFolderPath(bByCode ? L"msiexec.exe" : L"control.exe");
    const std::wstring arguments = bByCode ? L"/x " + afx::Widen1250(copy.strProductCode) : L"appwiz.cpl";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(GetSafeHwnd(), L"open", program.c_str(), arguments.c_str(), nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        AfxMessageBox(kUninstallerFailed, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The Run values stay until the uninstall is under way: the package
    // runs this program with /removeautostart then (packaging/qm487.wxs),
    // so an uninstall cancelled in its own window keeps them.
    OnOK();  // its files must not be in use while they are removed
}

LRESULT CMainDialog::OnPortGone(WPARAM, LPARAM) {
    m_port.ReopenLater();
    return 0;
}

LRESULT CMainDialog::OnDdeAdviseStarted(WPARAM wParam, LPARAM lParam) {
    m_dde.OnAdviseStarted(static_cast<int>(wParam), static_cast<int>(lParam));
    return 0;
}

// Nobody may be at the screen of a copy started with Windows.
void CMainDialog::DdeHost::Tell(const std::string& text, UINT type) {
    if (!m_dlg.m_start.bStartedWithWindows)
        AfxMessageBox(text, type);
}

LRESULT CMainDialog::OnPortChar(WPARAM wParam, LPARAM) {
    m_lineAssembly.OnPortChar(static_cast<unsigned char>(wParam));
    return 0;
}
