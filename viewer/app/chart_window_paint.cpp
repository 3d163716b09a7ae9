// Drawing of the chart: legend, axes with their grid, the channels' lines,
// cursors and the side panel with readout and range statistics.
#include "viewer/app/chart_window.h"

#include "instrument/quantity_format.h"
#include "framework/gdi.h"
#include "framework/text.h"

#include <algorithm>
#include <cmath>

namespace {

const int kLegendHeight = 28;
const int kAxisLeft = 62;
const int kAxisBottom = 38;
const int kPanelWidth = 236;
const int kStatusHeight = 22;
const COLORREF kBackground = RGB(255, 255, 255);
const COLORREF kPanel = RGB(244, 245, 247);
const COLORREF kGrid = RGB(228, 230, 234);
const COLORREF kFrame = RGB(150, 155, 165);
const COLORREF kLabel = RGB(60, 64, 72);
const COLORREF kRange = RGB(255, 248, 214);
const COLORREF kCursor = RGB(30, 90, 200);
const COLORREF kClockStep = RGB(220, 110, 0);
// Legend and panel order: channels 1 to 8, then the mean.
const int kOrder[kKvfChannels] = {1, 2, 3, 4, 5, 6, 7, 8, 0};

void Text(HDC hDC, int x, int y, const std::string& text, UINT align, COLORREF cr = kLabel) {
    SetTextColor(hDC, cr);
    SetTextAlign(hDC, align);
    const std::wstring w = afx::Widen1250(text);
    TextOutW(hDC, x, y, w.c_str(), static_cast<int>(w.size()));
}

int TextWidth(HDC hDC, const std::string& text) {
    SIZE size = {};
    const std::wstring w = afx::Widen1250(text);
    GetTextExtentPoint32W(hDC, w.c_str(), static_cast<int>(w.size()), &size);
    return size.cx;
}

void Fill(HDC hDC, const RECT& rc, COLORREF cr) {
    SetBkColor(hDC, cr);
    ExtTextOutW(hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

void Line(HDC hDC, int x0, int y0, int x1, int y1) {
    MoveToEx(hDC, x0, y0, nullptr);
    LineTo(hDC, x1, y1);
}

}  // namespace

RECT CChartWindow::ChartRect() const {
    RECT rc = {0, 0, m_cxClient, std::max(0, m_cyClient - kStatusHeight)};
    return rc;
}

RECT CChartWindow::PlotRect() const {
    const RECT rc = ChartRect();
    const int panel = rc.right - rc.left >= 640 ? kPanelWidth : 0;
    RECT plot = {rc.left + kAxisLeft, rc.top + kLegendHeight + 6, rc.right - panel - 14, rc.bottom - kAxisBottom};
    if (plot.right < plot.left + 10)
        plot.right = plot.left + 10;
    if (plot.bottom < plot.top + 10)
        plot.bottom = plot.top + 10;
    return plot;
}

double CChartWindow::TimeAt(int x) const {
    const RECT p = PlotRect();
    return m_view.t0 + (m_view.t1 - m_view.t0) * (x - p.left) / std::max<LONG>(1, p.right - p.left);
}

double CChartWindow::ValueAt(int y) const {
    const RECT p = PlotRect();
    return m_view.v1 - (m_view.v1 - m_view.v0) * (y - p.top) / std::max<LONG>(1, p.bottom - p.top);
}

int CChartWindow::XOf(double t) const {
    const RECT p = PlotRect();
    const double x = p.left + (t - m_view.t0) * (p.right - p.left) / (m_view.t1 - m_view.t0);
    return static_cast<int>(std::lround(std::max(-1.0e6, std::min(1.0e6, x))));
}

int CChartWindow::LegendHit(POINT pt) const {
    for (std::size_t c = 0; c < m_legend.size(); ++c)
        if (PtInRect(&m_legend[c], pt))
            return static_cast<int>(c);
    return -1;
}

std::size_t CChartWindow::NearestSample(double t) const {
    if (!m_pDoc || m_pDoc->Data().Size() == 0)
        return 0;
    const ChartSamples& data = m_pDoc->Data();
    std::size_t i = data.LowerBound(t);
    if (i == data.Size() || (i > 0 && t - data.Time(i - 1) < data.Time(i) - t))
        --i;
    return i;
}

void CChartWindow::Paint(HDC hDC, const RECT& rc) {
    PaintChart(hDC, rc);
    PaintOverlay(hDC, rc);
}

void CChartWindow::PaintOverlay(HDC hDC, const RECT& rc) {
    SelectObject(hDC, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(hDC, TRANSPARENT);
    const RECT plot = PlotRect();
    if (plot.right < rc.right - 20) {
        RECT panel = {plot.right + 14, rc.top, rc.right, rc.bottom};
        Fill(hDC, panel, kPanel);
        DrawPanel(hDC, panel);
        // A long legend reaches into the panel: its part there again on top.
        const int saved = SaveDC(hDC);
        IntersectClipRect(hDC, panel.left, panel.top, panel.right, panel.bottom);
        DrawLegend(hDC, rc);
        RestoreDC(hDC, saved);
    }
    if (m_bHover && m_drag == kNone && m_pDoc && m_pDoc->Data().Size() > 0) {
        const int x = XOf(m_tHover);
        if (x >= plot.left && x < plot.right) {
            CPen dots(PS_DOT, 1, RGB(90, 90, 90));
            CSelection hover(hDC, dots);
            Line(hDC, x, plot.top, x, plot.bottom);
        }
    }
    if (m_drag == kBox && m_bMoved) {
        CPen dash(PS_DOT, 1, kCursor);
        CSelection boxPen(hDC, dash);
        CSelection hollow(hDC, GetStockObject(NULL_BRUSH));
        Rectangle(hDC, std::min(m_ptDown.x, m_ptNow.x), std::min(m_ptDown.y, m_ptNow.y),
                  std::max(m_ptDown.x, m_ptNow.x), std::max(m_ptDown.y, m_ptNow.y));
    }
}

void CChartWindow::PaintChart(HDC hDC, const RECT& rc) {
    Fill(hDC, rc, kBackground);
    SelectObject(hDC, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(hDC, TRANSPARENT);
    const RECT plot = PlotRect();
    DrawLegend(hDC, rc);
    const bool hasData = m_pDoc && m_pDoc->Data().Size() > 0;
    if (hasData) {
        DrawAxes(hDC, plot);
        DrawCursors(hDC, plot);
        DrawClockSteps(hDC, plot);
        DrawLines(hDC, plot);
    }
    CPen frame(PS_SOLID, 1, kFrame);
    CSelection pen(hDC, frame);
    CSelection brush(hDC, GetStockObject(NULL_BRUSH));
    Rectangle(hDC, plot.left - 1, plot.top - 1, plot.right + 1, plot.bottom + 1);
    const int cx = (plot.left + plot.right) / 2, cy = (plot.top + plot.bottom) / 2;
    const CChartDocument* loading = LoadingDocument();
    if (loading != nullptr && (m_pLoading || !hasData)) {
        char pct[16];
        std::snprintf(pct, sizeof pct, "%d%%", m_nProgress / 10);
        Text(hDC, cx, cy - 8, "Wczytywanie pliku " + FileTitle1250(loading->Path()) + "... " + pct, TA_CENTER);
        RECT bar = {cx - 150, cy + 12, cx + 150, cy + 22};
        Fill(hDC, bar, kGrid);
        bar.right = bar.left + 300 * m_nProgress / 1000;
        Fill(hDC, bar, kCursor);
    } else if (!hasData) {
        Text(hDC, cx, cy - 8, m_pDoc ? "Plik nie zawiera jeszcze \xBF" "adnego rekordu." : "Brak otwartego pliku.",
             TA_CENTER);
    }
}

void CChartWindow::DrawLegend(HDC hDC, const RECT& rc) {
    m_legend.assign(kKvfChannels, RECT{0, 0, 0, 0});
    const std::uint16_t seen = m_pDoc ? m_pDoc->Data().ChannelsSeen() : 0x1FF;
    // The log's names where it has them; the side panel's narrow columns keep
    // the numbers, the swatch's colour tells which is which.
    const LogNames names = m_pDoc ? m_pDoc->Names() : LogNames();
    int x = rc.left + kAxisLeft;
    const int y = rc.top + 6;
    for (int c : kOrder) {
        const std::string name = LogChannelLabel(names, c);
        const int w = 28 + TextWidth(hDC, name);
        RECT entry = {x - 4, y - 3, x + w, y + 19};
        m_legend[c] = entry;
        const bool present = (seen >> c) & 1;
        const bool shown = present && !m_bHidden[c];
        RECT swatch = {x, y + 2, x + 18, y + 14};
        if (shown) {
            Fill(hDC, swatch, m_settings.crChannel[c]);
        } else {
            CPen border(PS_SOLID, 1, present ? m_settings.crChannel[c] : kGrid);
            CSelection pen(hDC, border);
            CSelection brush(hDC, GetStockObject(NULL_BRUSH));
            Rectangle(hDC, swatch.left, swatch.top, swatch.right, swatch.bottom);
        }
        Text(hDC, x + 23, y + 1, name, TA_LEFT | TA_TOP, shown ? kLabel : RGB(170, 172, 178));
        x += w + 12;
    }
}

void CChartWindow::DrawAxes(HDC hDC, const RECT& plot) {
    CPen grid(PS_SOLID, 1, kGrid);
    CSelection pen(hDC, grid);
    const int width = plot.right - plot.left, height = plot.bottom - plot.top;
    for (const ValueTick& tick : ValueTicks(m_view.v0, m_view.v1, height, 36)) {
        const int y = plot.top + static_cast<int>(std::lround((m_view.v1 - tick.v) * height / (m_view.v1 - m_view.v0)));
        Line(hDC, plot.left, y, plot.right, y);
        Text(hDC, plot.left - 6, y - 7, tick.label, TA_RIGHT | TA_TOP);
    }
    for (const TimeTick& tick : TimeTicks(m_view.t0, m_view.t1, width, 92, &m_pDoc->Timeline())) {
        const int x = XOf(tick.t);
        Line(hDC, x, plot.top, x, plot.bottom);
        Line(hDC, x, plot.bottom, x, plot.bottom + 4);
        Text(hDC, x, plot.bottom + 5, tick.label, TA_CENTER | TA_TOP);
        if (!tick.date.empty())
            Text(hDC, x, plot.bottom + 19, tick.date, TA_CENTER | TA_TOP);
    }
    Text(hDC, plot.left - 44, plot.top - 20, "\xB0" "C", TA_LEFT | TA_TOP);
}

void CChartWindow::DrawLines(HDC hDC, const RECT& plot) {
    const ChartSamples& data = m_pDoc->Data();
    const std::int64_t interval = data.Interval(m_settings.nInterval);
    const int saved = SaveDC(hDC);
    // Lines may not cross the axes; clip in device units (the export's DC has another origin).
    POINT corners[2] = {{plot.left, plot.top}, {plot.right, plot.bottom}};
    LPtoDP(hDC, corners, 2);
    HRGN region = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    ExtSelectClipRgn(hDC, region, RGN_AND);
    DeleteObject(region);  // the DC keeps its own copy
    std::vector<POINT> points;
    std::vector<DWORD> counts;
    const int width = plot.right - plot.left;
    const std::vector<ChartColumn> all = data.AllColumns(m_view.t0, m_view.t1, width);
    if (all.empty()) {
        RestoreDC(hDC, saved);
        return;
    }
    for (int k = kKvfChannels - 1; k >= 0; --k) {  // channel 1 on top
        const int c = kOrder[k];
        if (m_bHidden[c] || !((data.ChannelsSeen() >> c) & 1))
            continue;
        DrawLimits(hDC, plot, c);
        const ChartPolyline line = BuildPolyline(data, c, &all[static_cast<std::size_t>(c) * width], width,
                                                 plot.left, plot.top, plot.bottom - plot.top, m_view.v0, m_view.v1,
                                                 interval);
        if (line.counts.empty())
            continue;
        points.resize(line.x.size());
        for (std::size_t i = 0; i < points.size(); ++i)
            points[i] = POINT{line.x[i], line.y[i]};
        counts.assign(line.counts.begin(), line.counts.end());
        CPen pen(PS_SOLID, 1, m_settings.crChannel[c]);
        CSelection sel(hDC, pen);
        PolyPolyline(hDC, points.data(), counts.data(), static_cast<DWORD>(counts.size()));
    }
    RestoreDC(hDC, saved);
}

// The channel's alarm limits as the main program has them: thin dashed
// lines across the plot in the channel's colour, under its line.
void CChartWindow::DrawLimits(HDC hDC, const RECT& plot, int nChannel) {
    const AlarmLimits& limits = m_settings.limits[nChannel];
    if (!limits.IsSet() || !(m_view.v1 > m_view.v0))
        return;
    CPen dashed(PS_DASH, 1, m_settings.crChannel[nChannel]);
    CSelection pen(hDC, dashed);
    const int saved = SetBkMode(hDC, TRANSPARENT);
    const int height = plot.bottom - plot.top;
    for (int i = 0; i < 2; ++i) {
        const bool bHas = i == 0 ? limits.bHasLow : limits.bHasHigh;
        const double v = i == 0 ? limits.dLow : limits.dHigh;
        if (!bHas || v < m_view.v0 || v > m_view.v1)
            continue;
        const int y = plot.top + static_cast<int>(std::lround((m_view.v1 - v) * height / (m_view.v1 - m_view.v0)));
        Line(hDC, plot.left, y, plot.right, y);
    }
    SetBkMode(hDC, saved);
}

void CChartWindow::DrawCursors(HDC hDC, const RECT& plot) {
    auto inside = [&](int x) { return x >= plot.left && x < plot.right; };
    if (m_bCursorA && m_bCursorB) {
        RECT range = {std::max<LONG>(plot.left, std::min(XOf(m_tA), XOf(m_tB))), plot.top,
                      std::min<LONG>(plot.right, std::max(XOf(m_tA), XOf(m_tB)) + 1), plot.bottom};
        if (range.right > range.left)
            Fill(hDC, range, kRange);
    }
    CPen solid(PS_SOLID, 1, kCursor);
    CSelection pen(hDC, solid);
    if (m_bCursorA && inside(XOf(m_tA))) {
        Line(hDC, XOf(m_tA), plot.top, XOf(m_tA), plot.bottom);
        Text(hDC, XOf(m_tA) + 3, plot.top + 2, "A", TA_LEFT | TA_TOP, kCursor);
    }
    if (m_bCursorB && inside(XOf(m_tB))) {
        Line(hDC, XOf(m_tB), plot.top, XOf(m_tB), plot.bottom);
        Text(hDC, XOf(m_tB) + 3, plot.top + 2, "B", TA_LEFT | TA_TOP, kCursor);
    }
}

std::string CChartWindow::CursorTime() const {
    if (!m_pDoc || m_pDoc->Data().Size() == 0 || !(m_bHover || m_bCursorA))
        return std::string();
    return TimeText(static_cast<double>(m_pDoc->Data().Time(NearestSample(m_bHover ? m_tHover : m_tA))));
}

std::string CChartWindow::TimeText(double t, bool withZone) const {
    return m_pDoc->Timeline().Text(static_cast<std::int64_t>(std::floor(t)), withZone);
}

// Where the clock was set back (not by a change of the zone's time): a
// dashed line between the stretches, with how far it went back.
void CChartWindow::DrawClockSteps(HDC hDC, const RECT& plot) {
    CPen dashed(PS_DASH, 1, kClockStep);
    CSelection pen(hDC, dashed);
    for (const ClockStep& step : m_pDoc->Timeline().Steps()) {
        const int x = XOf(static_cast<double>(step.axis));
        if (x < plot.left || x >= plot.right)
            continue;
        Line(hDC, x, plot.top, x, plot.bottom);
        Text(hDC, x + 3, plot.top + 16, "\x96" + FormatDuration(step.back), TA_LEFT | TA_TOP, kClockStep);
    }
}

void CChartWindow::DrawPanel(HDC hDC, const RECT& panel) {
    int y = panel.top + 8;
    const int x = panel.left + 12;
    const int col[3] = {x + 66, x + 130, x + 200};  // right edges of min, max, mean
    if (!m_pDoc || m_pDoc->Data().Size() == 0) {
        Text(hDC, x, y, "Ko\xB3" "o myszy: powi\xEAkszenie", TA_LEFT | TA_TOP);
        return;
    }
    const ChartSamples& data = m_pDoc->Data();
    const bool hover = m_bHover || m_bCursorA;
    const double t = m_bHover ? m_tHover : m_tA;
    Text(hDC, x, y, m_bHover ? "Kursor" : (m_bCursorA ? "Kursor A" : "Kursor (wska\xBF mysz\xB9)"), TA_LEFT | TA_TOP);
    y += 16;
    if (hover) {
        const KvfSample& s = data.Sample(NearestSample(t));
        Text(hDC, x, y, CursorTime(), TA_LEFT | TA_TOP);
        y += 16;
        for (int c : kOrder) {
            if (!((data.ChannelsSeen() >> c) & 1))
                continue;
            Fill(hDC, RECT{x, y + 4, x + 10, y + 12}, m_settings.crChannel[c]);
            Text(hDC, x + 16, y, KvfChannelName(c), TA_LEFT | TA_TOP);
            Text(hDC, col[0], y, (s.present >> c) & 1 ? FormatFixed(s.value[c], 2) : "\x97", TA_RIGHT | TA_TOP);
            y += 15;
        }
    }
    y += 12;
    if (!(m_bCursorA && m_bCursorB)) {
        Text(hDC, x, y, "Klik: kursor A, Shift+klik: B", TA_LEFT | TA_TOP);
        Text(hDC, x, y + 15, "Przeci\xB9gnij: przesu\xF1, prawy: zoom", TA_LEFT | TA_TOP);
        Text(hDC, x, y + 30, "K\xF3\xB3ko: zoom, Home: ca\xB3o\x9C\xE6", TA_LEFT | TA_TOP);
        return;
    }
    const double a = std::min(m_tA, m_tB), b = std::max(m_tA, m_tB);
    Text(hDC, x, y, "Zakres A\x96" "B: " + FormatDuration(static_cast<std::int64_t>(std::llround(b - a))),
         TA_LEFT | TA_TOP);
    Text(hDC, x, y + 15, "od " + TimeText(a), TA_LEFT | TA_TOP);
    Text(hDC, x, y + 30, "do " + TimeText(b), TA_LEFT | TA_TOP);
    y += 46;
    Text(hDC, col[0], y, "min", TA_RIGHT | TA_TOP);
    Text(hDC, col[1], y, "maks", TA_RIGHT | TA_TOP);
    Text(hDC, col[2], y, "\x9Crednia", TA_RIGHT | TA_TOP);
    y += 16;
    // Summed up once per choice of cursors (and per growth of the file),
    // not at every redraw: a range may span the whole log.
    if (a != m_statsA || b != m_statsB || data.Size() != m_statsSize) {
        for (int c = 0; c < kKvfChannels; ++c)
            m_stats[c] = data.Stats(c, a, b);
        m_statsA = a;
        m_statsB = b;
        m_statsSize = data.Size();
    }
    for (int c : kOrder) {
        if (!((data.ChannelsSeen() >> c) & 1))
            continue;
        const ChartStats& st = m_stats[c];
        Fill(hDC, RECT{x, y + 4, x + 10, y + 12}, m_settings.crChannel[c]);
        Text(hDC, x + 16, y, KvfChannelName(c), TA_LEFT | TA_TOP);
        if (st.count == 0) {
            Text(hDC, col[0], y, "\x97", TA_RIGHT | TA_TOP);
        } else {
            Text(hDC, col[0], y, FormatFixed(st.minimum, 2), TA_RIGHT | TA_TOP);
            Text(hDC, col[1], y, FormatFixed(st.maximum, 2), TA_RIGHT | TA_TOP);
            Text(hDC, col[2], y, FormatFixed(st.mean, 2), TA_RIGHT | TA_TOP);
        }
        y += 15;
    }
}
