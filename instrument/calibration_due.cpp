#include "instrument/calibration_due.h"

#include "common/civil_time.h"

namespace {

// Days since 1970 of a YYYY-MM-DD the settings accepted.
std::int64_t DayOf(const std::string& date) {
    return DaysFromCivil(std::stoi(date.substr(0, 4)), static_cast<unsigned>(std::stoi(date.substr(5, 2))),
                         static_cast<unsigned>(std::stoi(date.substr(8, 2))));
}

}  // namespace

bool CCalibrationReminder::OnTick(const ChannelConfig& config, std::int64_t nLocalDay) {
    if (nLocalDay == m_nDay)
        return false;
    m_nDay = nLocalDay;
    Look(config, true);
    return true;
}

void CCalibrationReminder::OnConfigChanged(const ChannelConfig& config) {
    if (m_nDay != INT64_MIN)
        Look(config, false);
}

std::vector<CalibrationNotice> CCalibrationReminder::TakeNotices() {
    std::vector<CalibrationNotice> out;
    out.swap(m_notices);
    return out;
}

void CCalibrationReminder::Look(const ChannelConfig& config, bool bNotices) {
    m_strPiece.clear();
    for (int k = 1; k <= 8; ++k) {
        const ChannelSettings& ch = config[k];
        if (!ch.bInUse || ch.strCalDue.empty() || ch.bRefused[kKeyCalDue])
            continue;
        const std::int64_t left = DayOf(ch.strCalDue) - m_nDay;
        if (left <= 0)
            m_strPiece += "Kalibracja kana\xB3u " + config.Title(k) +
                          " min\xEA\xB3"
                          "a " +
                          ch.strCalDue + ". ";
        // A clock set back brings a day already looked at: its notice went out.
        if (bNotices && (left == 0 || left == kDaysAhead) &&
            m_sent.insert(std::to_string(k) + " " + ch.strCalDue + " " + std::to_string(left)).second)
            m_notices.push_back({k, ch.strCalDue, static_cast<int>(left)});
    }
}
