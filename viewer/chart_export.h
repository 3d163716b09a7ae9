// Exports of the chart viewer: the records of a time range as CSV (the
// columns and texts of `qm487-kvf csv`) and a picture as PNG.
#pragma once

#include "viewer/kvf_reader.h"
#include "viewer/kvf_timeline.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How records are written as CSV: the separator; the time as the wall
// clock showed it ("2026-10-25 02:30:00") or as ISO 8601 with its offset
// ("2026-10-25T02:30:00+01:00"); values as stored, or with a decimal comma
// for a spreadsheet that reads numbers so (the separator is then not ',').
struct CsvFormat {
    char separator = ',';
    bool bIsoTime = false;
    bool bDecimalComma = false;
    // The columns' titles by channel (the log's names, see
    // recording/log_names.h); an empty one: "T", "T1" ... "T8".
    std::string strLabel[kKvfChannels];
};
// "time,T,T1,...,T8\n"
std::string CsvHeader(const CsvFormat& format);
// A record's line; offset: seconds east of UTC at its time (for ISO times).
void AppendCsvRow(std::string& text, const KvfRecord& record, int offset, const CsvFormat& format);

// A sink for KvfReader that keeps, as CSV text, the records whose chart time
// (their wall clock read with the zone's rules, in file order) lies in
// [t0, t1]: the header, then a line per record, the channels' values empty
// where the record has no group for them. Lines end in "\n" as qm487-kvf
// writes them to a file. Text() grows until TakeText() hands it over, so a
// large export can be written out piece by piece. The rows of a log that
// begins in the hour the autumn change repeats wait until a later record
// tells which of its two offsets they have, or until Finish().
class KvfCsvExport : public KvfSink {
public:
    KvfCsvExport(double t0, double t1, const ZoneRules& rules, const CsvFormat& format = CsvFormat());
    void OnRecord(const KvfRecord& record) override;
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override;
    // No more records: rows still waiting are written as they stand.
    void Finish();

    std::string TakeText();
    std::uint64_t Rows() const { return m_nRows; }
    std::uint64_t Damaged() const { return m_nDamaged; }

private:
    double m_t0, m_t1;
    KvfTimeline m_timeline;
    CsvFormat m_format;
    std::string m_text;
    std::vector<std::pair<std::int64_t, KvfRecord>> m_waiting;  // axis time and record
    std::uint64_t m_nRows;
    std::uint64_t m_nDamaged;
};

// A PNG file of 8-bit RGB pixels; rgb holds width * height pixels as
// 0x00RRGGBB, rows top to bottom. The image data goes into stored
// (uncompressed) deflate blocks: bigger than a packer's output, but exact and small code.
std::string EncodePng(int width, int height, const std::uint32_t* rgb);

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const void* data, std::size_t size, std::uint32_t adler = 1);
