#include "recording/file_period.h"

#include <cstdio>

int FileSplitInForce(int nSplit) { return nSplit >= kSplitNever && nSplit <= kSplitMonth ? nSplit : kSplitNever; }

std::string PeriodTag(int nSplit, const RecordTime& t) {
    char text[32];
    switch (FileSplitInForce(nSplit)) {
    case kSplitDay:
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
        return text;
    case kSplitMonth:
        std::snprintf(text, sizeof text, "%04d-%02d", t.year, t.month);
        return text;
    case kSplitWeek: {
        // ISO 8601: weeks begin on Monday and belong to the year of their
        // Thursday (1970-01-01 was a Thursday).
        const std::int64_t day = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
        const std::int64_t fromMonday = ((day + 3) % 7 + 7) % 7;
        const std::int64_t thursday = day - fromMonday + 3;
        const int year = std::stoi(FormatCivilSeconds(thursday * 86400).substr(0, 4));
        const std::int64_t week = (thursday - DaysFromCivil(year, 1, 1)) / 7 + 1;
        std::snprintf(text, sizeof text, "%04d-W%02d", year, static_cast<int>(week));
        return text;
    }
    default:
        return std::string();
    }
}

std::string PeriodFilePath(const std::string& strPath, const std::string& strTag, int nPart) {
    std::string suffix = strTag.empty() ? std::string() : "_" + strTag;
    if (nPart > 1)
        suffix += "_" + std::to_string(nPart);
    // The extension is the file name's, not a folder's ("C:\dane.2026\pomiar").
    const std::size_t name = strPath.find_last_of("\\/:");
    const std::size_t dot = strPath.rfind('.');
    const bool bExtension = dot != std::string::npos && (name == std::string::npos || dot > name + 1);
    return bExtension ? strPath.substr(0, dot) + suffix + strPath.substr(dot) : strPath + suffix;
}

void CReportRowCounter::Feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            EndLine();
        } else if (m_nLine < sizeof m_line) {
            m_line[m_nLine++] = data[i];
        }
    }
}

void CReportRowCounter::EndLine() {
    static const char kShape[] = "dddd.dd.dd dd:dd:dd";  // d: a digit; '.': '.' or '-'
    bool bRow = m_nLine >= sizeof kShape - 1;
    for (std::size_t i = 0; bRow && i < sizeof kShape - 1; ++i) {
        const char c = m_line[i];
        bRow = kShape[i] == 'd' ? c >= '0' && c <= '9' : kShape[i] == '.' ? c == '.' || c == '-' : c == kShape[i];
    }
    m_nRows += bRow;
    m_nLine = 0;
}
