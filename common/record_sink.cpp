#include "common/record_sink.h"

CRecordSink::CRecordSink(CRecordFileIo& io, std::uint64_t nEnd, std::size_t nBacklogLimit)
    : m_io(io), m_nEnd(nEnd), m_nBacklogLimit(nBacklogLimit), m_nPendingBytes(0), m_nDropped(0), m_bBroken(false) {}

void CRecordSink::Reset(std::uint64_t nEnd) {
    m_nEnd = nEnd;
    m_pending.clear();
    m_nPendingBytes = 0;
    m_bBroken = false;
}

bool CRecordSink::Append(const std::string& strContext, const std::string& strBytes) {
    m_pending.push_back({strContext, strBytes});
    m_nPendingBytes += strContext.size() + strBytes.size();
    TrimBacklog();
    return WritePending();
}

bool CRecordSink::Retry() { return m_pending.empty() || WritePending(); }

void CRecordSink::OpenOnNextWrite() {
    m_nEnd = UINT64_MAX;  // whatever the file holds then is kept
    m_bBroken = true;
}

void CRecordSink::TrimBacklog() {
    // The newest piece always stays: it is the one being written now.
    while (m_nPendingBytes > m_nBacklogLimit && m_pending.size() > 1) {
        Piece& oldest = m_pending.front();
        Piece& next = m_pending[1];
        if (next.strContext.empty() && !oldest.strContext.empty()) {
            m_nPendingBytes -= oldest.strBytes.size();
            next.strContext.swap(oldest.strContext);
        } else {
            m_nPendingBytes -= oldest.strContext.size() + oldest.strBytes.size();
        }
        m_pending.pop_front();
        ++m_nDropped;
    }
}

// A handle that could not even be cut back is replaced; the file is then
// cut at the last good end again, unless it has become shorter meanwhile
// (then it is continued where it ends).
bool CRecordSink::Recover() {
    std::uint64_t nSize = 0;
    if (!m_io.Reopen(&nSize))
        return false;
    if (nSize > m_nEnd) {
        if (!m_io.SetEnd(m_nEnd))
            return false;
    } else {
        m_nEnd = nSize;
    }
    m_bBroken = false;
    return true;
}

bool CRecordSink::WritePending() {
    if (m_bBroken && !Recover())
        return false;
    std::string bytes;
    bytes.reserve(m_nPendingBytes);
    for (const Piece& piece : m_pending) {
        bytes += piece.strContext;
        bytes += piece.strBytes;
    }
    // A failed flush counts as a failed write: what the write handed over
    // may not be on the disk.
    const bool bWritten = m_io.Write(bytes);
    if (bWritten && m_io.Flush()) {
        m_nEnd += bytes.size();
        m_pending.clear();
        m_nPendingBytes = 0;
        return true;
    }
    if (!m_io.SetEnd(m_nEnd))
        m_bBroken = true;
    return false;
}
