#include "viewer/kvf_parallel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace {

// How often a wait looks again at what it waits for, whether or not it was
// woken.
constexpr std::chrono::milliseconds kRecheck(100);

// Farthest from a nominal cut that a record start is looked for; a piece
// whose cut falls in longer damage is read with the piece before.
const std::size_t kCutSearch = 64 * 1024;

class PieceSink : public KvfSink {
public:
    explicit PieceSink(KvfPiece* piece) : m_pPiece(piece) {}
    void OnRecord(const KvfRecord& record) override {
        m_pPiece->samples.push_back(MakeSample(record));
        m_pPiece->places.push_back(KvfPlace{record.offset, record.length});
    }
    void OnDamage(std::uint64_t, std::uint64_t, const char*) override {}

private:
    KvfPiece* m_pPiece;
};

enum PieceStatus { kParsed, kForeignPiece, kNoViewPiece };

// The records that begin in [begin, stop), judged with the bytes up to
// kMaxRecord beyond stop.
PieceStatus ParsePiece(KvfSource& source, std::uint64_t begin, std::uint64_t stop, KvfPiece* piece) {
    const std::uint64_t size = source.Size();
    const std::uint64_t viewEnd = std::min<std::uint64_t>(size, stop + KvfReader::kMaxRecord);
    piece->begin = begin;
    piece->end = stop;
    if (stop <= begin)
        return kParsed;
    std::unique_ptr<KvfSource::View> view = source.Map(begin, static_cast<std::size_t>(viewEnd - begin));
    if (!view)
        return kNoViewPiece;
    PieceSink sink(piece);
    KvfReader reader(&sink);
    reader.LeaveOutText();  // samples keep the numbers only
    if (begin > 0)
        reader.Resume(begin, 0, 0);
    // A piece holds about a record per 100 bytes at most of a real log.
    piece->samples.reserve(static_cast<std::size_t>((stop - begin) / 100 + 16));
    piece->places.reserve(piece->samples.capacity());
    const std::size_t pos = reader.ScanStored(view->data, static_cast<std::size_t>(viewEnd - begin), begin,
                                              static_cast<std::size_t>(stop - begin));
    piece->end = begin + pos;
    piece->records = reader.RecordCount();
    piece->damaged = reader.DamageCount();
    return reader.IsForeign() ? kForeignPiece : kParsed;
}

// A piece: the records of file `file` that begin in [begin, stop).
struct Cut {
    std::size_t file;
    std::uint64_t begin, stop;
};

// Each file's pieces: from `from`, then from the first record start after each cut.
bool CutPoints(KvfSource& source, std::size_t file, std::size_t pieceBytes, std::uint64_t from,
               std::vector<Cut>* pCuts) {
    const std::uint64_t size = source.Size();
    std::uint64_t begin = from;
    for (std::uint64_t cut = from + pieceBytes; cut < size; cut += pieceBytes) {
        const std::size_t window = static_cast<std::size_t>(
            std::min<std::uint64_t>(size - cut, std::min(pieceBytes, kCutSearch) + KvfReader::kMaxRecord));
        std::unique_ptr<KvfSource::View> view = source.Map(cut, window);
        if (!view)
            return false;
        for (std::size_t i = 0; i < std::min(window, std::min(pieceBytes, kCutSearch)); ++i) {
            if (KvfReader::RecordAt(view->data + i, window - i)) {
                pCuts->push_back(Cut{file, begin, cut + i});
                begin = cut + i;
                break;
            }
        }
    }
    pCuts->push_back(Cut{file, begin, std::max(begin, size)});
    return true;
}

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<KvfSource*> sources;
    std::vector<Cut> cuts;
    std::vector<std::unique_ptr<KvfPiece>> pieces;  // by index; set when parsed
    std::vector<PieceStatus> status;
    std::size_t next = 0;       // first piece nobody has taken
    std::size_t delivered = 0;  // pieces handed on
    std::size_t ahead = 4;      // pieces parsed before their turn, at most
    bool stop = false;
    KvfParallelResult::Outcome failure = KvfParallelResult::kRead;

    std::size_t Count() const { return cuts.size(); }
    // Takes the next piece when its turn is near; false when there is none to take now.
    bool Take(std::size_t* pIndex) {
        if (stop || next >= Count() || next >= delivered + ahead)
            return false;
        *pIndex = next++;
        return true;
    }
    void Parse(std::size_t k, std::unique_lock<std::mutex>& held) {
        held.unlock();
        std::unique_ptr<KvfPiece> piece;
        PieceStatus status = kParsed;
        KvfParallelResult::Outcome failed = KvfParallelResult::kRead;
        try {
            piece.reset(new KvfPiece);
            status = ParsePiece(*sources[cuts[k].file], cuts[k].begin, cuts[k].stop, piece.get());
            piece->file = static_cast<std::uint32_t>(cuts[k].file);
        } catch (const std::exception&) {
            failed = KvfParallelResult::kNoMemory;
        }
        held.lock();
        if (failed != KvfParallelResult::kRead) {
            failure = failed;
            stop = true;
        } else {
            pieces[k] = std::move(piece);
            this->status[k] = status;
        }
        changed.notify_all();
    }
};

