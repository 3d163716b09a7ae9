#include "instrument/calibration_due.h"

#include "common/civil_time.h"

#include <iterator>

namespace {

// Days since 1970 of a YYYY-MM-DD the settings accepted.
std::int64_t DayOf(const std::string& date) {
    return DaysFromCivil(std::stoi(date.substr(0, 4)), static_cast<unsigned>(std::stoi(date.substr(5, 2))),
                         static_cast<unsigned>(std::stoi(date.substr(8, 2))));
}

std::string SentKey(int nChannel, const std::string& strDue, int nStage) {
    return std::to_string(nChannel) + " " + strDue + " " + std::to_string(nStage);
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
    // What went out for a due date no longer set is no longer needed.
    for (auto it = m_sent.begin(); bNotices && it != m_sent.end();)
        it = config[(*it)[0] - '0'].strCalDue == it->substr(2, 10) ? std::next(it) : m_sent.erase(it);
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
        // A clock set back, or a restart, brings a day already looked at:
        // its notice went out.
        const int stage = left <= 0 ? 0 : left <= kDaysAhead ? kDaysAhead : -1;
        if (bNotices && stage >= 0 && m_sent.insert(SentKey(k, ch.strCalDue, stage)).second)
            m_notices.push_back({k, ch.strCalDue, static_cast<int>(left)});
    }
}

std::string CCalibrationReminder::SentText() const {
    std::string text;
    for (const std::string& key : m_sent)
        text += (text.empty() ? "" : ",") + key;
    return text;
}

void CCalibrationReminder::TakeSent(const std::string& strText) {
    m_sent.clear();
    std::size_t begin = 0;
    while (begin <= strText.size()) {
        std::size_t end = strText.find(',', begin);
        if (end == std::string::npos)
            end = strText.size();
        const std::string key = strText.substr(begin, end - begin);
        ChannelSettings probe;
        // "k YYYY-MM-DD s": a channel, a date the settings accept, a stage.
        if (key.size() == 14 && key[0] >= '1' && key[0] <= '8' && key[1] == ' ' && key[12] == ' ' &&
            (key[13] == '0' || key[13] == '0' + kDaysAhead) && ReadChannelKey(probe, kKeyCalDue, key.substr(2, 10)))
            m_sent.insert(key);
        begin = end + 1;
    }
}
