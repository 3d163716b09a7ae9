// The recorder's files over time: a new file each day, week or month, and
// a report that goes on in a next part before a spreadsheet's row limit.
#include "recording/file_period.h"
#include "recording/recorder.h"
#include "recording/report_file.h"

#include "framework/text.h"

namespace {

// Bytes of a file; 0 for none.
std::uint64_t FileBytes(const std::string& strPath) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(afx::Widen1250(strPath).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FileExists(const std::string& strPath) {
    return GetFileAttributesW(afx::Widen1250(strPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Read once when a report is opened to go on with; none for a file that
// cannot be read (it is then written to as far as it takes rows).
std::uint64_t CountReportRows(const std::string& strPath) {
    CHandle file(CreateFileW(afx::Widen1250(strPath).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CReportRowCounter counter;
    std::string chunk(1 << 20, '\0');
    DWORD dwRead = 0;
    // Past the limit the count no longer matters: a report of years is not read whole.
    while (counter.Rows() < kMaxReportRows && file.IsValid() &&
           ReadFile(file.Get(), &chunk[0], static_cast<DWORD>(chunk.size()), &dwRead, nullptr) && dwRead > 0)
        counter.Feed(chunk.data(), dwRead);
    return counter.Rows();
}

}  // namespace

// A clock set back (by hand, past midnight) keeps the files of the latest
// period: a row of today's run never goes into yesterday's file, whose rows
// would then be out of order. The repeated hour of the autumn clock change
// is the same local day, so it stays in its day's file.
std::string CRecorder::PeriodNow() const {
    const int split = FileSplitInForce(m_settings.nFileSplit);
    const std::string tag = PeriodTag(split, m_now);
    return split == m_nPeriodSplit && m_strPeriod > tag ? m_strPeriod : tag;
}

// The file of the current period; a report's latest part, counted, or the
// next one when that is full.
std::string CRecorder::PathToOpen(bool bReport, const std::string& base) {
    m_strPeriod = PeriodNow();
    m_nPeriodSplit = FileSplitInForce(m_settings.nFileSplit);
    if (!bReport)
        return PeriodFilePath(base, m_strPeriod);
    // A next part is the one to go on with only after a full one: a file of
    // that name beside a report that is not (a copy the user made) is not ours.
    m_nReportPart = 1;
    while (FileExists(PeriodFilePath(base, m_strPeriod, m_nReportPart + 1)) &&
           FileBytes(PeriodFilePath(base, m_strPeriod, m_nReportPart)) >= kMaxReportRows * kShortestReportRow)
        ++m_nReportPart;
    std::string path = PeriodFilePath(base, m_strPeriod, m_nReportPart);
    m_nReportRows = CountReportRows(path);
    if (m_nReportRows >= kMaxReportRows) {
        path = PeriodFilePath(base, m_strPeriod, ++m_nReportPart);
        m_nReportRows = 0;
    }
    return path;
}

// Between two ticks, with nobody asked: the row of 23:59:59 is in the old
// file and the row of 00:00:00 the first of the new.
void CRecorder::FollowPeriod() {
    for (const bool bReport : {true, false})
        FollowPeriod(bReport);
}

// Also before a row the dialog writes, which may come after midnight
// before the day's first tick.
void CRecorder::FollowPeriod(bool bReport) {
    if ((bReport ? m_pReportFile : m_pBinaryFile) &&
        (!OfPeriodInForce(bReport) || (bReport && m_nReportRows >= kMaxReportRows)))
        Switch(bReport);
}

// The period is the two files' together: the other file opened in a new
// period (a start retried after midnight, a dialog) leaves this one behind
// in the old, which its name tells.
bool CRecorder::OfPeriodInForce(bool bReport) const {
    const CRecordFile& open = bReport ? *m_pReportFile : *m_pBinaryFile;
    return PeriodNow() == m_strPeriod && FileSplitInForce(m_settings.nFileSplit) == m_nPeriodSplit &&
           open.GetPath() ==
               PeriodFilePath(bReport ? m_strReportBase : m_strBinaryBase, m_strPeriod, bReport ? m_nReportPart : 1);
}

// A file that cannot be opened now takes the rows as a full disk does:
// they wait, are retried each tick and told once.
void CRecorder::Switch(bool bReport) {
    std::unique_ptr<CRecordFile>& open = bReport ? m_pReportFile : m_pBinaryFile;
    const std::string base = bReport ? m_strReportBase : m_strBinaryBase;
    std::string path;
    if (bReport && OfPeriodInForce(true)) {
        // A next part already there (the first begun anew beside it) is
        // gone on with as far as it takes rows.
        do {
            path = PeriodFilePath(base, m_strPeriod, ++m_nReportPart);
            m_nReportRows = CountReportRows(path);
        } while (m_nReportRows >= kMaxReportRows);
    } else {
        path = PathToOpen(bReport, base);
    }
    BOOL bExisted = FALSE;
    std::unique_ptr<CRecordFile> file = CRecordFile::OpenToAppend(path, &bExisted);
    if (open->IsFailing())
        m_retired.emplace_back(bReport, std::move(open));
    Adopt(bReport, std::move(file), base);
    const RecordingSettings& s = m_settings;
    if (bReport && s.bAddComment) {
        const std::string block =
            FormatOpeningBlock(bExisted != FALSE, m_strComment, s.bAddSerial, m_host.InstrumentNumber());
        if (!block.empty())
            Append(*m_pReportFile, std::string(), block);
    }
}

// Told as the open files are once the rows are in: the box says so, and
// what the backlog's bound gave up.
void CRecorder::RetryRetired() {
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if (!it->second->Retry()) {
            ++it;
            continue;
        }
        const auto done = std::move(*it);
        it = m_retired.erase(it);
        TellWrite(*done.second, done.first, TRUE);
    }
}
