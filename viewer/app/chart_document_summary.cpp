// A log's summary beside it: found and believed on the loader's thread,
// taken on the window's, written once the log is read; and the log's
// records written out again, as a summary lets them be found.
#include "viewer/app/chart_document.h"

#include "framework/text.h"
#include "viewer/host_zone.h"

namespace {

std::wstring SummaryPath(const std::vector<std::wstring>& paths) {
    const std::string suffix = kChartSummarySuffix;
    return paths.front() + std::wstring(suffix.begin(), suffix.end());
}

std::string NameOf(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return afx::NarrowUtf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

}  // namespace

bool CChartDocument::FindSummary(const std::vector<std::wstring>& paths, const ZoneChoice& zone,
                                 ChartSummary* pSummary) {
    if (paths.empty())
        return false;
    // A summary is about 1/170 of its logs: one far larger is none, and is not read.
    std::uint64_t logs = 0;
    for (const std::wstring& path : paths)
        logs += CKvfFileSource(path).Size();
    CKvfFileSource file(SummaryPath(paths));
    if (!file.IsOpen() || file.Size() == 0 || file.Size() > logs / 16 + (1u << 20))
        return false;
    std::unique_ptr<KvfSource::View> view = file.Map(0, static_cast<std::size_t>(file.Size()));
    ChartSummary summary;
    if (!view || !ParseChartSummary(view->data, static_cast<std::size_t>(file.Size()), &summary))
        return false;
    view.reset();
    if (summary.files.empty() || summary.files.size() > paths.size())
        return false;
    // Each file as it was up to where it was read; only the last may have grown.
    for (std::size_t i = 0; i < summary.files.size(); ++i) {
        const ChartSummaryFile& f = summary.files[i];
        CKvfFileSource log(paths[i]);
        const bool last = i + 1 == summary.files.size();
        if (!log.IsOpen() || f.name != NameOf(paths[i]) || (last ? log.Size() < f.length : log.Size() != f.length) ||
            LogFingerprint(log, f.size) != f.fingerprint)
            return false;
    }
    const std::unique_ptr<ZoneRules> rules(MakeZoneRules(zone));
    KvfTimeline probe(*rules);
    if (ZoneFingerprint(*rules, summary.chunks) != summary.zone || !probe.Restore(summary.timeline))
        return false;
    *pSummary = std::move(summary);
    return true;
}

bool CChartDocument::TakeSummary(ChartSummary& summary) {
    if (!m_timeline.Restore(summary.timeline) || !m_data.Restore(std::move(summary.chunks), summary.channels))
        return false;
    m_nTakenBefore = 0;
    for (std::size_t i = 0; i + 1 < summary.files.size(); ++i)
        m_nTakenBefore += summary.files[i].size;
    m_nTaken = m_nTakenBefore + summary.files.back().size;
    MeasureFiles();
    return true;
}

bool CChartDocument::SaveSummary() const {
    if (m_fileReads.size() != m_paths.size() || m_data.Size() == 0)
        return false;
    ChartSummary head;
    head.zone = ZoneFingerprint(*m_pRules, m_data.Chunks());
    head.timeline = m_timeline.State();
    for (std::size_t i = 0; i < m_paths.size(); ++i) {
        CKvfFileSource log(m_paths[i]);
        ChartSummaryFile f;
        f.name = NameOf(m_paths[i]);
        f.size = m_fileReads[i].end;
        f.length = log.Size();
        f.records = m_fileReads[i].records;
        f.damaged = m_fileReads[i].damaged;
        f.fingerprint = LogFingerprint(log, f.size);
        if (!log.IsOpen() || f.size > f.length)
            return false;
        head.files.push_back(f);
    }
    const std::wstring path = SummaryPath(m_paths), temporary = path + L".tmp";
    bool written;
    {
        CHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid())
            return false;  // a folder the user may not write to: no summary, nothing lost
        // The chunks are written as they are held: no copy of them is made.
        written = WriteChartSummary(head, m_data.Chunks(), m_data.ChunkChannels(), [&file](const void* data, std::size_t size) {
            DWORD done = 0;
            return WriteFile(file.Get(), data, static_cast<DWORD>(size), &done, nullptr) && done == size;
        });
    }
    if (!written || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool CChartDocument::ExportCsv(double t0, double t1, const CsvFormat& format, const std::wstring& path,
                               std::uint64_t* pRows) const {
    CHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.IsValid())
        return false;
    std::string text = CsvHeader(format);
    bool ok = true;
    auto flush = [&]() {
        DWORD done = 0;
        ok = ok && (text.empty() || (WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                                     done == text.size()));
        text.clear();
    };
    *pRows = 0;
    // Only the chunks of the range are read, wherever in which file they lie.
    m_data.ForEachRecord(t0, t1, [&](const KvfRecord& record, std::int64_t time) {
        AppendCsvRow(text, record, m_timeline.OffsetAt(time), format);
        ++*pRows;
        if (text.size() >= (1u << 20))
            flush();
    });
    flush();
    return ok;
}
