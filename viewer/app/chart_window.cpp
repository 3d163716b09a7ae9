#include "viewer/app/chart_window.h"
#include "common/field_index.h"

#include "common/civil_time.h"
#include "installation/settings_path.h"
#include "recording/file_period.h"
#include "config/ini_file.h"
#include "config/settings.h"
#include "framework/file_dialog.h"
#include "framework/handles.h"
#include "framework/input_map.h"
#include "framework/text.h"
#include "framework/win_app.h"
#include "ui/buffered_dc.h"
#include "viewer/chart_export.h"
#include "viewer/host_zone.h"
#include "viewer/log_series.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

const wchar_t kKresloWindowClass[] = L"QM487Kreslo";

namespace {

const char kTitle[] = "Kreslo";
const char kFilterKvf[] = "Rejestracja binarna (*.kvf)|*.kvf|Wszystkie pliki (*.*)|*.*||";
const int kStatusHeight = 22;
const UINT kFollowMs = 500;
// Follow ticks without new bytes between looks for a series' next file.
const unsigned kSeriesLookTicks = 20;
// Appended bytes read per follow tick: a recorder adds a few hundred bytes a
// second, so this only bounds a file that grew by a lot at once.
const std::uint64_t kFollowBytes = 16u << 20;
// "Czas → Stałe przesunięcie": UTC first, then the offsets in use around the
// world, in minutes east of UTC.
const int kFixedZoneMinutes[] = {0,    -720, -660, -600, -540, -480, -420, -360, -300, -240, -210, -180,
                                 -120, -60,  60,   120,  180,  210,  240,  270,  300,  330,  345,  360,
                                 390,  420,  480,  540,  570,  600,  660,  720,  780,  840};
static_assert(ID_KRESLO_ZONE_FIXED + std::size(kFixedZoneMinutes) - 1 <= ID_KRESLO_ZONE_LAST, "menu ids");

std::string Number(std::uint64_t n) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n));
    return text;
}

// Writes all of text to the file; FALSE on any failure.
BOOL WriteAll(HANDLE h, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        const DWORD n = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(h, text.data() + done, n, &wrote, nullptr) || wrote == 0)
            return FALSE;
        done += wrote;
    }
    return TRUE;
}

}  // namespace

KresloSettings LoadKresloSettings(const std::wstring& strProgramPath) {
    ProgramSettings ps = ConstructorSettings();
    ProgramSettings defaults = ConstructorSettings();
    CIniFile none;
    LoadSettings(none, defaults);  // every key at its default
    CIniFile ini;
    // Read only: the main program owns the file. Without one every key
    // reads as its default.
    ini.Load(SettingsFilePath(strProgramPath));
    LoadSettings(ini, ps);
    // The fields' default text colours are nine shades of dark brown that no
    // one could tell apart as lines; a channel whose colour was never chosen
    // gets one of a set of clearly different colours instead.
    static const COLORREF kDistinct[9] = {RGB(40, 40, 40),   RGB(31, 119, 180), RGB(214, 39, 40),
                                          RGB(44, 160, 44),  RGB(255, 127, 14), RGB(148, 103, 189),
                                          RGB(140, 86, 75),  RGB(227, 119, 194), RGB(23, 190, 207)};
    KresloSettings s;
    for (int c = 0; c <= 8; ++c) {
        const int field = FieldOfChannel(c);
        const COLORREF chosen = ps.fields[field].crText;
        s.crChannel[c] = chosen == defaults.fields[field].crText ? kDistinct[c] : chosen;
    }
    s.nInterval = ps.recording.nInterval > 0 ? ps.recording.nInterval : 60;
    // With a new file each day, week or month, the one being recorded now.
    s.strBinaryPath = ps.recording.strBinaryPath;
    if (!s.strBinaryPath.empty() && FileSplitInForce(ps.recording.nFileSplit) != kSplitNever) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const RecordTime t = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        s.strBinaryPath = PeriodFilePath(s.strBinaryPath, PeriodTag(ps.recording.nFileSplit, t));
    }
    std::copy(std::begin(ps.alarm.limits), std::end(ps.alarm.limits), s.limits);
    return s;
}

