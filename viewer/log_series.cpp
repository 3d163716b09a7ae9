#include "viewer/log_series.h"

#include "common/civil_time.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>

namespace {

bool Digits(const std::string& text, std::size_t at, std::size_t n) {
    if (at + n > text.size())
        return false;
    for (std::size_t i = at; i < at + n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

int Number(const std::string& text, std::size_t at, std::size_t n) { return std::stoi(text.substr(at, n)); }

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Week 53 only in a year that has one: its Thursday still in the year
// (2026, 2020; not 2025, whose 29 December begins 2026-W01).
bool WeekOfYear(int y, int w) {
    const std::int64_t jan4 = DaysFromCivil(y, 1, 4);
    const std::int64_t thursday = jan4 - ((jan4 + 3) % 7 + 7) % 7 + 3 + 7 * (w - 1);
    return w >= 1 && thursday < DaysFromCivil(y + 1, 1, 1);
}

// "_YYYY-MM-DD", "_YYYY-Www" or "_YYYY-MM" ending the stem at its end.
SeriesName::Kind PeriodAtEnd(const std::string& stem, std::size_t* pStart) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const std::size_t n = stem.size();
    if (n >= 11 && stem[n - 11] == '_' && Digits(stem, n - 10, 4) && stem[n - 6] == '-' && Digits(stem, n - 5, 2) &&
        stem[n - 3] == '-' && Digits(stem, n - 2, 2)) {
        const int y = Number(stem, n - 10, 4), m = Number(stem, n - 5, 2), d = Number(stem, n - 2, 2);
        if (m >= 1 && m <= 12 && d >= 1 && d <= kDays[m - 1] + (m == 2 && LeapYear(y)))
            return *pStart = n - 11, SeriesName::kDay;
    }
    if (n >= 9 && stem[n - 9] == '_' && Digits(stem, n - 8, 4) && stem[n - 4] == '-' && stem[n - 3] == 'W' &&
        Digits(stem, n - 2, 2) && WeekOfYear(Number(stem, n - 8, 4), Number(stem, n - 2, 2)))
        return *pStart = n - 9, SeriesName::kWeek;
    if (n >= 8 && stem[n - 8] == '_' && Digits(stem, n - 7, 4) && stem[n - 3] == '-' && Digits(stem, n - 2, 2) &&
        Number(stem, n - 2, 2) >= 1 && Number(stem, n - 2, 2) <= 12)
        return *pStart = n - 8, SeriesName::kMonth;
    return SeriesName::kNone;
}

// The day a period begins (days from 1970-01-01), so that files of one
// base whose split was changed (weeks, then days) still go in time order:
// "2026-W49" begins on 30 November, before "2026-12-09" and after "2026-11".
std::int64_t PeriodStart(const SeriesName& name) {
    const std::string& p = name.strPeriod;
    switch (name.kind) {
    case SeriesName::kDay:
        return DaysFromCivil(Number(p, 0, 4), static_cast<unsigned>(Number(p, 5, 2)),
                             static_cast<unsigned>(Number(p, 8, 2)));
    case SeriesName::kMonth:
        return DaysFromCivil(Number(p, 0, 4), static_cast<unsigned>(Number(p, 5, 2)), 1);
    case SeriesName::kWeek: {
        // ISO 8601: week 1 holds 4 January; weeks begin on Monday (1970-01-01 was a Thursday).
        const std::int64_t jan4 = DaysFromCivil(Number(p, 0, 4), 1, 4);
        return jan4 - ((jan4 + 3) % 7 + 7) % 7 + 7 * (Number(p, 6, 2) - 1);
    }
    default:
        return std::numeric_limits<std::int64_t>::min();
    }
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

SeriesName ParseSeriesName(const std::string& strFileName) {
    SeriesName name;
    const std::size_t dot = strFileName.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? strFileName : strFileName.substr(0, dot);
    name.strExtension = strFileName.substr(stem.size());
    // "_2" ... "_999999" after the period (or the base) is a report's next
    // part. A binary log is never continued so: "hala_2.kvf" beside
    // "hala_3.kvf" are two logs of their own, not one log's parts.
    const bool bBinaryLog = Lower(name.strExtension) == ".kvf";
    const std::size_t underscore = stem.rfind('_');
    if (!bBinaryLog && underscore != std::string::npos && underscore + 1 < stem.size() &&
        stem.size() - underscore <= 7 && Digits(stem, underscore + 1, stem.size() - underscore - 1) &&
        stem[underscore + 1] != '0') {
        const int part = Number(stem, underscore + 1, stem.size() - underscore - 1);
        if (part >= 2) {
            name.nPart = part;
            stem.erase(underscore);
        }
    }
    std::size_t start = 0;
    name.kind = PeriodAtEnd(stem, &start);
    if (name.kind != SeriesName::kNone) {
        name.strPeriod = stem.substr(start + 1);
        stem.erase(start);
    }
    name.strBase = stem;
    return name;
}

bool SeriesBefore(const SeriesName& a, const SeriesName& b) {
    if (a.strBase != b.strBase)
        return a.strBase < b.strBase;
    if (a.strPeriod != b.strPeriod) {
        const std::int64_t startA = PeriodStart(a), startB = PeriodStart(b);
        return startA != startB ? startA < startB : a.strPeriod < b.strPeriod;
    }
    return a.nPart < b.nPart;
}

std::vector<std::string> SeriesFiles(const std::string& strFileName, const std::vector<std::string>& strFolderNames) {
    const SeriesName given = ParseSeriesName(strFileName);
    std::vector<std::pair<SeriesName, std::string>> found;
    for (const std::string& name : strFolderNames) {
        const SeriesName other = ParseSeriesName(name);
        if (other.strBase == given.strBase && other.kind == given.kind &&
            Lower(other.strExtension) == Lower(given.strExtension))
            found.emplace_back(other, name);
    }
    if (std::none_of(found.begin(), found.end(), [&](const auto& f) { return f.second == strFileName; }))
        found.emplace_back(given, strFileName);
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return SeriesBefore(a.first, b.first); });
    std::vector<std::string> names;
    for (const auto& f : found)
        names.push_back(f.second);
    return names;
}
