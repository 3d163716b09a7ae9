#include "viewer/chart_view.h"

#include "common/civil_time.h"
#include "common/number_text.h"
#include "viewer/kvf_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

const double ChartView::kMinSpan = 10.0;

void ChartView::ZoomTime(double at, double factor) {
    double span = (t1 - t0) * factor;
    if (span < kMinSpan)
        span = kMinSpan;
    // A hundred years is more than any log holds; keeps the arithmetic sane.
    span = std::min(span, 100.0 * 366 * 86400);
    const double share = t1 > t0 ? (at - t0) / (t1 - t0) : 0.5;
    t0 = at - share * span;
    t1 = t0 + span;
}

void ChartView::ZoomValues(double at, double factor) {
    double span = (v1 - v0) * factor;
    span = std::max(span, 0.01);
    span = std::min(span, 1.0e9);
    const double share = v1 > v0 ? (at - v0) / (v1 - v0) : 0.5;
    v0 = at - share * span;
    v1 = v0 + span;
    bManualValues = true;
}

void ChartView::Pan(double dt) {
    t0 += dt;
    t1 += dt;
}

void ChartView::PanValues(double dv) {
    v0 += dv;
    v1 += dv;
    bManualValues = true;
}

void ChartView::FitAll(double first, double last) {
    t0 = first;
    t1 = last;
    if (t1 - t0 < kMinSpan) {
        const double mid = (first + last) / 2;
        t0 = mid - kMinSpan / 2;
        t1 = mid + kMinSpan / 2;
    } else {
        // A little room after the last record, so the live end shows.
        t1 += (t1 - t0) * 0.02;
    }
    bManualValues = false;
}

void ChartView::FitValues(double minimum, double maximum) {
    if (!(maximum >= minimum)) {
        v0 = 0.0;
        v1 = 1.0;
        return;
    }
    double room = (maximum - minimum) * 0.05;
    if (room < 0.05)
        room = 0.5;
    v0 = minimum - room;
    v1 = maximum + room;
}

bool AtLiveEnd(const ChartView& view, double previousEnd) {
    // The end is in sight (or just beyond the right edge, within a twentieth of the span).
    return previousEnd <= view.t1 + (view.t1 - view.t0) * 0.05 && previousEnd >= view.t0;
}

bool FollowLiveEnd(ChartView& view, double previousEnd, double newEnd) {
    if (!(newEnd > previousEnd) || !AtLiveEnd(view, previousEnd))
        return false;
    // Only once the new end would leave the view does it move: the user
    // keeps the span chosen, and sees the end where it was.
    const double room = (view.t1 - view.t0) * 0.02;
    if (newEnd + room <= view.t1)
        return false;
    view.Pan(newEnd + room - view.t1);
    return true;
}

namespace {

const std::int64_t kSteps[] = {
    1, 2, 5, 10, 15, 30,                                   // seconds
    60, 120, 300, 600, 900, 1800,                          // minutes
    3600, 7200, 10800, 21600, 43200,                       // hours
    86400, 2 * 86400, 7 * 86400, 14 * 86400, 28 * 86400,  // days
    91 * 86400, 182 * 86400, 364 * 86400, 728 * 86400, 1820 * 86400, 3640 * 86400,
};

std::int64_t FloorTo(std::int64_t t, std::int64_t step) {
    std::int64_t q = t / step;
    if (t % step != 0 && t < 0)
        --q;
    return q * step;
}

}  // namespace

std::int64_t TimeTickStep(double t0, double t1, int pixels, int minPixels) {
    const double span = t1 - t0;
    if (!(span > 0) || pixels <= 0)
        return kSteps[0];
    const double most = std::max(1.0, static_cast<double>(pixels) / std::max(1, minPixels));
    for (std::int64_t step : kSteps)
        if (span / static_cast<double>(step) <= most)
            return step;
    return kSteps[std::size(kSteps) - 1];
}

std::vector<TimeTick> TimeTicks(double t0, double t1, int pixels, int minPixels, const AxisClock* clock) {
    std::vector<TimeTick> ticks;
    if (!(t1 > t0) || pixels <= 0)
        return ticks;
    const std::int64_t step = TimeTickStep(t0, t1, pixels, minPixels);
    auto local = [clock](std::int64_t t) { return clock ? clock->Local(t) : t; };
    // The next whole step of the wall clock at or after t. Whole days and
    // longer steps start at midnight; weeks on the days that are multiples
    // of seven since 1970, close enough to keep labels steady while panning.
    auto next = [&](std::int64_t t) {
        std::int64_t offset = local(t) - t;
        std::int64_t tick = FloorTo(t + offset, step) - offset;
        tick += tick < t ? step : 0;
        // The clock changed or was set back before that tick: align with its wall clock there.
        if (local(tick) - tick != offset) {
            offset = local(tick) - tick;
            tick = FloorTo(tick + offset, step) - offset;
            tick += tick < t ? step : 0;
        }
        return tick;
    };
    std::string lastDate;
    std::int64_t t = next(static_cast<std::int64_t>(std::ceil(t0)));
    for (int looks = 0; t <= t1 && ticks.size() < 1000 && looks < 4000; ++looks, t = next(t + 1)) {
        // Across a step back of the clock two whole steps may lie close: the first is kept.
        if (!ticks.empty() && t - static_cast<std::int64_t>(ticks.back().t) < step / 2)
            continue;
        const std::string text = FormatCivilSeconds(local(t));  // "YYYY-MM-DD HH:MM:SS"
        TimeTick tick;
        tick.t = static_cast<double>(t);
        const std::string date = text.substr(0, 10);
        if (step >= 86400)
            tick.label = date;
        else if (step < 60)
            tick.label = text.substr(11, 8);
        else
            tick.label = text.substr(11, 5);
        if (clock && step < 86400)
            tick.label += clock->Zone(t);
        if (step < 86400 && date != lastDate)
            tick.date = date;
        lastDate = date;
        ticks.push_back(tick);
    }
    return ticks;
}

std::vector<ValueTick> ValueTicks(double v0, double v1, int pixels, int minPixels) {
    std::vector<ValueTick> ticks;
    if (!(v1 > v0) || pixels <= 0)
        return ticks;
    const double most = std::max(1.0, static_cast<double>(pixels) / std::max(1, minPixels));
    const double rough = (v1 - v0) / most;
    double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= rough)
            break;
    }
    // Decimals enough to tell neighbouring ticks apart.
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    const double first = std::ceil(v0 / step - 1e-9);
    for (double k = first; k * step <= v1 + step * 1e-9 && ticks.size() < 1000; k += 1.0) {
        double v = k * step;
        if (std::fabs(v) < step * 1e-9)
            v = 0.0;  // never "-0.0"
        ticks.push_back({v, FormatFixed(v, decimals)});
    }
    return ticks;
}

std::string FormatDuration(std::int64_t seconds) {
    const bool negative = seconds < 0;
    if (negative)
        seconds = -seconds;
    char text[64];
    const long long days = seconds / 86400;
    const int h = static_cast<int>(seconds / 3600 % 24), m = static_cast<int>(seconds / 60 % 60),
              s = static_cast<int>(seconds % 60);
    if (days > 0)
        std::snprintf(text, sizeof text, "%s%lld d %02d:%02d:%02d", negative ? "-" : "", days, h, m, s);
    else
        std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", negative ? "-" : "", h, m, s);
    return text;
}
