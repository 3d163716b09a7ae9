#include "viewer/app/kreslo_document.h"

#include "framework/text.h"

#include <algorithm>

CChartDocument::CChartDocument(const std::wstring& path)
    : m_path(path), m_reader(this), m_nOffset(0), m_dwError(0) {}

void CChartDocument::OnRecord(const KvfRecord& record) { m_pending.push_back(MakeSample(record)); }

CChartDocument::Result CChartDocument::ReadMore(std::uint64_t maxBytes, const std::atomic<bool>* pAbort,
                                                void (*pProgress)(void*, std::uint64_t, std::uint64_t),
                                                void* context) {
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
        if (!m_pending.empty()) {
            m_data.Append(m_pending.data(), m_pending.size());
            m_pending.clear();
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

std::string FileTitle1250(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return afx::Narrow1250(slash == std::wstring::npos ? path : path.substr(slash + 1));
}
