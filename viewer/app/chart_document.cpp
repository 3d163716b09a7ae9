#include "viewer/app/chart_document.h"

#include "framework/record_file.h"
#include "framework/text.h"
#include "viewer/host_zone.h"
#include "viewer/log_series.h"

#include <algorithm>

CChartDocument::CChartDocument(const std::wstring& path, const ZoneChoice& zone)
    : CChartDocument(std::vector<std::wstring>{path}, zone) {}

CChartDocument::CChartDocument(const std::vector<std::wstring>& paths, const ZoneChoice& zone)
    : m_paths(paths),
      m_path(paths.back()),
      m_zone(zone),
      m_pRules(MakeZoneRules(zone)),
      m_timeline(*m_pRules),
      m_data([this](std::uint16_t file) { return OpenFile(file); }),
      m_reader(this),
      m_nOffset(0),
      m_nTaken(0),
      m_nFileSize(0),
      m_dwError(0) {
    m_reader.LeaveOutText();  // the chart keeps the numbers only
    const std::string suffix = kLogNamesSuffix;
    std::string text;
    // The names as the newest file has them.
    if (ReadSmallFile(m_path + std::wstring(suffix.begin(), suffix.end()), 4096, &text))
        m_names = ParseLogNames(text);
}

CChartDocument::Result CChartDocument::ReadFiles(const std::vector<std::wstring>& paths, std::size_t first,
                                                 std::uint64_t from, int threads,
                                                 const std::function<void(KvfPiece&)>& deliver,
                                                 const std::atomic<bool>* pAbort,
                                                 std::vector<KvfParallelResult>* pFiles, std::size_t* pFailed,
                                                 DWORD* pError) {
    std::vector<std::unique_ptr<CKvfFileSource>> files;
    std::vector<KvfSource*> sources;
    std::vector<std::uint64_t> froms;
    *pFailed = paths.size();
    // Read up to the first that cannot be opened; that one ends it.
    for (std::size_t i = first; i < paths.size(); ++i) {
        files.emplace_back(new CKvfFileSource(paths[i]));
        if (!files.back()->IsOpen()) {
            *pFailed = i;
            *pError = files.back()->LastError();
            break;
        }
        sources.push_back(files.back().get());
        froms.push_back(i == first ? from : 0);
    }
    std::vector<KvfParallelResult> got;
    // Pieces of 4 MB: what the threads hold of the files at once stays small.
    const KvfParallelResult r = ReadKvfFilesInParallel(
        sources, froms, threads, 4u << 20,
        [&](KvfPiece& piece) {
            piece.file += static_cast<std::uint32_t>(first);
            deliver(piece);
        },
        pAbort, &got);
    bool read = false;
    for (std::size_t k = 0; k < got.size(); ++k) {
        read = read || got[k].end > froms[k];
        (*pFiles)[first + k] = got[k];
    }
    switch (r.outcome) {
    case KvfParallelResult::kRead:
        if (*pFailed < paths.size())
            return kOpenFailed;
        return read ? kRead : kNothingNew;
    case KvfParallelResult::kForeign:
        *pFailed = first + got.size() - 1;
        return kForeign;
    case KvfParallelResult::kAborted:
        return kAborted;
    case KvfParallelResult::kNoMemory:
        return kNoMemory;
    case KvfParallelResult::kNoView:
        break;
    }
    *pFailed = first + (got.empty() ? 0 : got.size() - 1);
    *pError = GetLastError();
    return kOpenFailed;
}

// A series' files come one after another, each from its offset 0.
void CChartDocument::TakePiece(KvfPiece& piece) {
    const bool first = m_nTaken == 0;
    if (piece.begin == 0)
        m_nTakenBefore = m_nTaken;
    Place(piece);
    m_nTaken = m_nTakenBefore + piece.end;
    if (first) {
        MeasureFiles();
        // As many records a byte as the first piece holds, with a margin.
        if (piece.end > piece.begin)
            m_data.Reserve(static_cast<std::size_t>(static_cast<double>(piece.samples.size()) * m_nFileSize /
                                                    static_cast<double>(piece.end - piece.begin) * 1.03));
    }
}

