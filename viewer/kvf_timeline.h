// A log's times as real time. The log holds each record's local wall-clock
// time without a zone; read in file order with a zone's rules, each becomes
// an instant: a time of the hour that the autumn change repeats is the one
// of its two instants not before the record before whose step from it is
// nearest the log's usual step (so the order tells summer from winter time
// whatever the recording interval), and the hour the spring change skips is
// no gap. A log that begins inside the repeated hour is taken as summer
// time until a later record shows it was winter time. A step back that is
// no change of the zone's time (a clock set by hand or by synchronisation)
// is never woven into the earlier stretch: the stretch after it is laid on
// the chart's time axis a usual step after the one before, and the step is
// kept to be shown.
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
    // Every record so far lies in the repeated hour: a later one may yet
    // show they were winter time, which changes their offsets (never their
    // axis times).
    bool Undecided() const { return m_bLead; }

    // Wall clocks a record can have (years 1601 to 9999), and how far a
    // log's axis time lies from its wall clock at most (its clock set back
    // by a hundred million years in all): numbers beyond these are no log's
    // and would give dates the calendar cannot count to (CivilYear).
    static const std::int64_t kFirstLocal = -11644473600LL, kLastLocal = 253402300799LL;
    static const std::int64_t kMaxShift = std::int64_t(1) << 52;

    // What the records placed so far left (for a summary of a log read
    // before), and taking it back: false, and nothing changed, when the
    // numbers are no such state (or lie beyond twice kMaxShift).
    std::vector<std::int64_t> State() const;
    bool Restore(const std::vector<std::int64_t>& state);

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
    // The log's usual step: the median of the last forward steps between
    // records; 0 before there is one.
    std::int64_t UsualStep() const;
    // Of a repeated time's two instants, the one the order of records gives.
    std::int64_t Choose(const std::int64_t* pInstants) const;

    const ZoneRules& m_rules;
    // The year last asked for, from its first local second to the next year's.
    mutable ZoneYear m_year;
    mutable std::int64_t m_yearStart, m_yearEnd;
    bool m_bStarted;
    std::int64_t m_prevInstant, m_prevAxis, m_prevLocal;
    enum { kRecentSteps = 15 };
    std::int64_t m_recent[kRecentSteps];  // the last forward steps, a ring
    int m_nRecent;                        // steps seen, up to kRecentSteps
    int m_nNextRecent;
    // Every record so far lies in the repeated hour, placed as summer time;
    // m_nLeadRepeat: how far its winter instants lie after those.
    bool m_bLead;
    std::int64_t m_nLeadRepeat;
    std::int64_t m_firstShift;  // axis time less instant before the first step back
    std::int64_t m_shift;
    std::vector<ClockStep> m_steps;
};
