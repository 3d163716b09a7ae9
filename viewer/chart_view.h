// What part of the data the chart shows, how it moves, and the labels of
// its axes. Times are the chart's own seconds (KvfTimeline's axis time);
// an AxisClock tells the wall-clock time they read as.
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

// How the chart's times read on a wall clock. Without one they are the
// local time taken as UTC (KvfRecord::Seconds).
class AxisClock {
public:
    virtual ~AxisClock() = default;
    virtual std::int64_t Local(std::int64_t t) const = 0;
    // What tells the time apart where the wall clock alone does not (" UTC+2"), else "".
    virtual std::string Zone(std::int64_t t) const = 0;
};

struct TimeTick {
    double t;
    std::string label;  // "12:30", "12:30:15", or the date at a whole-day step
    std::string date;   // "2009-03-18" under the first tick and where the day changes; else empty
};

// Ticks at a sensible step (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
// 1, 2, 3, 6, 12 h; 1, 2, 7, 14, 28 days ...) so that labels are at least
// minPixels apart across `pixels`.
// Whole steps of the wall clock, labelled with it.
std::vector<TimeTick> TimeTicks(double t0, double t1, int pixels, int minPixels, const AxisClock* clock = nullptr);
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