CChartWindow::CChartWindow(const KresloSettings& settings)
    : m_settings(settings), m_zone(), m_hZoneMenu(nullptr), m_bLoadShown(false), m_bAbort(false),
      m_nLoaderThreads(0), m_dwLoadError(0), m_pieceSlots(nullptr), m_bPieceFailed(false), m_fitted(),
      m_nLastLoadPaint(0), m_nProgress(0), m_lastResult(CChartDocument::kRead),
      m_view{0, 1, 0, 1, false}, m_bHidden(), m_hStatus(nullptr), m_bChartDirty(true), m_cxClient(0), m_cyClient(0),
      m_drag(kNone), m_ptDown(), m_ptNow(), m_viewAtDown(), m_bMoved(false), m_bHover(false), m_tHover(0),
      m_bCursorA(false), m_bCursorB(false), m_tA(0), m_tB(0), m_stats(), m_statsA(0), m_statsB(-1), m_statsSize(0) {}

CChartWindow::~CChartWindow() {
    // Destroyed here, while the whole object still handles its last messages.
    if (m_hWnd != nullptr)
        DestroyWindow();
    StopLoading();
}

const AfxMsgMap* CChartWindow::GetThisMessageMap() {
    static const AfxMsgEntry entries[] = {
        afx::OnCreate<&CChartWindow::OnCreate>(),
        afx::OnDestroy<&CChartWindow::OnDestroy>(),
        afx::OnSize<&CChartWindow::OnSize>(),
        afx::OnPaint<&CChartWindow::OnPaint>(),
        afx::OnMessage<WM_ERASEBKGND, &CChartWindow::OnEraseBkgnd>(),
        afx::OnTimer<&CChartWindow::OnTimer>(),
        afx::OnMessage<WM_KRESLO_PROGRESS, &CChartWindow::OnProgress>(),
        afx::OnMessage<WM_KRESLO_LOADED, &CChartWindow::OnLoaded>(),
        afx::OnMessage<WM_KRESLO_PIECE, &CChartWindow::OnPiece>(),
        afx::OnMessage<WM_KRESLO_SUMMARY, &CChartWindow::OnSummary>(),
        afx::OnCommand<ID_KRESLO_OPEN, &CChartWindow::OnFileOpen>(),
        afx::OnCommand<ID_KRESLO_EXPORT_CSV, &CChartWindow::OnExportCsv>(),
        afx::OnCommand<ID_KRESLO_EXPORT_PNG, &CChartWindow::OnExportPng>(),
        afx::OnCommand<ID_KRESLO_EXIT, &CChartWindow::OnExit>(),
        afx::OnCommandRange<ID_KRESLO_ZONE_LOCAL, ID_KRESLO_ZONE_LAST, &CChartWindow::OnZone>(),
        afx::OnMouse<WM_LBUTTONDOWN, &CChartWindow::OnLButtonDown>(),
        afx::OnMouse<WM_LBUTTONUP, &CChartWindow::OnLButtonUp>(),
        afx::OnMouse<WM_RBUTTONDOWN, &CChartWindow::OnRButtonDown>(),
        afx::OnMouse<WM_RBUTTONUP, &CChartWindow::OnRButtonUp>(),
        afx::OnMouse<WM_MOUSEMOVE, &CChartWindow::OnMouseMove>(),
        afx::OnMessage<WM_MOUSELEAVE, &CChartWindow::OnMouseLeave>(),
        afx::OnMouseWheel<&CChartWindow::OnMouseWheel>(),
        afx::OnKeyDown<&CChartWindow::OnKeyDown>(),
        afx::OnMessage<WM_GETDLGCODE, &CChartWindow::OnGetDlgCode>(),
    };
    static const AfxMsgMap map = {CWnd::GetThisMessageMap(), entries, std::size(entries)};
    return &map;
}

