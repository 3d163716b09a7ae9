// One binary log open in the viewer: its records summed up in chunks (the
// records themselves read back from the files when a drawing needs them),
// and the reader that has consumed the file so far, so that bytes appended while the
// log is recorded are read on from where reading stopped. A series (a file a
// day, week or month) is one log: its files are read in time order, the
// last one followed.
#pragma once

#include "framework/handles.h"
#include "recording/log_names.h"
#include "viewer/chart_export.h"
#include "viewer/chart_file_data.h"
#include "viewer/chart_summary.h"
#include "viewer/kvf_parallel.h"
#include "viewer/kvf_reader.h"
#include "viewer/kvf_timeline.h"
#include "viewer/time_zone.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CChartDocument : private KvfSink {
public:
    // The log's wall-clock times are read with the zone chosen.
    CChartDocument(const std::wstring& path, const ZoneChoice& zone);
    // The files of a series, in time order; the last is the one followed.
    CChartDocument(const std::vector<std::wstring>& paths, const ZoneChoice& zone);

    enum Result { kRead, kNothingNew, kOpenFailed, kForeign, kShrunk, kAborted, kNoMemory };
    // Reads what the file holds beyond what was read (at most maxBytes),
    // appending its records. pAbort is checked between pieces; pProgress, when
    // given, gets the bytes read so far and the file's size after each piece.
    Result ReadMore(std::uint64_t maxBytes, const std::atomic<bool>* pAbort,
                    void (*pProgress)(void* context, std::uint64_t done, std::uint64_t total) = nullptr,
                    void* context = nullptr);

    // The first reading of the files of paths from `first` on, on a worker
    // (the first from `from`, where a summary's reading stopped): mapped
    // and parsed on `threads` threads as one stream of pieces, the next
    // file's while the last of the one before are handed on; deliver gets
    // them in order on the calling thread (each with its file's index in
    // paths), to be given to TakePiece on the document's own thread, and
    // Loaded ends it there. (*pFiles)[i]: what file i gave; *pFailed: the
    // file that could not be read when the result says so.
    static Result ReadFiles(const std::vector<std::wstring>& paths, std::size_t first, std::uint64_t from,
                            int threads, const std::function<void(KvfPiece&)>& deliver,
                            const std::atomic<bool>* pAbort, std::vector<KvfParallelResult>* pFiles,
                            std::size_t* pFailed, DWORD* pError);
    // The summary beside the first of these files, when it is to be
    // believed for them (on a worker: it reads the files); false when there
    // is none or it is stale or foreign.
    static bool FindSummary(const std::vector<std::wstring>& paths, const ZoneChoice& zone, ChartSummary* pSummary);
    // Takes a summary FindSummary found, on the document's own thread,
    // before any piece; false, and nothing taken, when it does not fit.
    bool TakeSummary(ChartSummary& summary);
    // Writes the summary of what was read beside the first file (quietly
    // nothing where it cannot be written). Call after Loaded.
    bool SaveSummary() const;
    // The piece's samples are placed on the time axis here, in file order.
    void TakePiece(KvfPiece& piece);
    // files: what reading each of the series' files gave (a summary's
    // figures counted in), the last one's reading to be gone on with.
    void Loaded(const std::vector<KvfParallelResult>& files);
    // The recorder went on in the series' next file (a new day): ReadMore
    // reads that one from its start from now on, after what was read.
    void FollowNext(const std::wstring& path);

    // The records of [t0, t1] as CSV (qm487-kvf csv's columns and texts),
    // read again from the files; false when the file cannot be written.
    bool ExportCsv(double t0, double t1, const CsvFormat& format, const std::wstring& path,
                   std::uint64_t* pRows) const;

    const std::wstring& Path() const { return m_path; }
    const std::vector<std::wstring>& Paths() const { return m_paths; }
    // "pomiar.kvf", or for a series "pomiar_2026-12-01.kvf ... pomiar_2026-12-31.kvf (31 plik\xF3w)".
    std::string Title1250() const;
    const ChartFileData& Data() const { return m_data; }
    const KvfTimeline& Timeline() const { return m_timeline; }
    const ZoneChoice& Zone() const { return m_zone; }
    // The channels' names from the names file beside the log, as it was
    // when the log was opened (none without one).
    const LogNames& Names() const { return m_names; }
    std::uint64_t Damaged() const { return m_reader.DamageCount() + m_nEarlierDamaged; }
    std::uint64_t Records() const { return m_reader.RecordCount() + m_nEarlierRecords; }
    // Bytes of the file handed in by TakePiece so far (while it is read whole).
    std::uint64_t BytesTaken() const { return m_nTaken; }
    std::uint64_t FileSize() const { return m_nFileSize; }
    std::uint64_t BytesRead() const { return m_nOffset; }
    DWORD LastError() const { return m_dwError; }

private:
    void OnRecord(const KvfRecord& record) override;
    void Place(KvfPiece& piece);
    void MeasureFiles();
    std::shared_ptr<KvfSource> OpenFile(std::uint16_t file) const;
    void OnDamage(std::uint64_t offset, std::uint64_t length, const char* what) override {}

    std::vector<std::wstring> m_paths;
    std::wstring m_path;  // the last of m_paths
    LogNames m_names;
    ZoneChoice m_zone;
    std::unique_ptr<ZoneRules> m_pRules;
    KvfTimeline m_timeline;
    ChartFileData m_data;
    KvfReader m_reader;
    KvfPiece m_pending;  // records of the bytes being read
    std::vector<std::int64_t> m_wallClocks;
    std::uint64_t m_nOffset;           // bytes of the file fed to the reader
    std::uint64_t m_nTaken;
    std::uint64_t m_nTakenBefore = 0;  // bytes of the series' files read before this one
    std::uint64_t m_nEarlierRecords = 0, m_nEarlierDamaged = 0;
    std::uint64_t m_nFileSize;  // when the whole file was first read
    std::vector<KvfParallelResult> m_fileReads;  // by file, as Loaded got them
    DWORD m_dwError;
};

// A file on disk as a source of windows of its bytes: mapped views, or read
// into memory where a view cannot be had.
class CKvfFileSource : public KvfSource {
public:
    explicit CKvfFileSource(const std::wstring& path);
    bool IsOpen() const { return m_file.IsValid(); }
    DWORD LastError() const { return m_dwError; }
    std::uint64_t Size() const override { return m_nSize; }
    std::unique_ptr<View> Map(std::uint64_t offset, std::size_t size) override;

private:
    CHandle m_file;
    std::uint64_t m_nSize;
    DWORD m_dwError;
};

// Windows-1250 file name without its folder, for titles and messages.
std::string FileTitle1250(const std::wstring& path);
// The same for several: "first ... last (n plik\xF3w)".
std::string FilesTitle1250(const std::vector<std::wstring>& paths);

// The files of the series path belongs to, in its folder, in time order
// (path alone when it is in none).
std::vector<std::wstring> SeriesOfFile(const std::wstring& path);
// Files chosen together, put in a series' time order.
void SortSeries(std::vector<std::wstring>& paths);
