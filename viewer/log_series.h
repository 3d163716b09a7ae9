// A series of recording files: the files QM487 writes with a new file each
// day, week or month ("pomiar_2026-12-09.kvf", "pomiar_2026-W50.kvf",
// "pomiar_2026-12.kvf") and a report's parts past its row limit
// ("pomiar_2.csv"), told by name and put in time order.
#pragma once

#include <string>
#include <vector>

struct SeriesName {
    enum Kind { kNone, kDay, kWeek, kMonth };
    std::string strBase;       // "pomiar"
    std::string strExtension;  // ".kvf", as written
    Kind kind = kNone;
    std::string strPeriod;  // "2026-12-09", "2026-W50", "2026-12"; empty for kNone
    int nPart = 1;          // 2 and on for "_2" ...
};

// The parts of a file name (no folder): a period only when it is a real
// one (a day of the calendar, weeks 1 to 52 or 53 as the year has them,
// months 1 to 12); a next part only of a report, never of a binary log
// (.kvf).
SeriesName ParseSeriesName(const std::string& strFileName);

// Whether a comes before b: by base, then the day its period begins
// (whatever its kind), then period, then part.
bool SeriesBefore(const SeriesName& a, const SeriesName& b);

// The names among strFolderNames (file names, no folder) of the same series
// as strFileName: the same base, extension (in any letter case) and kind of
// period, in time order; the file itself among them.
std::vector<std::string> SeriesFiles(const std::string& strFileName, const std::vector<std::string>& strFolderNames);