BOOL CChartWindow::Create() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;  // the object takes over at creation
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
    wc.hIcon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(1));
    wc.lpszClassName = kKresloWindowClass;
    RegisterClassExW(&wc);

    HMENU hFile = CreatePopupMenu();
    AppendMenuW(hFile, MF_STRING, ID_KRESLO_OPEN, afx::Widen1250("&Otw\xF3rz...\tCtrl+O").c_str());
    AppendMenuW(hFile, MF_STRING, ID_KRESLO_EXPORT_CSV, afx::Widen1250("Eksportuj &CSV...").c_str());
    AppendMenuW(hFile, MF_STRING, ID_KRESLO_EXPORT_PNG, afx::Widen1250("Eksportuj &PNG...").c_str());
    AppendMenuW(hFile, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(hFile, MF_STRING, ID_KRESLO_EXIT, afx::Widen1250("&Zako\xF1" "cz").c_str());
    m_hZoneMenu = CreatePopupMenu();
    AppendMenuW(m_hZoneMenu, MF_STRING, ID_KRESLO_ZONE_LOCAL, afx::Widen1250("Strefa czasowa tego &komputera").c_str());
    AppendMenuW(m_hZoneMenu, MF_STRING, ID_KRESLO_ZONE_FIXED, L"&UTC");
    HMENU hOffsets = CreatePopupMenu();
    for (std::size_t k = 1; k < std::size(kFixedZoneMinutes); ++k)
        AppendMenuW(hOffsets, MF_STRING, ID_KRESLO_ZONE_FIXED + k,
                    afx::Widen1250(FormatUtcOffset(kFixedZoneMinutes[k] * 60)).c_str());
    AppendMenuW(m_hZoneMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hOffsets),
                afx::Widen1250("Sta\xB3" "e &przesuni\xEA" "cie").c_str());
    HMENU hMenu = CreateMenu();
    AppendMenuW(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hFile), L"&Plik");
    AppendMenuW(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(m_hZoneMenu), L"&Czas");
    // The window owns its menu and destroys it with itself.
    if (!CreateEx(0, kKresloWindowClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                  CW_USEDEFAULT, 960, 600, nullptr, hMenu)) {
        DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

int CChartWindow::OnCreate(LPCREATESTRUCTW) {
    Default();
    m_hStatus = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_SUNKEN, 0, 0,
                                10, kStatusHeight, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_KRESLO_STATUS)),
                                AfxGetInstanceHandle(), nullptr);
    SendMessageW(m_hStatus, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SetTimer(TIMER_KRESLO_FOLLOW, kFollowMs);
    CheckZoneMenu();
    UpdateStatus();
    return 0;
}

void CChartWindow::OnDestroy() {
    KillTimer(TIMER_KRESLO_FOLLOW);
    StopLoading();
    m_chartLayer.Release();
    m_backBuffer.Release();
    if (AfxGetMainWnd() == this)
        PostQuitMessage(0);
}


void CChartWindow::OnSize(UINT, int cx, int cy) {
    m_cxClient = cx;
    m_cyClient = cy;
    if (m_hStatus != nullptr)
        ::MoveWindow(m_hStatus, 0, cy - kStatusHeight, cx, kStatusHeight, TRUE);
    Invalidate();
}

void CChartWindow::Invalidate() {
    m_bChartDirty = true;
    InvalidateOverlay();
}

void CChartWindow::InvalidateOverlay() {
    const RECT rc = ChartRect();
    InvalidateRect(m_hWnd, &rc, FALSE);
}

void CChartWindow::OnPaint() {
    CPaintDC dc(this);
    const RECT rc = ChartRect();  // its top left corner is the client area's
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    bool made = false;
    if (!m_chartLayer.Ensure(dc, cx, cy, &made) || !m_backBuffer.Ensure(dc, cx, cy)) {
        // No memory for the layers: a buffer for this paint alone.
        m_chartLayer.Release();
        m_backBuffer.Release();
        m_bChartDirty = true;
        CBufferedDC buffered(&dc, &rc);
        Paint(buffered, rc);
        return;
    }
    if (made || m_bChartDirty) {
        PaintChart(m_chartLayer, rc);
        m_bChartDirty = false;
    }
    BitBlt(m_backBuffer, 0, 0, cx, cy, m_chartLayer, 0, 0, SRCCOPY);
    PaintOverlay(m_backBuffer, rc);
    RECT copy;
    if (IntersectRect(&copy, &dc.m_ps.rcPaint, &rc))
        BitBlt(dc, copy.left, copy.top, copy.right - copy.left, copy.bottom - copy.top, m_backBuffer, copy.left,
               copy.top, SRCCOPY);
}

// ---- following ----