void CChartDocument::MeasureFiles() {
    m_nFileSize = 0;
    for (const std::wstring& path : m_paths) {
        LARGE_INTEGER size = {};
        CHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
        if (file.IsValid() && GetFileSizeEx(file.Get(), &size))
            m_nFileSize += static_cast<std::uint64_t>(size.QuadPart);
    }
}

// The samples placed on the time axis, their wall clocks kept beside for the chunks.
void CChartDocument::Place(KvfPiece& piece) {
    m_wallClocks.resize(piece.samples.size());
    for (std::size_t i = 0; i < piece.samples.size(); ++i)
        m_wallClocks[i] = piece.samples[i].seconds;
    m_timeline.Place(piece.samples.data(), piece.samples.size());
    m_data.Extend(piece.samples.data(), m_wallClocks.data(), piece.places.data(), piece.samples.size(), piece.file);
}

std::shared_ptr<KvfSource> CChartDocument::OpenFile(std::uint16_t file) const {
    if (file >= m_paths.size())
        return nullptr;
    std::shared_ptr<CKvfFileSource> source = std::make_shared<CKvfFileSource>(m_paths[file]);
    return source->IsOpen() ? source : nullptr;
}

void CChartDocument::Loaded(const std::vector<KvfParallelResult>& files) {
    m_fileReads = files;
    const KvfParallelResult result = files.empty() ? KvfParallelResult() : files.back();
    m_nEarlierRecords = m_nEarlierDamaged = 0;
    for (std::size_t i = 0; i + 1 < files.size(); ++i) {
        m_nEarlierRecords += files[i].records;
        m_nEarlierDamaged += files[i].damaged;
    }
    m_reader.Resume(result.end, result.records, result.damaged);
    m_nOffset = result.end;
}

void CChartDocument::FollowNext(const std::wstring& path) {
    m_nEarlierRecords += m_reader.RecordCount();
    m_nEarlierDamaged += m_reader.DamageCount();
    m_reader = KvfReader(this);
    m_reader.LeaveOutText();
    m_paths.push_back(path);
    m_path = path;
    m_nOffset = 0;
}

void CChartDocument::OnRecord(const KvfRecord& record) {
    m_pending.samples.push_back(MakeSample(record));
    m_pending.places.push_back(KvfPlace{record.offset, record.length});
}

CChartDocument::Result CChartDocument::ReadMore(std::uint64_t maxBytes, const std::atomic<bool>* pAbort,
                                                void (*pProgress)(void*, std::uint64_t, std::uint64_t), void* context) {
    // The recorder keeps the log open for writing; share that.
    CHandle file(CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid()) {
        m_dwError = GetLastError();
        return kOpenFailed;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) {
        m_dwError = GetLastError();
        return kOpenFailed;
    }
    const std::uint64_t total = static_cast<std::uint64_t>(size.QuadPart);
    // Erased and started again by the recorder: what was read is gone.
    if (total < m_nOffset)
        return kShrunk;
    if (total == m_nOffset)
        return kNothingNew;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(m_nOffset);
    if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) {
        m_dwError = GetLastError();
        return kOpenFailed;
    }
    const std::uint64_t end = total - m_nOffset > maxBytes ? m_nOffset + maxBytes : total;
    std::vector<unsigned char> buffer(1 << 22);
    while (m_nOffset < end) {
        if (pAbort != nullptr && pAbort->load())
            return kAborted;
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(buffer.size(), end - m_nOffset));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer.data(), want, &got, nullptr)) {
            m_dwError = GetLastError();
            return kOpenFailed;
        }
        if (got == 0)
            break;
        m_reader.Feed(buffer.data(), got);
        m_nOffset += got;
        if (!m_pending.samples.empty()) {
            m_pending.file = static_cast<std::uint32_t>(m_paths.size() - 1);
            Place(m_pending);
            m_pending.samples.clear();
            m_pending.places.clear();
        }
        if (pProgress != nullptr)
            pProgress(context, m_nOffset, total);
    }
    // Damage before a tail that may still become a record is told now.
    m_reader.Finish();
    if (m_reader.IsForeign())
        return kForeign;
    return kRead;
}

