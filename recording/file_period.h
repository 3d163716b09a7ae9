// A new recording file each day, week or month: the period a row's local
// time falls in, and the file name of that period, e.g. "pomiar.csv" ->
// "pomiar_2026-12-09.csv" (day), "pomiar_2026-W50.csv" (ISO week, from
// Monday), "pomiar_2026-12.csv" (month). A report past kMaxReportRows data
// rows continues in "pomiar_2.csv" ("pomiar_2026-12-09_2.csv"), so that a
// spreadsheet (1,048,576 rows at most) opens every part whole.
#pragma once

#include "common/civil_time.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum FileSplit { kSplitNever = 0, kSplitDay = 1, kSplitWeek = 2, kSplitMonth = 3 };

enum : std::uint64_t {
    kMaxReportRows = 1000000,
    // No data row is shorter: a time, one separator and the line's end (a
    // row whose chosen channels are all switched off has no other column).
    kShortestReportRow = 22,
};

// The choice in force: a hand-written code outside 0..3 records to one file.
int FileSplitInForce(int nSplit);

// "2026-12-09", "2026-W50", "2026-12"; "" for kSplitNever. Within one kind
// a later period's tag sorts after an earlier one's.
std::string PeriodTag(int nSplit, const RecordTime& time);

// strPath with "_<tag>" (when tag is not empty) and "_<part>" (from part 2
// on) before the file name's extension; strPath itself for neither.
std::string PeriodFilePath(const std::string& strPath, const std::string& strTag, int nPart = 1);

// Counts the data rows of a report read in pieces: lines that begin with a
// row's time ("2026.12.09 13:05:00" or "2026-12-09 ..."), not headers,
// comments or empty lines.
class CReportRowCounter {
public:
    void Feed(const char* data, std::size_t size);
    std::uint64_t Rows() const { return m_nRows; }

private:
    char m_line[20] = {};  // the start of the line being read
    std::size_t m_nLine = 0;
    std::uint64_t m_nRows = 0;
    void EndLine();
};