void CChartWindow::OnTimer(UINT_PTR id) {
    if (id != TIMER_KRESLO_FOLLOW || !m_pDoc || m_loader.IsStarted())
        return;
    const ChartSamples& data = m_pDoc->Data();
    const bool hadData = data.Size() > 0;
    const double previousEnd = static_cast<double>(data.LastTime());
    const std::uint64_t before = m_pDoc->Records();
    const std::uint64_t damagedBefore = m_pDoc->Damaged();
    CChartDocument::Result r;
    try {
        r = m_pDoc->ReadMore(kFollowBytes, nullptr);
    } catch (const std::bad_alloc&) {
        // What was read stays shown; the file is not followed further.
        KillTimer(TIMER_KRESLO_FOLLOW);
        AfxMessageBox("Za ma\xB3o pami\xEA" "ci, by wczyta\xE6 dalsze rekordy pliku " + FileTitle1250(m_pDoc->Path()) + ".",
                      MB_ICONEXCLAMATION);
        return;
    }
    if (r == CChartDocument::kShrunk) {
        OpenFiles(m_pDoc->Paths());  // emptied and recorded afresh: read it anew
        return;
    }
    // A file a day, week or month: after midnight the recorder writes the
    // next one. Looked for every few seconds while the file followed is still.
    if (r == CChartDocument::kNothingNew && ++m_nStillTicks % kSeriesLookTicks == 0 &&
        ParseSeriesName(FileTitle1250(m_pDoc->Path())).kind != SeriesName::kNone) {
        const std::vector<std::wstring> series = SeriesOfFile(m_pDoc->Path());
        const auto at = std::find(series.begin(), series.end(), m_pDoc->Path());
        if (at != series.end() && at + 1 != series.end()) {
            m_pDoc->FollowNext(*(at + 1));
            UpdateTitle();
            try {
                r = m_pDoc->ReadMore(kFollowBytes, nullptr);
            } catch (const std::bad_alloc&) {
                KillTimer(TIMER_KRESLO_FOLLOW);  // what was read stays shown
                return;
            }
        }
    }
    if (m_pDoc->Records() == before && m_pDoc->Damaged() == damagedBefore)
        return;
    if (!hadData)
        FitAll();
    else if (FollowLiveEnd(m_view, previousEnd, static_cast<double>(data.LastTime())) && !m_view.bManualValues)
        FitValuesToView();
    else if (!m_view.bManualValues)
        FitValuesToView();
    UpdateStatus();
    Invalidate();
}

void CChartWindow::FitAll() {
    if (!m_pDoc || m_pDoc->Data().Size() == 0)
        return;
    m_view.FitAll(static_cast<double>(m_pDoc->Data().FirstTime()), static_cast<double>(m_pDoc->Data().LastTime()));
    FitValuesToView();
    m_fitted = m_view;
}

void CChartWindow::FitValuesToView() {
    if (!m_pDoc)
        return;
    const ChartSamples& data = m_pDoc->Data();
    const std::size_t b = data.LowerBound(m_view.t0), e = data.LowerBound(m_view.t1);
    double lo = 0, hi = -1;
    for (int c = 0; c < kKvfChannels; ++c) {
        if (m_bHidden[c])
            continue;
        const ChartColumn s = data.Summary(c, b, e);
        if (s.Empty())
            continue;
        if (hi < lo) {
            lo = s.minimum;
            hi = s.maximum;
        }
        lo = std::min<double>(lo, s.minimum);
        hi = std::max<double>(hi, s.maximum);
    }
    if (hi >= lo)
        m_view.FitValues(lo, hi);
}

void CChartWindow::UpdateTitle() {
    const CChartDocument* doc = m_loader.IsStarted() ? LoadingDocument() : m_pDoc.get();
    if (doc == nullptr)
        doc = m_pDoc.get();
    std::string title = kTitle;
    if (doc != nullptr)
        title = doc->Title1250() + " - " + title;
    SetWindowText(title);
}

