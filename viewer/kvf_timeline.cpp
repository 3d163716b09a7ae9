#include "viewer/kvf_timeline.h"

#include <algorithm>

KvfTimeline::KvfTimeline(const ZoneRules& rules)
    : m_rules(rules),
      m_yearStart(1),
      m_yearEnd(0),
      m_bStarted(false),
      m_prevInstant(0),
      m_prevAxis(0),
      m_prevLocal(0),
      m_forward(0),
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

std::int64_t KvfTimeline::Place(std::int64_t local) {
    std::int64_t candidates[2];
    int count;
    Candidates(local, candidates, &count);
    std::int64_t instant = candidates[0];
    if (count == 2 && m_bStarted) {
        // File order decides: the reading nearest the record before, a step
        // back counting double (after the change the clock runs on from
        // the earlier wall-clock time, as winter time).
        auto cost = [this](std::int64_t t) { return t >= m_prevInstant ? t - m_prevInstant : 2 * (m_prevInstant - t); };
        if (cost(candidates[1]) < cost(candidates[0]))
            instant = candidates[1];
    }
    if (m_bStarted && instant < m_prevInstant) {
        const std::int64_t gap = m_forward > 0 ? m_forward : 1;
        m_shift = m_prevAxis + gap - instant;
        m_steps.push_back(ClockStep{m_prevAxis + gap, m_shift, m_prevInstant + gap - instant, m_prevLocal});
    } else if (m_bStarted && instant > m_prevInstant) {
        m_forward = instant - m_prevInstant;
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
    return axis - (after == m_steps.begin() ? 0 : (after - 1)->shift);
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
    return FormatKvfSeconds(Local(axis)) + (withZone ? " " + FormatUtcOffset(OffsetAt(axis)) : Zone(axis));
}
