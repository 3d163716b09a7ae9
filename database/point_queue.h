// Points waiting for the database: filled by the window's thread as
// readings arrive, emptied from the front by the sender thread once the
// server has taken them. Bounded: past the capacity the oldest points go,
// and are counted.
#pragma once

#include "database/line_protocol.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class CPointQueue {
public:
    static const std::size_t kDefaultCapacity = 1000000;

    explicit CPointQueue(std::size_t nCapacity = kDefaultCapacity) : m_nCapacity(nCapacity ? nCapacity : 1) {}

    // Holds the lock only for the append (and at most one drop).
    void Push(const DbPoint& point);

    // Copies up to nMax points from the front into batch (replacing its
    // contents); returns the sequence number of the first, which Release
    // takes back. The points stay queued until then, so a batch that fails
    // is sent again, in order.
    std::uint64_t PeekFront(std::vector<DbPoint>& batch, std::size_t nMax) const;

    // The server took the nCount points from nFirst on. Those of them that
    // the capacity has pushed out meanwhile are already gone (and counted as
    // dropped); the rest leave, and their number is returned.
    std::size_t Release(std::uint64_t nFirst, std::size_t nCount);

    // Empties the queue; the dropped count stays.
    void Clear();

    std::size_t Size() const;
    // Points pushed out by the capacity since the queue was made.
    std::uint64_t Dropped() const;

private:
    const std::size_t m_nCapacity;
    mutable std::mutex m_mutex;
    std::deque<DbPoint> m_points;
    std::uint64_t m_nFrontSeq = 0;  // sequence number of m_points.front()
    std::uint64_t m_nDropped = 0;
};