void CChartWindow::UpdateStatus() {
    std::string text;
    if (const CChartDocument* loading = LoadingDocument()) {
        char pct[32];
        std::snprintf(pct, sizeof pct, "%d%%", m_nProgress / 10);
        text = "Wczytywanie pliku " + loading->Title1250() + ": " + pct;
    } else if (m_pDoc) {
        const ChartSamples& data = m_pDoc->Data();
        text = "Rekord\xF3w: " + Number(m_pDoc->Records());
        const KvfTimeline& timeline = m_pDoc->Timeline();
        // Offsets where the span has two, or the log is read with one of the user's choice.
        const bool zones = !m_zone.bLocal || timeline.OffsetAt(data.FirstTime()) != timeline.OffsetAt(data.LastTime());
        if (data.Size() > 0)
            text += ", od " + TimeText(static_cast<double>(data.FirstTime()), zones) + " do " +
                    TimeText(static_cast<double>(data.LastTime()), zones);
        text += ", interwa\xB3 " + FormatDuration(data.Interval(m_settings.nInterval)) + ".";
        const std::vector<ClockStep>& steps = timeline.Steps();
        if (steps.size() == 1)
            text += " Zegar cofni\xEAty o " + FormatDuration(steps[0].back) + " o " +
                    FormatCivilSeconds(steps[0].localBefore) + ".";
        else if (steps.size() > 1)
            text += " Zegar cofni\xEAty " + Number(steps.size()) + " razy, pierwszy raz o " +
                    FormatDuration(steps[0].back) + " o " + FormatCivilSeconds(steps[0].localBefore) + ".";
        std::uint32_t before = 0, later = 0;
        const std::size_t overlaps = m_pDoc->Data().Overlaps(&before, &later);
        if (overlaps > 0 && later < m_pDoc->Paths().size())
            text += " Pliki nak\xB3" "adaj\xB9 si\xEA w czasie: " + FileTitle1250(m_pDoc->Paths()[later]) +
                    " zaczyna si\xEA przed ko\xF1" "cem " + FileTitle1250(m_pDoc->Paths()[before]) +
                    (overlaps > 1 ? " (i " + Number(overlaps - 1) + " razy jeszcze)." : ".");
        if (m_pDoc->Damaged() > 0)
            text += " Plik uszkodzony: pomini\xEA" "to rekord\xF3w: " + Number(m_pDoc->Damaged()) + ".";
    } else if (m_lastResult == CChartDocument::kOpenFailed || m_lastResult == CChartDocument::kForeign ||
               m_lastResult == CChartDocument::kNoMemory) {
        text = "Nie otwarto pliku. Plik \x96 Otw\xF3rz... wybiera plik rejestracji binarnej (.kvf).";
    } else {
        text = "Plik \x96 Otw\xF3rz... wybiera plik rejestracji binarnej (.kvf).";
    }
    if (m_hStatus != nullptr)
        SetWindowTextW(m_hStatus, afx::Widen1250(" " + text).c_str());
}

// ---- commands ----

// Several files chosen are one log in time order; one file of a series (a
// file a day, week or month) offers the whole series.
BOOL CChartWindow::ChooseAndOpen() {
    CFileDialog dlg(TRUE, "kvf", "", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT, kFilterKvf, this);
    dlg.m_strTitle = "Otw\xF3rz plik rejestracji binarnej";
    if (dlg.DoModal() != IDOK)
        return FALSE;
    std::vector<std::wstring> paths = dlg.GetWidePathNames();
    if (paths.size() == 1) {
        std::vector<std::wstring> series = SeriesOfFile(paths[0]);
        if (series.size() > 1 &&
            AfxMessageBox("Plik " + FileTitle1250(paths[0]) + " nale\xBFy do serii plik\xF3w " +
                              FilesTitle1250(series) + ".\r\nOtworzy\xE6 ca\xB3\xB9 seri\xEA?",
                          MB_ICONQUESTION | MB_YESNO) == IDYES)
            paths.swap(series);
    } else {
        SortSeries(paths);
    }
    OpenFiles(paths);
    return TRUE;
}

void CChartWindow::OnFileOpen() { ChooseAndOpen(); }

void CChartWindow::OnExit() { DestroyWindow(); }

void CChartWindow::OnZone(UINT id) {
    ZoneChoice zone;
    if (id >= ID_KRESLO_ZONE_FIXED && id - ID_KRESLO_ZONE_FIXED < std::size(kFixedZoneMinutes)) {
        zone.bLocal = false;
        zone.nOffset = kFixedZoneMinutes[id - ID_KRESLO_ZONE_FIXED] * 60;
    }
    SetZone(zone);
}

void CChartWindow::SetZone(const ZoneChoice& zone) {
    if (zone == m_zone)
        return;
    m_zone = zone;
    CheckZoneMenu();
    if (m_pDoc || m_pLoading)
        OpenFiles(m_pDoc ? m_pDoc->Paths() : m_loadPaths);
}

