#include "viewer/kvf_timeline.h"

#include "common/civil_time.h"

#include <algorithm>
#include <cstdlib>

KvfTimeline::KvfTimeline(const ZoneRules& rules)
    : m_rules(rules),
      m_yearStart(1),
      m_yearEnd(0),
      m_bStarted(false),
      m_prevInstant(0),
      m_prevAxis(0),
      m_prevLocal(0),
      m_recent(),
      m_nRecent(0),
      m_nNextRecent(0),
      m_bLead(false),
      m_nLeadRepeat(0),
      m_firstShift(0),
      m_shift(0) {}

const ZoneYear& KvfTimeline::YearOf(std::int64_t local) const {
    if (local < m_yearStart || local >= m_yearEnd) {
        const int year = CivilYear(local);
        m_year = m_rules.Year(year);
        m_yearStart = CivilSeconds(year, 1, 1, 0, 0, 0);
        m_yearEnd = CivilSeconds(year + 1, 1, 1, 0, 0, 0);
    }
    return m_year;
}

void KvfTimeline::Candidates(std::int64_t local, std::int64_t* pInstants, int* pCount) const {
    const ZoneYear& z = YearOf(local);
    const std::int64_t asStandard = local - z.standard, asDaylight = local - z.daylight;
    const bool standard = !z.IsDaylight(asStandard), daylight = z.hasDaylight && z.IsDaylight(asDaylight);
    *pCount = 1;
    if (standard && daylight) {
        pInstants[0] = std::min(asStandard, asDaylight);
        pInstants[1] = std::max(asStandard, asDaylight);
        *pCount = 2;
    } else {
        pInstants[0] = daylight ? asDaylight : asStandard;
    }
}

std::int64_t KvfTimeline::UsualStep() const {
    std::int64_t steps[kRecentSteps];
    std::copy(m_recent, m_recent + m_nRecent, steps);
    std::nth_element(steps, steps + m_nRecent / 2, steps + m_nRecent);
    return m_nRecent == 0 ? 0 : steps[m_nRecent / 2];
}

std::int64_t KvfTimeline::Choose(const std::int64_t* pInstants) const {
    // Never before the record before while the later instant is not: the
    // clock going back by the change is no step back; with both before it,
    // the later is the smaller step back. A record's time repeated is no
    // step of a log whose step is not yet known.
    const std::int64_t usual = UsualStep();
    if (pInstants[0] < m_prevInstant || (usual == 0 && pInstants[0] == m_prevInstant))
        return pInstants[1];
    auto distance = [this, usual](std::int64_t t) { return std::abs(t - m_prevInstant - usual); };
    return distance(pInstants[1]) < distance(pInstants[0]) ? pInstants[1] : pInstants[0];
}

std::int64_t KvfTimeline::Place(std::int64_t local) {
    std::int64_t candidates[2];
    int count;
    Candidates(local, candidates, &count);
    std::int64_t instant = candidates[0];
    if (!m_bStarted) {
        m_bLead = count == 2;
        m_nLeadRepeat = count == 2 ? candidates[1] - candidates[0] : 0;
    } else if (count == 2) {
        instant = Choose(candidates);
        m_bLead = m_bLead && instant == candidates[0];
    } else if (m_bLead) {
        // The first time outside the repeated hour: were the records before
        // it winter time, its step from them is nearer the usual one (with
        // none known, the smaller step).
        m_bLead = false;
        const std::int64_t asWinter = m_prevInstant + m_nLeadRepeat;
        if (instant >= asWinter && UsualStep() < instant - m_prevInstant - m_nLeadRepeat / 2) {
            m_firstShift = m_shift = -m_nLeadRepeat;
            m_prevInstant = asWinter;
        }
    }
    if (m_bStarted && instant < m_prevInstant) {
        const std::int64_t usual = UsualStep(), gap = usual > 0 ? usual : 1;
        m_shift = m_prevAxis + gap - instant;
        m_steps.push_back(ClockStep{m_prevAxis + gap, m_shift, m_prevInstant + gap - instant, m_prevLocal});
    } else if (m_bStarted && instant > m_prevInstant) {
        m_recent[m_nNextRecent] = instant - m_prevInstant;
        m_nNextRecent = (m_nNextRecent + 1) % kRecentSteps;
        m_nRecent = std::min<int>(m_nRecent + 1, kRecentSteps);
    }
    m_bStarted = true;
    m_prevInstant = instant;
    m_prevLocal = local;
    m_prevAxis = instant + m_shift;
    return m_prevAxis;
}