std::string CChartDocument::Title1250() const { return FilesTitle1250(m_paths); }

std::string FilesTitle1250(const std::vector<std::wstring>& paths) {
    if (paths.size() == 1)
        return FileTitle1250(paths[0]);
    const std::size_t n = paths.size();
    const bool few = n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14);
    return FileTitle1250(paths.front()) + " ... " + FileTitle1250(paths.back()) + " (" + std::to_string(n) +
           (few ? " pliki)" : " plik\xF3w)");
}

// Names are compared as UTF-8: the series' rule reads only their ASCII ends.
std::vector<std::wstring> SeriesOfFile(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(afx::NarrowUtf8(found.cFileName));
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    std::vector<std::wstring> series;
    for (const std::string& name : SeriesFiles(afx::NarrowUtf8(path.substr(folder.size())), names))
        series.push_back(folder + afx::WidenUtf8(name));
    return series;
}

void SortSeries(std::vector<std::wstring>& paths) {
    std::stable_sort(paths.begin(), paths.end(), [](const std::wstring& a, const std::wstring& b) {
        const std::wstring::size_type sa = a.find_last_of(L"\\/"), sb = b.find_last_of(L"\\/");
        return SeriesBefore(ParseSeriesName(afx::NarrowUtf8(a.substr(sa == std::wstring::npos ? 0 : sa + 1))),
                            ParseSeriesName(afx::NarrowUtf8(b.substr(sb == std::wstring::npos ? 0 : sb + 1))));
    });
}

std::string FileTitle1250(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return afx::Narrow1250(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// ---- the file's bytes ----

namespace {

class CMappedView : public KvfSource::View {
public:
    explicit CMappedView(const void* base) : m_pBase(base) {}
    ~CMappedView() override { UnmapViewOfFile(m_pBase); }

private:
    const void* m_pBase;
};

class CReadView : public KvfSource::View {
public:
    std::vector<unsigned char> bytes;
};

}  // namespace

CKvfFileSource::CKvfFileSource(const std::wstring& path)
    : m_file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)),
      m_nSize(0),
      m_dwError(0) {
    LARGE_INTEGER size;
    if (!m_file.IsValid() || !GetFileSizeEx(m_file.Get(), &size)) {
        m_dwError = GetLastError();
        m_file.Close();
        return;
    }
    m_nSize = static_cast<std::uint64_t>(size.QuadPart);
}

std::unique_ptr<KvfSource::View> CKvfFileSource::Map(std::uint64_t offset, std::size_t size) {
    // Mapped as it was when opened, for this view only: a chart keeps its
    // files open, and a file mapped between views could not be emptied by
    // the recorder starting it again.
    CHandle mapping(m_nSize > 0 ? CreateFileMappingW(m_file.Get(), nullptr, PAGE_READONLY,
                                                     static_cast<DWORD>(m_nSize >> 32), static_cast<DWORD>(m_nSize),
                                                     nullptr)
                                : nullptr);
    if (mapping.IsValid()) {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        const std::uint64_t start = offset - offset % si.dwAllocationGranularity;
        const std::size_t skip = static_cast<std::size_t>(offset - start);
        const void* base = MapViewOfFile(mapping.Get(), FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                                         static_cast<DWORD>(start), skip + size);
        if (base != nullptr) {
            std::unique_ptr<View> view(new CMappedView(base));
            view->data = static_cast<const unsigned char*>(base) + skip;
            return view;
        }
    }
    // No view: the window read into memory.
    std::unique_ptr<CReadView> view(new CReadView);
    view->bytes.resize(size);
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 24));
        if (!ReadFile(m_file.Get(), view->bytes.data() + done, want, &got, &at) || got == 0)
            return nullptr;
        done += got;
    }
    view->data = view->bytes.data();
    return view;
}
