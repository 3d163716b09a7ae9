#include "database/point_queue.h"
#include "database/send_rules.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

DbPoint At(std::int64_t t) {
    DbPoint p = {};
    p.nTimeMs = t;
    p.bHasValue = true;
    return p;
}

}  // namespace

TEST(PointQueue, BatchesLeaveOnlyWhenReleasedAndInOrder) {
    CPointQueue queue(100);
    for (int t = 0; t < 12; ++t)
        queue.Push(At(t));
    std::vector<DbPoint> batch;
    std::uint64_t first = queue.PeekFront(batch, 5);
    ASSERT_EQ(batch.size(), 5u);
    EXPECT_EQ(batch.front().nTimeMs, 0);
    // A failed request releases nothing: the same points come again.
    first = queue.PeekFront(batch, 5);
    EXPECT_EQ(batch.front().nTimeMs, 0);
    queue.Release(first, batch.size());
    EXPECT_EQ(queue.Size(), 7u);
    first = queue.PeekFront(batch, 5000);
    ASSERT_EQ(batch.size(), 7u);
    EXPECT_EQ(batch.front().nTimeMs, 5);
    EXPECT_EQ(batch.back().nTimeMs, 11);
    queue.Release(first, batch.size());
    EXPECT_EQ(queue.Size(), 0u);
    queue.PeekFront(batch, 10);
    EXPECT_TRUE(batch.empty());
}

TEST(PointQueue, AFullQueueDropsTheOldestAndCountsThem) {
    CPointQueue queue(4);
    for (int t = 0; t < 10; ++t)
        queue.Push(At(t));
    EXPECT_EQ(queue.Size(), 4u);
    EXPECT_EQ(queue.Dropped(), 6u);
    std::vector<DbPoint> batch;
    queue.PeekFront(batch, 10);
    ASSERT_EQ(batch.size(), 4u);
    EXPECT_EQ(batch.front().nTimeMs, 6);
}

TEST(PointQueue, PointsDroppedWhileABatchIsOutAreNotReleasedTwice) {
    CPointQueue queue(4);
    for (int t = 0; t < 4; ++t)
        queue.Push(At(t));
    std::vector<DbPoint> batch;
    const std::uint64_t first = queue.PeekFront(batch, 3);  // 0, 1, 2 go out
    for (int t = 4; t < 6; ++t)
        queue.Push(At(t));  // 0 and 1 are pushed out meanwhile
    // Only 2 leaves as sent: 0 and 1 are counted as dropped, not twice.
    EXPECT_EQ(queue.Release(first, batch.size()), 1u);
    EXPECT_EQ(queue.Dropped(), 2u);
    // Only 2 was still there to leave; 3, 4 and 5 wait.
    queue.PeekFront(batch, 10);
    ASSERT_EQ(batch.size(), 3u);
    EXPECT_EQ(batch.front().nTimeMs, 3);
    EXPECT_EQ(batch.back().nTimeMs, 5);
    // A batch the capacity has wholly overtaken releases nothing.
    const std::uint64_t stale = first;
    for (int t = 6; t < 20; ++t)
        queue.Push(At(t));
    EXPECT_EQ(queue.Release(stale, 3), 0u);
    EXPECT_EQ(queue.Size(), 4u);
    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(queue.Dropped(), 15u);  // 0, 1 and then 7 to 19
}

TEST(PointQueue, APusherAndASenderTogetherLoseAndRepeatNothing) {
    CPointQueue queue(1000000);
    const int kPoints = 200000;
    std::vector<std::int64_t> seen;
    std::thread sender([&] {
        std::vector<DbPoint> batch;
        while (static_cast<int>(seen.size()) < kPoints) {
            const std::uint64_t first = queue.PeekFront(batch, dbsend::kMaxPointsPerRequest);
            for (const DbPoint& p : batch)
                seen.push_back(p.nTimeMs);
            queue.Release(first, batch.size());
        }
    });
    for (int t = 0; t < kPoints; ++t)
        queue.Push(At(t));
    sender.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kPoints));
    for (int t = 0; t < kPoints; ++t)
        ASSERT_EQ(seen[t], t);
}
