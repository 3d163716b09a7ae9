// Appending whole rows or records to a recording file that may stop taking
// them (disk full, share gone) and start again.
//
// Every piece goes in with one write call and is flushed. When the write or
// the flush fails, whatever part of it reached the file is cut off again, so
// a half row never stays behind a later good one; the piece waits, and the
// next append writes everything that waits, oldest first, in one call. The
// pieces that wait are bounded: past the limit the oldest are given up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The open file under a sink, as the platform offers it.
class CRecordFileIo {
public:
    virtual ~CRecordFileIo() = default;
    // One write call at the current position; true when every byte went in.
    virtual bool Write(const std::string& bytes) = 0;
    virtual bool Flush() = 0;
    // Cuts the file at nSize and moves the position there.
    virtual bool SetEnd(std::uint64_t nSize) = 0;
    // Opens the same file again after its handle failed, positioned at its
    // end; *pnSize: its length.
    virtual bool Reopen(std::uint64_t* pnSize) = 0;
};

class CRecordSink {
public:
    // Four megabytes: two days of rows at one a second, over a year at the
    // usual minute.
    static const std::size_t kDefaultBacklogLimit = 4u << 20;

    CRecordSink(CRecordFileIo& io, std::uint64_t nEnd, std::size_t nBacklogLimit = kDefaultBacklogLimit);

    // Nothing waits; the file's good content ends at nEnd (after it was opened).
    void Reset(std::uint64_t nEnd);

    // Queues strContext + strBytes after everything before it and writes what
    // waits. strContext is what later pieces need in order to be read (a
    // header line): should this piece be given up, it moves on to the next.
    // TRUE when everything was written.
    bool Append(const std::string& strContext, const std::string& strBytes);
    // Writes what waits, if anything; TRUE when nothing waits any more.
    bool Retry();
    // The file could not be opened: the next write opens it and goes on at
    // its end, and so does each one after until that works.
    void OpenOnNextWrite();

    bool IsFailing() const { return !m_pending.empty(); }
    std::size_t PendingPieces() const { return m_pending.size(); }
    std::size_t PendingBytes() const { return m_nPendingBytes; }
    // Pieces given up since the sink was made.
    std::uint64_t DroppedPieces() const { return m_nDropped; }
    // Where the file's good content ends.
    std::uint64_t End() const { return m_nEnd; }

private:
    struct Piece {
        std::string strContext;
        std::string strBytes;
    };

    bool WritePending();
    bool Recover();
    void TrimBacklog();

    CRecordFileIo& m_io;
    std::uint64_t m_nEnd;
    std::size_t m_nBacklogLimit;
    std::deque<Piece> m_pending;
    std::size_t m_nPendingBytes;
    std::uint64_t m_nDropped;
    bool m_bBroken;  // not even the cut worked: the file is opened again first
};