void Worker(Shared* shared) {
    std::unique_lock<std::mutex> held(shared->lock);
    for (;;) {
        std::size_t k;
        // Bounded, and looked at again: the MinGW runtime's condition
        // variable has been seen to lose a wake-up under Wine.
        while (!shared->changed.wait_for(held, kRecheck, [&] {
            return shared->stop || shared->next >= shared->Count() || shared->next < shared->delivered + shared->ahead;
        })) {
        }
        if (!shared->Take(&k))
            return;
        shared->Parse(k, held);
    }
}

}  // namespace

KvfParallelResult ReadKvfFilesInParallel(const std::vector<KvfSource*>& sources,
                                         const std::vector<std::uint64_t>& from, int threads, std::size_t pieceBytes,
                                         const std::function<void(KvfPiece&)>& deliver,
                                         const std::atomic<bool>* pAbort, std::vector<KvfParallelResult>* pFiles) {
    KvfParallelResult result;
    Shared shared;
    std::vector<std::thread> workers;
    std::vector<KvfParallelResult>& files = *pFiles;
    files.clear();
    auto finish = [&](KvfParallelResult::Outcome outcome) {
        {
            std::lock_guard<std::mutex> held(shared.lock);
            shared.stop = true;
        }
        shared.changed.notify_all();
        for (std::thread& t : workers)
            t.join();
        result.outcome = outcome;
        if (!files.empty())
            files.back().outcome = outcome;
        return result;
    };
    try {
        pieceBytes = std::max<std::size_t>(pieceBytes, 1024);
        // A file whose pieces cannot be found ends the reading there, after the files before it.
        std::size_t count = 0;
        while (count < sources.size() && CutPoints(*sources[count], count, pieceBytes, from[count], &shared.cuts))
            ++count;
        shared.sources = sources;
        shared.pieces.resize(shared.Count());
        shared.status.resize(shared.Count(), kParsed);
        shared.ahead = static_cast<std::size_t>(std::max(threads, 1)) * 4;
        for (int t = 1; t < threads && static_cast<std::size_t>(t) < shared.Count(); ++t) {
            try {
                workers.emplace_back(Worker, &shared);
            } catch (const std::system_error&) {
                break;  // fewer threads, then
            }
        }
        std::uint64_t reached = 0;  // where the pieces of the file handed on stopped
        std::unique_lock<std::mutex> held(shared.lock);
        while (shared.delivered < shared.Count()) {
            if (shared.stop)
                break;
            if (pAbort != nullptr && pAbort->load()) {
                held.unlock();
                return finish(KvfParallelResult::kAborted);
            }
            const std::size_t k = shared.delivered;
            if (!shared.pieces[k]) {
                std::size_t mine;
                if (shared.Take(&mine))
                    shared.Parse(mine, held);  // this thread parses too while it waits
                else
                    shared.changed.wait_for(held, kRecheck, [&] { return shared.stop || shared.pieces[k] != nullptr; });
                continue;
            }
            std::unique_ptr<KvfPiece> piece = std::move(shared.pieces[k]);
            const PieceStatus status = shared.status[k];
            held.unlock();
            const Cut& cut = shared.cuts[k];
            if (files.size() <= cut.file) {
                files.resize(cut.file + 1);  // the next file begins
                reached = cut.begin;
            }
            if (status == kNoViewPiece)
                return finish(KvfParallelResult::kNoView);
            if (status == kForeignPiece)
                return finish(KvfParallelResult::kForeign);
            if (reached != piece->begin) {
                // A record of the piece before ran over this one's start: read
                // on from where that record ended (damage can make this).
                piece.reset(new KvfPiece);
                if (ParsePiece(*sources[cut.file], reached, std::max(reached, cut.stop), piece.get()) == kNoViewPiece)
                    return finish(KvfParallelResult::kNoView);
                piece->file = static_cast<std::uint32_t>(cut.file);
            }
            reached = piece->end;
            result.records += piece->records;
            result.damaged += piece->damaged;
            files[cut.file].records += piece->records;
            files[cut.file].damaged += piece->damaged;
            files[cut.file].end = reached;
            result.end = reached;
            deliver(*piece);
            piece.reset();
            held.lock();
            ++shared.delivered;
            shared.changed.notify_all();
        }
        held.unlock();
        if (shared.failure != KvfParallelResult::kRead)
            return finish(shared.failure);
        if (count < sources.size()) {
            files.resize(count + 1);
            return finish(KvfParallelResult::kNoView);
        }
        return finish(KvfParallelResult::kRead);
    } catch (const std::exception&) {
        return finish(KvfParallelResult::kNoMemory);
    }
}

KvfParallelResult ReadKvfInParallel(KvfSource& source, int threads, std::size_t pieceBytes,
                                    const std::function<void(KvfPiece&)>& deliver, const std::atomic<bool>* pAbort,
                                    std::uint64_t from) {
    std::vector<KvfParallelResult> files;
    KvfParallelResult result = ReadKvfFilesInParallel({&source}, {from}, threads, pieceBytes, deliver, pAbort, &files);
    if (files.empty())
        result.end = from;
    return result;
}