void CChartWindow::CheckZoneMenu() {
    UINT checked = ID_KRESLO_ZONE_LOCAL;
    for (std::size_t k = 0; !m_zone.bLocal && k < std::size(kFixedZoneMinutes); ++k)
        if (kFixedZoneMinutes[k] * 60 == m_zone.nOffset)
            checked = static_cast<UINT>(ID_KRESLO_ZONE_FIXED + k);
    for (UINT id = ID_KRESLO_ZONE_LOCAL; id <= ID_KRESLO_ZONE_LAST; ++id)
        CheckMenuItem(m_hZoneMenu, id, MF_BYCOMMAND | (id == checked ? MF_CHECKED : MF_UNCHECKED));
}

void CChartWindow::OnExportCsv() {
    if (!m_pDoc || m_pDoc->Data().Size() == 0) {
        AfxMessageBox("Brak danych do eksportu.", MB_ICONINFORMATION);
        return;
    }
    CFileDialog dlg(FALSE, "csv", "", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                    "Plik CSV (*.csv)|*.csv|"
                    "Plik CSV, przecinek dziesi\xEA" "tny (\x9Crednik mi\xEA" "dzy kolumnami) (*.csv)|*.csv|"
                    "Wszystkie pliki (*.*)|*.*||",
                    this);
    dlg.m_strTitle = "Eksportuj widoczny zakres do CSV";
    if (dlg.DoModal() != IDOK)
        return;
    HCURSOR hOld = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    // The values exactly as stored, or with a decimal comma for a
    // spreadsheet that reads numbers so.
    CsvFormat format;
    for (int c = 0; c < kKvfChannels; ++c)
        format.strLabel[c] = LogChannelLabel(m_pDoc->Names(), c);
    if (dlg.m_ofn.nFilterIndex == 2) {
        format.separator = ';';
        format.bDecimalComma = true;
    }
    std::uint64_t rows = 0;
    const bool ok = m_pDoc->ExportCsv(m_view.t0, m_view.t1, format, dlg.GetWidePathName(), &rows);
    SetCursor(hOld);
    if (!ok)
        AfxMessageBox("Nie mo\xBFna zapisa\xE6 pliku " + dlg.GetPathName() + ".", MB_ICONEXCLAMATION);
    else
        SetWindowTextW(m_hStatus, afx::Widen1250(" Zapisano " + Number(rows) + " rekord\xF3w do " +
                                                 dlg.GetPathName() + ".")
                                      .c_str());
}

void CChartWindow::OnExportPng() {
    CFileDialog dlg(FALSE, "png", "", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                    "Obraz PNG (*.png)|*.png|Wszystkie pliki (*.*)|*.*||", this);
    dlg.m_strTitle = "Eksportuj wykres do PNG";
    if (dlg.DoModal() != IDOK)
        return;
    const RECT rc = ChartRect();
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    BOOL ok = w > 0 && h > 0;
    std::vector<std::uint32_t> pixels(ok ? static_cast<std::size_t>(w) * h : 0);
    if (ok) {
        CDC mem;
        CBitmap bitmap;
        {
            CClientDC screen(this);
            ok =
                mem.CreateCompatibleDC(screen.GetSafeHdc()) && bitmap.CreateCompatibleBitmap(screen.GetSafeHdc(), w, h);
        }
        if (ok) {
            {
                CSelection sel(mem, bitmap);
                SetWindowOrgEx(mem, rc.left, rc.top, nullptr);
                Paint(mem, rc);
            }
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof bi.bmiHeader;
            bi.bmiHeader.biWidth = w;
            bi.bmiHeader.biHeight = -h;  // top row first
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            bi.bmiHeader.biCompression = BI_RGB;
            ok = GetDIBits(mem, bitmap, 0, static_cast<UINT>(h), pixels.data(), &bi, DIB_RGB_COLORS) == h;
        }
    }
    if (ok) {
        for (std::uint32_t& p : pixels)
            p &= 0xFFFFFF;  // BGRA in memory reads as 0x00RRGGBB
        CHandle out(CreateFileW(dlg.GetWidePathName().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = out.IsValid() && WriteAll(out.Get(), EncodePng(w, h, pixels.data()));
    }
    if (!ok)
        AfxMessageBox("Nie mo\xBFna zapisa\xE6 pliku " + dlg.GetPathName() + ".", MB_ICONEXCLAMATION);
}
