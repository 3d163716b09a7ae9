// A log's times as real time. The log holds each record's local wall-clock
// time without a zone; read in file order with a zone's rules, each becomes
// an instant: the hour that the autumn change repeats is summer time until
// the clock has gone back, winter time after, and the hour the spring change
// skips is no gap. A step back that is no change of the zone's time (a clock
// set by hand or by synchronisation) is never woven into the earlier
// stretch: the stretch after it is laid on the chart's time axis right after
// the one before, and the step is kept to be shown.
//
// The chart's time ("axis time") is the instant plus the sum of the steps
// back so far, so it never goes back; a handful of numbers per step is all
// this adds to a log's memory.
#pragma once

#include "viewer/chart_view.h"
#include "viewer/kvf_reader.h"
#include "viewer/time_zone.h"

#include <cstdint>
#include <string>
#include <vector>

struct ClockStep {
    std::int64_t axis;         // axis time of the first record after the step
    std::int64_t shift;        // axis time less instant from there on
    std::int64_t back;         // seconds the clock went back
    std::int64_t localBefore;  // wall clock of the last record before the step
};

class KvfTimeline : public AxisClock {
public:
    // rules must outlive the timeline.
    explicit KvfTimeline(const ZoneRules& rules);

    // The axis time of the next record in file order, from its wall clock
    // (KvfRecord::Seconds).
    std::int64_t Place(std::int64_t local);
    // The same for samples, in place.
    void Place(KvfSample* samples, std::size_t n);
    const std::vector<ClockStep>& Steps() const { return m_steps; }

    std::int64_t Instant(std::int64_t axis) const;
    // Seconds east of UTC at that axis time.
    int OffsetAt(std::int64_t axis) const;
    std::int64_t Local(std::int64_t axis) const override { return Instant(axis) + OffsetAt(axis); }
    // The wall-clock time occurs twice there by a change of the zone's time.
    bool Repeated(std::int64_t axis) const;
    // " UTC+2" where Repeated, else "".
    std::string Zone(std::int64_t axis) const override;
    // "2026-10-25 02:30:00", with the zone where the time is repeated or
    // when withZone.
    std::string Text(std::int64_t axis, bool withZone = false) const;

private:
    const ZoneYear& YearOf(std::int64_t local) const;
    // Instants a wall-clock time can be: *pCount 1 or 2 (the repeated hour,
    // earlier one first); a skipped time counts as standard time.
    void Candidates(std::int64_t local, std::int64_t* pInstants, int* pCount) const;

    const ZoneRules& m_rules;
    // The year last asked for, from its first local second to the next year's.
    mutable ZoneYear m_year;
    mutable std::int64_t m_yearStart, m_yearEnd;
    bool m_bStarted;
    std::int64_t m_prevInstant, m_prevAxis, m_prevLocal;
    std::int64_t m_forward;  // the last step forward between records
    std::int64_t m_shift;
    std::vector<ClockStep> m_steps;
};
