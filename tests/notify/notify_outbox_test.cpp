#include "notify/notify_outbox.h"
#include "notify/run_marker.h"

#include "notify_test_dir.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

Notification Message(int n) {
    Notification m;
    m.event = NotifyEvent::kAlarmRaised;
    m.strPc = "HALA-2";
    m.strProfile = "Ch\xC5\x82odnia";
    m.nInstrument = 7;
    m.nChannel = n % 9;
    m.strValue = "25.4 \xC2\xB0" "C";
    m.strLimit = "25.0 \xC2\xB0" "C";
    m.strTime = "2026-12-08 14:03:12 +01:00";
    m.nDurationSeconds = n * 61;
    m.strSubject = "Temperatura " + std::to_string(n);
    m.strText = "line 1\nline 2 " + std::string(n * 7, 'x') + "\n";
    return m;
}

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::uint64_t> Ids(const CNotifyOutbox& outbox) {
    std::vector<std::uint64_t> ids;
    for (const auto& e : outbox.Pending())
        ids.push_back(e.message.nId);
    return ids;
}

class NotifyOutboxTest : public NotifyDirTest {
protected:
    std::filesystem::path Path() const { return dir / "qm487cfg.outbox"; }
    // Posts messages 1..n to a fresh outbox and drops it as a kill would:
    // every write is on the disk already, nothing more is written.
    void PostAndKill(int n) {
        CNotifyOutbox outbox(Path());
        ASSERT_TRUE(outbox.Load());
        for (int i = 1; i <= n; ++i) {
            Notification m = Message(i);
            ASSERT_TRUE(outbox.Post(m));
            EXPECT_EQ(m.nId, static_cast<std::uint64_t>(i));
        }
    }
};

}  // namespace

TEST_F(NotifyOutboxTest, WhatWasWrittenComesBackInOrderWithItsWaysAndWithoutWhatWasDone) {
    PostAndKill(5);
    {
        CNotifyOutbox outbox(Path());
        ASSERT_TRUE(outbox.Load());
        EXPECT_TRUE(outbox.MarkTaken(2, "e-mail"));
        EXPECT_TRUE(outbox.MarkTaken(2, "program"));
        EXPECT_TRUE(outbox.MarkDone(3));
    }
    CNotifyOutbox outbox(Path());
    ASSERT_TRUE(outbox.Load());
    EXPECT_EQ(outbox.DamagedRecords(), 0);
    EXPECT_EQ(Ids(outbox), (std::vector<std::uint64_t>{1, 2, 4, 5}));
    const Notification& back = outbox.Pending()[3].message;
    const Notification sent = Message(5);
    EXPECT_EQ(back.strProfile, sent.strProfile);
    EXPECT_EQ(back.nChannel, sent.nChannel);
    EXPECT_EQ(back.nDurationSeconds, sent.nDurationSeconds);
    EXPECT_EQ(back.strValue, sent.strValue);
    EXPECT_EQ(back.strText, sent.strText);
    EXPECT_EQ(outbox.Pending()[1].taken, (std::set<std::string>{"e-mail", "program"}));
    // Numbers go on after the last one ever given, even once all is done.
    for (std::uint64_t id : {1, 2, 4, 5})
        outbox.MarkDone(id);
    ASSERT_TRUE(outbox.Compact());
    CNotifyOutbox emptied(Path());
    ASSERT_TRUE(emptied.Load());
    EXPECT_TRUE(emptied.Pending().empty());
    Notification next = Message(6);
    emptied.Post(next);
    EXPECT_EQ(next.nId, 6u);
}

// A way back after days of failing must not rewrite a backlog of megabytes
// for each message it takes; one failing for weeks must not grow it without
// bound, nor lose a message to the bound without a word.
TEST_F(NotifyOutboxTest, ABigBacklogIsFoldedAndNotRewrittenWholeAtEveryStep) {
    CNotifyOutbox outbox(Path());
    ASSERT_TRUE(outbox.Load());
    for (int i = 1; i <= 12; ++i) {
        Notification m = Message(i);
        m.strText.assign(100000, 'x');
        ASSERT_TRUE(outbox.Post(m));
    }
    outbox.CompactIfDue();
    for (std::uint64_t id = 1; id <= 3; ++id) {
        const std::uint64_t before = outbox.FileBytes();
        ASSERT_TRUE(outbox.MarkDone(id));
        outbox.CompactIfDue();
        EXPECT_GT(outbox.FileBytes(), before) << id;
    }

    // Past 1000 messages the oldest hundred become the newest of them, which
    // lists the others and counts as taken by a way that took them all.
    std::string bytes;
    for (int i = 1; i <= 1000; ++i) {
        Notification m = Message(i);
        m.nId = i;
        bytes += CNotifyOutbox::MessageRecord(m) + CNotifyOutbox::TakenRecord(i, "e-mail");
    }
    Write(Path(), bytes + CNotifyOutbox::TakenRecord(1, "program"));
    CNotifyOutbox full(Path());
    ASSERT_TRUE(full.Load());
    Notification next = Message(1001);
    ASSERT_TRUE(full.Post(next));
    CNotifyOutbox again(Path());
    ASSERT_TRUE(again.Load());
    for (const CNotifyOutbox* o : {&full, &again}) {
        ASSERT_EQ(o->Pending().size(), 902u);
        const CNotifyOutbox::Entry& folded = o->Pending().front();
        EXPECT_EQ(folded.message.nId, 100u);
        EXPECT_EQ(folded.taken, std::set<std::string>{"e-mail"});
        EXPECT_EQ(folded.message.strSubject, "Temperatura 100 (+99 zaleg\xC5\x82ych)");
        EXPECT_NE(folded.message.strText.find("\n- 2026-12-08 14:03:12 +01:00 Temperatura 1\n"), std::string::npos);
        EXPECT_EQ(o->FoldedMessages(), 99);
    }
}

