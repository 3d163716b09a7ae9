// Kreslo's main window: the chart of one binary log with its legend, axes,
// cursors and range statistics, the "Plik" menu, and a status line.
#pragma once

#include "framework/app_messages.h"
#include "framework/memory_bitmap.h"
#include "framework/worker_thread.h"
#include "framework/wnd.h"
#include "alarms/channel_alarm.h"
#include "viewer/app/chart_document.h"
#include "viewer/chart_view.h"
#include "viewer/time_zone.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

enum {
    ID_KRESLO_OPEN = 40001,
    ID_KRESLO_EXPORT_CSV = 40002,
    ID_KRESLO_EXPORT_PNG = 40003,
    ID_KRESLO_EXIT = 40004,
    ID_KRESLO_ZONE_LOCAL = 40010,  // "Czas": the log read with this computer's zone
    ID_KRESLO_ZONE_FIXED = 40011,  // ... up to kKresloFixedZones more: UTC and fixed offsets
    ID_KRESLO_ZONE_LAST = 40059,
    IDC_KRESLO_STATUS = 100,  // the status line, a static control (tests read it)
    TIMER_KRESLO_FOLLOW = 1,
};

// The window class name; tests find the window by it.
extern const wchar_t kKresloWindowClass[];

struct KresloSettings {
    COLORREF crChannel[9];  // by channel 0 to 8
    int nInterval;          // recording interval from the INI, seconds
    std::string strBinaryPath;  // FILE_NAME_BIN, Windows-1250
    AlarmLimits limits[9];      // the alarm limits, by channel 0 to 8
};

class CChartWindow : public CWnd {
public:
    explicit CChartWindow(const KresloSettings& settings);
    ~CChartWindow() override;

    BOOL Create();
    // Starts reading the file on worker threads; the chart shows what is
    // read so far from the first piece on.
    void OpenFile(const std::wstring& path);
    // A series' files, in time order, as one log.
    void OpenFiles(const std::vector<std::wstring>& paths);
    // How the log's wall-clock times are read; a file open is read anew.
    void SetZone(const ZoneChoice& zone);
    const ZoneChoice& Zone() const { return m_zone; }
    // The open dialog; FALSE when cancelled.
    BOOL ChooseAndOpen();

