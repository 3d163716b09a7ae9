// A log's chunks kept beside it ("pomiar.kvf" -> "pomiar.kvf.summary"),
// so that opening it again need not read the whole log: the files it sums
// up (names, the length of each it covers, records and damage there, and a
// fingerprint of their bytes), the timeline as the last record left it, the
// zone's rules it was placed with, and the chunks. It is believed only when
// every file is still what it was up to the length covered (the same name,
// at least that long, the same first and last bytes there) and it was made
// with the same zone rules; a file grown since is read on from there. A
// checksum over the whole catches a summary cut short or changed.
#pragma once

#include "viewer/chart_file_data.h"
#include "viewer/time_zone.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

const char kChartSummarySuffix[] = ".summary";

struct ChartSummaryFile {
    std::string name;         // the file's name without its folder, UTF-8
    std::uint64_t size = 0;   // bytes read: where reading stopped (a record not yet whole stays after)
    std::uint64_t length = 0; // the file's length then
    std::uint64_t records = 0, damaged = 0;
    std::uint64_t fingerprint = 0;  // LogFingerprint of the bytes read
};

struct ChartSummary {
    std::uint64_t zone = 0;  // ZoneFingerprint of the rules used
    std::vector<ChartSummaryFile> files;
    std::vector<std::int64_t> timeline;  // KvfTimeline::State
    std::vector<ChartChunk> chunks;
    std::vector<ChartChunkChannel> channels[kKvfChannels];
};

// Writes the summary a piece at a time (write returns false when it cannot
// go on): the files, zone and timeline of head, the chunks given.
bool WriteChartSummary(const ChartSummary& head, const std::vector<ChartChunk>& chunks,
                       const std::vector<ChartChunkChannel> channels[kKvfChannels],
                       const std::function<bool(const void*, std::size_t)>& write);
// False for anything that is not a whole, consistent summary: its chunks
// must hang together (ChartFileData::Consistent) and lie in its files.
bool ParseChartSummary(const unsigned char* bytes, std::size_t size, ChartSummary* pSummary);

// A file's first and last 4 KB before `size`, and the size, hashed.
std::uint64_t LogFingerprint(KvfSource& source, std::uint64_t size);
// The zone's rules for the years of the chunks' records, hashed.
std::uint64_t ZoneFingerprint(const ZoneRules& rules, const std::vector<ChartChunk>& chunks);