void KvfTimeline::Place(KvfSample* samples, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        samples[i].seconds = Place(samples[i].seconds);
}

std::int64_t KvfTimeline::Instant(std::int64_t axis) const {
    const auto after = std::upper_bound(m_steps.begin(), m_steps.end(), axis,
                                        [](std::int64_t t, const ClockStep& s) { return t < s.axis; });
    return axis - (after == m_steps.begin() ? m_firstShift : (after - 1)->shift);
}

int KvfTimeline::OffsetAt(std::int64_t axis) const {
    const std::int64_t instant = Instant(axis);
    // The zone's year as it begins in UTC is near enough: no zone changes its time at the new year.
    return YearOf(instant).OffsetAt(instant);
}

bool KvfTimeline::Repeated(std::int64_t axis) const {
    std::int64_t candidates[2];
    int count;
    Candidates(Local(axis), candidates, &count);
    return count == 2;
}

std::string KvfTimeline::Zone(std::int64_t axis) const {
    return Repeated(axis) ? " " + FormatUtcOffset(OffsetAt(axis)) : std::string();
}

std::string KvfTimeline::Text(std::int64_t axis, bool withZone) const {
    return FormatCivilSeconds(Local(axis)) + (withZone ? " " + FormatUtcOffset(OffsetAt(axis)) : Zone(axis));
}

// Layout: started, the last instant, axis and wall clock, the recent steps'
// count, next slot and ring, the lead and its repeat, the shifts, then each
// clock step's four numbers.
std::vector<std::int64_t> KvfTimeline::State() const {
    std::vector<std::int64_t> state = {m_bStarted, m_prevInstant, m_prevAxis, m_prevLocal, m_nRecent, m_nNextRecent};
    state.insert(state.end(), m_recent, m_recent + kRecentSteps);
    state.insert(state.end(), {m_bLead, m_nLeadRepeat, m_firstShift, m_shift});
    for (const ClockStep& step : m_steps)
        state.insert(state.end(), {step.axis, step.shift, step.back, step.localBefore});
    return state;
}

bool KvfTimeline::Restore(const std::vector<std::int64_t>& state) {
    const std::size_t head = 6 + kRecentSteps + 4;
    if (state.size() < head || (state.size() - head) % 4 != 0 || (state[0] != 0 && state[0] != 1) ||
        state[4] < 0 || state[4] > kRecentSteps || state[5] < 0 || state[5] >= kRecentSteps ||
        (state[6 + kRecentSteps] != 0 && state[6 + kRecentSteps] != 1))
        return false;
    for (std::int64_t v : state)
        if (v > 2 * kMaxShift || v < -2 * kMaxShift)
            return false;
    std::vector<ClockStep> steps;
    for (std::size_t i = head; i < state.size(); i += 4) {
        steps.push_back(ClockStep{state[i], state[i + 1], state[i + 2], state[i + 3]});
        if (steps.size() > 1 && steps[steps.size() - 2].axis > steps.back().axis)
            return false;  // looked up by axis time: they must come in its order
    }
    m_bStarted = state[0] != 0;
    m_prevInstant = state[1];
    m_prevAxis = state[2];
    m_prevLocal = state[3];
    m_nRecent = static_cast<int>(state[4]);
    m_nNextRecent = static_cast<int>(state[5]);
    std::copy(state.begin() + 6, state.begin() + 6 + kRecentSteps, m_recent);
    m_bLead = state[6 + kRecentSteps] != 0;
    m_nLeadRepeat = state[7 + kRecentSteps];
    m_firstShift = state[8 + kRecentSteps];
    m_shift = state[9 + kRecentSteps];
    m_steps.swap(steps);
    return true;
}