TEST_F(NotifyOutboxTest, ATornLastRecordCostsThatRecordAloneAtEveryByte) {
    PostAndKill(2);
    const std::string whole = Read(Path());
    Notification third = Message(3);
    third.nId = 3;
    const std::string last = CNotifyOutbox::MessageRecord(third);
    for (std::size_t cut = 1; cut < last.size(); ++cut) {
        Write(Path(), whole + last.substr(0, cut));
        CNotifyOutbox outbox(Path());
        ASSERT_TRUE(outbox.Load());
        ASSERT_EQ(Ids(outbox), (std::vector<std::uint64_t>{1, 2})) << cut;
        ASSERT_EQ(outbox.DamagedRecords(), 1) << cut;
        // What follows is readable: the damage was cut away at the load.
        Notification next = Message(4);
        ASSERT_TRUE(outbox.Post(next));
        CNotifyOutbox again(Path());
        ASSERT_TRUE(again.Load());
        ASSERT_EQ(again.DamagedRecords(), 0) << cut;
        ASSERT_EQ(again.Pending().size(), 3u) << cut;
    }
}

TEST_F(NotifyOutboxTest, HostileBytesNeverStopTheLoad) {
    const std::string one = CNotifyOutbox::MessageRecord(Message(1));
    Notification m2 = Message(2);
    m2.nId = 2;
    const std::string two = CNotifyOutbox::MessageRecord(m2);
    std::string flipped = one;
    flipped[flipped.size() / 2] ^= 0x55;
    std::string hugeLength = one.substr(0, 4) + std::string("\xFF\xFF\xFF\x7F", 4) + one.substr(8);
    std::string noise;
    for (int i = 0; i < 5000; ++i)
        noise.push_back(static_cast<char>(i * 7919 % 251));
    // Past 64 MB, as a run whose ways failed for weeks may leave it.
    std::string backlog;
    for (int i = 1; i <= 10200; ++i) {
        Notification m = Message(1);
        m.nId = i;
        m.strText.assign(6500, 'x');
        backlog += CNotifyOutbox::MessageRecord(m);
    }
    struct Row {
        const char* name;
        std::string bytes;
        std::size_t pending;
        int damaged;
    };
    const Row rows[] = {
        {"empty", "", 0, 0},
        {"text", "hello, world\n", 0, 1},
        {"a mark alone", one.substr(0, 4), 0, 1},
        {"a length past the end", hugeLength, 0, 1},
        {"a garbled first record", flipped + two, 1, 1},
        {"noise between whole records", one + noise + two, 2, 1},
        {"noise", noise, 0, 1},
        {"a record twice", one + one, 1, 0},
        {"a backlog past 64 MB", std::move(backlog), 993, 0},  // folded to 1000 at most, the newest kept
    };
    for (const Row& row : rows) {
        Write(Path(), row.bytes);
        CNotifyOutbox outbox(Path());
        EXPECT_TRUE(outbox.Load()) << row.name;
        EXPECT_EQ(outbox.Pending().size(), row.pending) << row.name;
        EXPECT_EQ(outbox.DamagedRecords(), row.damaged) << row.name;
    }
}

TEST_F(NotifyOutboxTest, TheFilesSitBesideTheSettings) {
    struct Row {
        const char* settings;
        const char* beside;
    };
    const Row rows[] = {
        {"qm487cfg.ini", "qm487cfg.outbox"},
        {"QM487CFG.INI", "QM487CFG.outbox"},
        {"dir.ini/settings", "dir.ini/settings.outbox"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NotifyFileBeside(row.settings, ".outbox").generic_string(), row.beside) << row.settings;
}

TEST_F(NotifyOutboxTest, TheRunMarkerTellsARunThatDidNotEndNormally) {
    const std::filesystem::path path = dir / "qm487cfg.running";
    EXPECT_FALSE(CRunMarker(path).Begin());  // the first run
    CRunMarker(path).End();
    EXPECT_FALSE(CRunMarker(path).Begin());  // after a normal close
    EXPECT_TRUE(CRunMarker(path).Begin());   // killed: never ended
}
