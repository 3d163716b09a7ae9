// Appending whole pieces to a file that fills up, fails to flush or loses
// its handle: nothing half-written stays, nothing waiting is lost or
// reordered, and the backlog stays bounded.
#include "common/record_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// A file in memory on a disk of nCapacity bytes.
class MemoryFile : public CRecordFileIo {
public:
    std::string content;
    std::size_t position = 0;
    std::size_t capacity = 1 << 20;
    bool flushFails = false;
    bool setEndFails = false;
    bool reopenFails = false;
    int writeCalls = 0;
    int reopens = 0;

    bool Write(const std::string& bytes) override {
        ++writeCalls;
        const std::size_t room = capacity > position ? capacity - position : 0;
        const std::size_t n = std::min(room, bytes.size());
        if (content.size() < position + n)
            content.resize(position + n);
        content.replace(position, n, bytes, 0, n);
        position += n;
        return n == bytes.size();
    }
    bool Flush() override { return !flushFails; }
    bool SetEnd(std::uint64_t size) override {
        if (setEndFails)
            return false;
        content.resize(static_cast<std::size_t>(size));
        position = static_cast<std::size_t>(size);
        return true;
    }
    bool Reopen(std::uint64_t* size) override {
        ++reopens;
        if (reopenFails)
            return false;
        position = content.size();
        *size = content.size();
        return true;
    }
};

}  // namespace

TEST(RecordSink, PiecesGoInWholeAndInOrder) {
    MemoryFile file;
    file.content = "old\r\n";
    file.position = 5;
    CRecordSink sink(file, 5);
    EXPECT_TRUE(sink.Append("H\r\n", "row 1\r\n"));
    EXPECT_TRUE(sink.Append("", "row 2\r\n"));
    EXPECT_EQ(file.content, "old\r\nH\r\nrow 1\r\nrow 2\r\n");
    EXPECT_EQ(file.writeCalls, 2);  // context and row in one call
    EXPECT_EQ(sink.End(), file.content.size());
    EXPECT_FALSE(sink.IsFailing());
    EXPECT_TRUE(sink.Retry());
    EXPECT_EQ(file.writeCalls, 2);  // nothing waited, nothing written
}

TEST(RecordSink, AFullDiskLeavesNoHalfRowAndTheWaitingRowsFollowInOneWrite) {
    MemoryFile file;
    CRecordSink sink(file, 0);
    ASSERT_TRUE(sink.Append("H\r\n", "row 1\r\n"));
    file.capacity = file.content.size() + 3;  // the next row fits only in part
    EXPECT_FALSE(sink.Append("", "row 2\r\n"));
    EXPECT_EQ(file.content, "H\r\nrow 1\r\n");
    EXPECT_TRUE(sink.IsFailing());
    EXPECT_FALSE(sink.Append("", "row 3\r\n"));
    EXPECT_EQ(file.content, "H\r\nrow 1\r\n");
    EXPECT_EQ(sink.PendingPieces(), 2u);

    file.capacity = 1 << 20;  // room again
    const int calls = file.writeCalls;
    EXPECT_TRUE(sink.Append("", "row 4\r\n"));
    EXPECT_EQ(file.writeCalls, calls + 1);
    EXPECT_EQ(file.content, "H\r\nrow 1\r\nrow 2\r\nrow 3\r\nrow 4\r\n");
    EXPECT_FALSE(sink.IsFailing());
    EXPECT_EQ(sink.DroppedPieces(), 0u);
}

TEST(RecordSink, AFailedFlushIsAFailedWrite) {
    MemoryFile file;
    CRecordSink sink(file, 0);
    file.flushFails = true;
    EXPECT_FALSE(sink.Append("", "a\r\n"));
    EXPECT_EQ(file.content, "");
    file.flushFails = false;
    EXPECT_TRUE(sink.Retry());
    EXPECT_EQ(file.content, "a\r\n");
}

TEST(RecordSink, AHandleThatCannotBeCutBackIsOpenedAgain) {
    MemoryFile file;
    CRecordSink sink(file, 0);
    ASSERT_TRUE(sink.Append("", "good\r\n"));
    file.capacity = 8;
    file.setEndFails = true;
    EXPECT_FALSE(sink.Append("", "half\r\n"));
    EXPECT_EQ(file.content, "good\r\nha");  // the cut failed too

    // Not open again yet: nothing is written over the half row.
    file.reopenFails = true;
    EXPECT_FALSE(sink.Append("", "next\r\n"));
    EXPECT_EQ(file.content, "good\r\nha");

    file.reopenFails = false;
    file.setEndFails = false;
    file.capacity = 1 << 20;
    EXPECT_TRUE(sink.Retry());
    EXPECT_EQ(file.content, "good\r\nhalf\r\nnext\r\n");
    EXPECT_GE(file.reopens, 2);
}

TEST(RecordSink, AFileThatBecameShorterIsContinuedAtItsEnd) {
    MemoryFile file;
    CRecordSink sink(file, 0);
    ASSERT_TRUE(sink.Append("", "one\r\ntwo\r\n"));
    file.setEndFails = true;
    file.flushFails = true;
    EXPECT_FALSE(sink.Append("", "three\r\n"));
    // Meanwhile someone emptied the file.
    file.content.clear();
    file.setEndFails = file.flushFails = false;
    EXPECT_TRUE(sink.Retry());
    EXPECT_EQ(file.content, "three\r\n");
    EXPECT_EQ(sink.End(), 7u);
}

TEST(RecordSink, TheBacklogIsBoundedAndAGivenUpHeaderMovesOn) {
    MemoryFile file;
    file.capacity = 0;
    CRecordSink sink(file, 0, 40);
    EXPECT_FALSE(sink.Append("HEADER A\r\n", "r1........\r\n"));  // 22 bytes
    EXPECT_FALSE(sink.Append("", "r2........\r\n"));              // 34
    EXPECT_FALSE(sink.Append("", "r3........\r\n"));              // 46: r1 goes, its header stays
    EXPECT_EQ(sink.DroppedPieces(), 1u);
    EXPECT_LE(sink.PendingBytes(), 40u);
    EXPECT_FALSE(sink.Append("HEADER B\r\n", "r4........\r\n"));
    // Only the newest piece is sure to stay, however big.
    EXPECT_FALSE(sink.Append("", std::string(100, 'x')));
    EXPECT_EQ(sink.PendingPieces(), 1u);

    file.capacity = 1 << 20;
    EXPECT_TRUE(sink.Retry());
    EXPECT_EQ(file.content, "HEADER B\r\n" + std::string(100, 'x'));

    // A header carried over lands in front of the row that was kept.
    MemoryFile second;
    second.capacity = 0;
    CRecordSink carried(second, 0, 40);
    carried.Append("HEADER A\r\n", "r1........\r\n");
    carried.Append("", "r2........\r\n");
    carried.Append("", "r3........\r\n");
    second.capacity = 1 << 20;
    ASSERT_TRUE(carried.Retry());
    EXPECT_EQ(second.content, "HEADER A\r\nr2........\r\nr3........\r\n");
}
