// What part of the data the chart shows, how it moves, and the labels of
// its axes. Times are seconds as KvfRecord::Seconds counts them (local
// time taken as UTC).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ChartView {
    double t0, t1;      // time shown, left to right
    double v0, v1;      // values shown, bottom to top
    bool bManualValues; // the value span was chosen by the user (box zoom); else it fits the data shown

    // Keeps the visible point `at` where it is and scales the span by factor (< 1 zooms in).
    void ZoomTime(double at, double factor);
    void ZoomValues(double at, double factor);
    void Pan(double dt);
    void PanValues(double dv);
    // Everything from first to last, with the values fitted to the data.
    void FitAll(double first, double last);
    // The value span around [minimum, maximum] with a little room.
    void FitValues(double minimum, double maximum);

    // The shortest time span zoomed into: ten seconds.
    static const double kMinSpan;
};

// The follow rule: new data moves the view only while the user looks at the
// live end. `previousEnd` is the data's last time before the new data came.
bool AtLiveEnd(const ChartView& view, double previousEnd);
// Moves a view at the live end along so that `newEnd` stays in sight at the
// same place; a view elsewhere is left alone. TRUE when it moved.
bool FollowLiveEnd(ChartView& view, double previousEnd, double newEnd);

struct TimeTick {
    double t;
    std::string label;  // "12:30", "12:30:15", or the date at a whole-day step
    std::string date;   // "2009-03-18" under the first tick and where the day changes; else empty
};

// Ticks at a sensible step (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
// 1, 2, 3, 6, 12 h; 1, 2, 7, 14, 28 days ...) so that labels are at least
// minPixels apart across `pixels`.
std::vector<TimeTick> TimeTicks(double t0, double t1, int pixels, int minPixels);
// The step TimeTicks chooses, in seconds.
std::int64_t TimeTickStep(double t0, double t1, int pixels, int minPixels);

struct ValueTick {
    double v;
    std::string label;  // point as decimal separator
};
// Steps of 1, 2 or 5 times a power of ten.
std::vector<ValueTick> ValueTicks(double v0, double v1, int pixels, int minPixels);

// "2 d 03:04:05", "03:04:05": a length of time.
std::string FormatDuration(std::int64_t seconds);
