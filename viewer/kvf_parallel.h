// Reading a whole binary log on several threads: the file is cut into
// pieces at record starts, each piece is parsed where it lies (a view of the
// mapped file, released when the piece is done), and the pieces' samples are
// handed on in file order. Records and damage are those of one KvfReader fed
// the whole file.
#pragma once

#include "viewer/kvf_reader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A file's bytes as stored, a window at a time; views may be taken from
// several threads at once.
class KvfSource {
public:
    virtual ~KvfSource() = default;
    virtual std::uint64_t Size() const = 0;
    class View {
    public:
        virtual ~View() = default;
        const unsigned char* data = nullptr;  // [offset, offset + size) of the file
    };
    // Null when the window cannot be had.
    virtual std::unique_ptr<View> Map(std::uint64_t offset, std::size_t size) = 0;
};

// Where a record lies in its file.
struct KvfPlace {
    std::uint64_t offset;
    std::uint32_t length;
};

// What one piece of the file holds.
struct KvfPiece {
    std::vector<KvfSample> samples;
    std::vector<KvfPlace> places;  // of each sample's record
    std::uint32_t file = 0;        // which of a series' files (set by the one who reads the series)
    std::uint64_t records = 0, damaged = 0;
    std::uint64_t begin = 0, end = 0;  // file offsets: where reading began and stopped
};

struct KvfParallelResult {
    enum Outcome { kRead, kForeign, kAborted, kNoMemory, kNoView } outcome = kRead;
    std::uint64_t records = 0, damaged = 0;
    // Where reading stopped: the file's end, or the start of a last record
    // not yet complete; a KvfReader goes on from here (Resume).
    std::uint64_t end = 0;
};

// Reads the whole source on `threads` threads in pieces of about
// pieceBytes; deliver gets each piece in file order on the calling thread
// (and may keep its samples). pAbort, when set, stops reading between pieces.
// An allocation failure on any thread ends reading with kNoMemory. Reading
// may begin at a record's start (`from`, where an earlier reading stopped):
// records and damage are then counted from there.
KvfParallelResult ReadKvfInParallel(KvfSource& source, int threads, std::size_t pieceBytes,
                                    const std::function<void(KvfPiece&)>& deliver,
                                    const std::atomic<bool>* pAbort = nullptr, std::uint64_t from = 0);

// The same for several files read one after another as one log (a
// series), the next file's pieces parsed while the last ones of the file
// before are handed on; each piece says its file (the index in sources),
// each file begins at its `from`. *pFiles: what reading each file gave, up
// to the one where reading stopped (that one with the outcome).
KvfParallelResult ReadKvfFilesInParallel(const std::vector<KvfSource*>& sources,
                                         const std::vector<std::uint64_t>& from, int threads, std::size_t pieceBytes,
                                         const std::function<void(KvfPiece&)>& deliver,
                                         const std::atomic<bool>* pAbort, std::vector<KvfParallelResult>* pFiles);

// Memory for the file a thread parses at once, on top of its samples.
inline std::size_t KvfViewBytes(std::size_t pieceBytes) { return pieceBytes + KvfReader::kMaxRecord; }