    // Everything visible, drawn into hDC over rc (the client area less the status line).
    void Paint(HDC hDC, const RECT& rc);
    // Paint in two layers: the chart itself, and what follows the mouse
    // (the hover cursor's line and the side panel), drawn over it.
    void PaintChart(HDC hDC, const RECT& rc);
    void PaintOverlay(HDC hDC, const RECT& rc);
    const CChartDocument* Document() const { return m_pDoc.get(); }
    // The time the panel shows for the cursor under the mouse (or cursor A); "" without one.
    std::string CursorTime() const;
    bool IsLoading() const { return m_loader.IsStarted() != FALSE; }
    // Threads that parse a file being opened (all processors by default).
    void SetLoaderThreads(int n) { m_nLoaderThreads = n; }
    // Logs this long or longer get a summary beside them once read (tests set less).
    void SetSummaryBytes(std::uint64_t n) { m_nSummaryBytes = n; }
    // For changing the view from outside (tests, the bench): the chart is
    // then drawn again at the next paint.
    ChartView& View() {
        m_bChartDirty = true;
        return m_view;
    }

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

private:
    int OnCreate(LPCREATESTRUCTW pcs);
    void OnDestroy();
    void OnSize(UINT type, int cx, int cy);
    void OnPaint();
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return 1; }
    void OnTimer(UINT_PTR id);
    LRESULT OnProgress(WPARAM wParam, LPARAM);
    LRESULT OnLoaded(WPARAM wParam, LPARAM);
    LRESULT OnPiece(WPARAM, LPARAM lParam);
    LRESULT OnSummary(WPARAM, LPARAM lParam);
    // After a piece or a summary was taken: the chart shows what is read so far.
    void ShowLoading(CChartDocument* doc);
    // The document being read: not shown yet, or shown as m_pDoc.
    CChartDocument* LoadingDocument() const;
    // The view is as FitAll left it (the user has not moved it since).
    bool IsFitted() const;
    void OnFileOpen();
    void OnExportCsv();
    void OnExportPng();
    void OnExit();
    void OnZone(UINT id);
    void CheckZoneMenu();
    // chart_window_input.cpp
    void OnLButtonDown(UINT flags, POINT pt);
    void OnLButtonUp(UINT flags, POINT pt);
    void OnRButtonDown(UINT flags, POINT pt);
    void OnRButtonUp(UINT flags, POINT pt);
    void OnMouseMove(UINT flags, POINT pt);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void OnMouseWheel(UINT flags, short delta, POINT pt);
    void OnKeyDown(UINT key);
    LRESULT OnGetDlgCode(WPARAM, LPARAM) { return DLGC_WANTARROWS; }

    void StopLoading();
    void UpdateStatus();
    void UpdateTitle();
    void FitAll();
    void FitValuesToView();
    void Invalidate();
    // Only the hover cursor or its readout changed: the chart layer is kept.
    void InvalidateOverlay();
    // Plot geometry (chart_window_paint.cpp).
    RECT ChartRect() const;  // client area less the status line
    RECT PlotRect() const;
    double TimeAt(int x) const;
    double ValueAt(int y) const;
    int XOf(double t) const;
    int LegendHit(POINT pt) const;
    // The sample nearest to t, or Size() when there is none.
    std::size_t NearestSample(double t) const;

    void DrawAxes(HDC hDC, const RECT& plot);
    void DrawLines(HDC hDC, const RECT& plot);
    void DrawLimits(HDC hDC, const RECT& plot, int nChannel);
    void DrawCursors(HDC hDC, const RECT& plot);
    void DrawClockSteps(HDC hDC, const RECT& plot);
    // A chart time as the wall clock read it, with its offset where that tells it apart.
    std::string TimeText(double t, bool withZone = false) const;
    void DrawLegend(HDC hDC, const RECT& rc);
    void DrawPanel(HDC hDC, const RECT& panel);

    KresloSettings m_settings;
    ZoneChoice m_zone;
    HMENU m_hZoneMenu;                           // part of the window's menu
    std::unique_ptr<CChartDocument> m_pDoc;      // the chart shown; owned by the GUI thread
    // Being read, until its first samples come: then it is m_pDoc (and
    // m_bLoadShown is set) while the rest comes, until WM_KRESLO_LOADED.
    std::unique_ptr<CChartDocument> m_pLoading;
    bool m_bLoadShown;
    std::atomic<bool> m_bAbort;
    int m_nLoaderThreads;
    std::uint64_t m_nSummaryBytes = 64u << 20;
    std::vector<std::wstring> m_loadPaths;  // the worker's copy
    unsigned m_nStillTicks = 0;              // follow ticks that found nothing new
    std::vector<KvfParallelResult> m_loadFiles;  // written by the worker before WM_KRESLO_LOADED: each file's
    bool m_bLoadRead = false;                    // likewise: a file was read (not all from a summary)
    std::wstring m_strLoadFailed;     // likewise: the file that could not be read
    DWORD m_dwLoadError;
    CHandle m_pieceSlots;            // semaphore: pieces posted and not yet taken, at most kPiecesInFlight
    bool m_bPieceFailed;             // no memory for a piece on this thread
    ChartView m_fitted;              // the view FitAll gave last
    ULONGLONG m_nLastLoadPaint;
    int m_nProgress;  // per mille, while loading
    CChartDocument::Result m_lastResult;

    ChartView m_view;
    bool m_bHidden[9];
    std::vector<RECT> m_legend;  // by channel; hit areas from the last paint
    HWND m_hStatus;
    // Kept between paints, made anew on resize: the chart layer, and the
    // frame composed of it and the overlay that is copied to the screen.
    CMemoryBitmap m_chartLayer, m_backBuffer;
    bool m_bChartDirty;  // the chart layer must be drawn again
    int m_cxClient, m_cyClient;

    // Mouse state.
    enum Drag { kNone, kPan, kBox } m_drag;
    POINT m_ptDown, m_ptNow;
    ChartView m_viewAtDown;
    bool m_bMoved;
    bool m_bHover;      // the mouse is over the plot: its cursor line shows
    double m_tHover;
    bool m_bCursorA, m_bCursorB;
    double m_tA, m_tB;
    // Range statistics between the cursors, for m_statsA..m_statsB over m_statsSize samples.
    ChartStats m_stats[9];
    double m_statsA, m_statsB;
    std::size_t m_statsSize;
    CWorkerThread m_loader;  // last: joined before the members it uses go

    UINT RunLoader();  // the loader thread
    // On the worker: posts a piece to the window, waiting while too many are on their way.
    void HandOver(KvfPiece& piece);
};

// Reads colours, interval and FILE_NAME_BIN from the settings file beside
// the program (or where the main program keeps it); defaults when absent.
KresloSettings LoadKresloSettings(const std::wstring& strProgramPath);
