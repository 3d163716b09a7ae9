// The binary log reader: the writer's worked examples, damage with its
// offset and resynchronisation, records cut short, a file still growing,
// files of other content, and records that are well checked but not of the
// writer's form.
#include "common/civil_time.h"
#include "kvf_test_data.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kvftest;

namespace {

Collected ReadAll(const std::string& stored) {
    Collected sink;
    KvfReader reader(&sink);
    reader.Feed(stored.data(), stored.size());
    reader.Finish();
    EXPECT_FALSE(reader.IsForeign());
    return sink;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

}  // namespace

TEST(KvfReader, ReadsTheWorkedExamples) {
    const std::string empty = Bytes({0xce, 0xd0, 0xd0, 0xc7, 0xd0, 0xcd, 0xcf, 0xc9, 0xd0, 0xc8, 0xd0, 0xcb, 0xd0, 0xd0,
                                     0xdc, 0xc0, 0x12, 0x0e});
    const std::string two = NegateBytes("20090317080500$22,512,30,21.37,1$22,512,25,21.40,1$" + Bytes({0x40, 0xBF, 0xD1}));
    const Collected got = ReadAll(empty + two);
    ASSERT_EQ(got.records.size(), 2u);
    EXPECT_TRUE(got.damage.empty());

    const KvfRecord& a = got.records[0];
    EXPECT_EQ(a.offset, 0u);
    EXPECT_EQ(a.length, 18u);
    EXPECT_EQ(a.present, 0);
    EXPECT_EQ(FormatKvfTime(a), "2009-03-17 08:05:00");

    const KvfRecord& b = got.records[1];
    EXPECT_EQ(b.offset, 18u);
    EXPECT_EQ(b.length, 54u);
    EXPECT_EQ(b.nSerialNumber, 512);
    EXPECT_EQ(b.present, (1 << 1) | (1 << 0));
    EXPECT_STREQ(b.text[1], "21.37");
    EXPECT_STREQ(b.text[0], "21.40");
    EXPECT_EQ(b.hundredths[1], 2137);
    EXPECT_EQ(b.hundredths[0], 2140);
    EXPECT_EQ(b.Seconds(), a.Seconds());
}

TEST(KvfReader, ValuesAndNumbersAsTheWriterWritesThem) {
    const Collected got = ReadAll(Stored("20240229235959$22,-3,31,-0.50,1$22,-3,35,-12.25,1$22,-3,37,1234.00,1$"));
    ASSERT_EQ(got.records.size(), 1u);
    const KvfRecord& r = got.records[0];
    EXPECT_EQ(r.nSerialNumber, -3);
    EXPECT_EQ(r.hundredths[2], -50);
    EXPECT_STREQ(r.text[2], "-0.50");
    EXPECT_EQ(r.hundredths[6], -1225);
    EXPECT_EQ(r.hundredths[8], 123400);
    EXPECT_EQ(FormatCivilSeconds(r.Seconds()), "2024-02-29 23:59:59");
    EXPECT_EQ(FormatCivilSeconds(r.Seconds() + 1), "2024-03-01 00:00:00");
    const KvfSample sample = MakeSample(r);
    EXPECT_EQ(sizeof(KvfSample), 48u);
    EXPECT_FLOAT_EQ(sample.value[6], -12.25f);
    EXPECT_EQ(sample.present, r.present);
}

TEST(KvfReader, SameResultWholeByteByByteAndAsAGrowingFile) {
    const std::string log = Log(40);
    const Collected whole = ReadAll(log);
    ASSERT_EQ(whole.records.size(), 40u);

    Collected pieces;
    KvfReader reader(&pieces);
    for (std::size_t i = 0; i < log.size(); ++i) {
        reader.Feed(&log[i], 1);
        // A file read while it is being written: what is there so far.
        if (i % 97 == 0)
            reader.Finish();
    }
    reader.Finish();
    EXPECT_TRUE(pieces.damage.empty());
    ASSERT_EQ(pieces.records.size(), whole.records.size());
    for (std::size_t i = 0; i < whole.records.size(); ++i) {
        EXPECT_EQ(pieces.records[i].offset, whole.records[i].offset);
        EXPECT_EQ(pieces.records[i].Seconds(), whole.records[i].Seconds());
        EXPECT_EQ(pieces.records[i].present, whole.records[i].present);
        EXPECT_STREQ(pieces.records[i].text[1], whole.records[i].text[1]);
    }
}

// Records in the middle of a long buffer are parsed without bound checks,
// those fed a byte at a time with them, and a chart's reader leaves out the
// text: all three must agree on every record and every damaged stretch of a
// log with random damage.
TEST(KvfReader, QuickAndCheckedParsingAgreeOnDamagedLogs) {
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 200; ++round) {
        std::string log = Log(30);
        for (int k = 0; k < 6; ++k) {
            const std::size_t at = next() % log.size();
            switch (next() % 4) {
            case 0: log[at] = static_cast<char>(next()); break;
            case 1: log.erase(at, 1 + next() % 40); break;
            case 2: log.insert(at, std::string(1 + next() % 5, static_cast<char>(next()))); break;
            default: log.insert(at, std::string(1 + next() % 3, static_cast<char>(256 - '7'))); break;  // digits
            }
        }
        Collected whole, bytes, numbers;
        KvfReader quick(&whole), checked(&bytes), chart(&numbers);
        chart.LeaveOutText();
        quick.Feed(log.data(), log.size());
        chart.Feed(log.data(), log.size());
        for (char c : log)
            checked.Feed(&c, 1);
        for (KvfReader* r : {&quick, &checked, &chart})
            r->Finish();
        ASSERT_EQ(whole.records.size(), bytes.records.size());
        ASSERT_EQ(whole.records.size(), numbers.records.size());
        ASSERT_EQ(whole.damage.size(), bytes.damage.size());
        for (std::size_t i = 0; i < whole.damage.size(); ++i) {
            EXPECT_EQ(whole.damage[i].offset, bytes.damage[i].offset);
            EXPECT_EQ(whole.damage[i].length, bytes.damage[i].length);
            EXPECT_EQ(whole.damage[i].what, bytes.damage[i].what);
        }
        for (std::size_t i = 0; i < whole.records.size(); ++i) {
            const KvfRecord &a = whole.records[i], &b = bytes.records[i], &c = numbers.records[i];
            EXPECT_EQ(a.offset, b.offset);
            EXPECT_EQ(a.offset, c.offset);
            EXPECT_EQ(a.present, c.present);
            for (int ch = 0; ch < kKvfChannels; ++ch)
                if (a.Has(ch)) {
                    EXPECT_STREQ(a.text[ch], b.text[ch]);
                    EXPECT_EQ(a.hundredths[ch], c.hundredths[ch]);
                }
        }
    }
}

TEST(KvfReader, ALastRecordCutShortIsNotYetThere) {
    const std::string log = Log(3) + Tick(3).substr(0, 30);
    Collected sink;
    KvfReader reader(&sink);
    reader.Feed(log.data(), log.size());
    reader.Finish();
    EXPECT_EQ(sink.records.size(), 3u);
    EXPECT_TRUE(sink.damage.empty());
    EXPECT_EQ(reader.PendingBytes(), 30u);
    // The writer finishes it.
    const std::string rest = Tick(3).substr(30) + Tick(4);
    reader.Feed(rest.data(), rest.size());
    reader.Finish();
    EXPECT_EQ(sink.records.size(), 5u);
    EXPECT_TRUE(sink.damage.empty());
    EXPECT_EQ(reader.PendingBytes(), 0u);
}

TEST(KvfReader, DamageIsReportedAtItsOffsetAndReadingGoesOn) {
    const std::string r0 = Tick(0), r1 = Tick(1), r2 = Tick(2), r3 = Tick(3);
    const std::uint64_t at1 = r0.size(), at2 = at1 + r1.size();

    struct Case {
        const char* name;
        std::string log;
        std::uint64_t records, offset, length;
        const char* what;
    };
    std::string flipped = r1;
    flipped[20] = static_cast<char>(flipped[20] ^ 0x01);  // a digit of the instrument number
    std::string badCheck = r1;
    badCheck.back() = static_cast<char>(badCheck.back() + 1);
    const std::string garbage = "\x01\x02zz";
    const Case cases[] = {
        {"flipped byte", r0 + flipped + r2 + r3, 3, at1, r1.size(), "the check bytes do not match"},
        {"check byte", r0 + badCheck + r2 + r3, 3, at1, r1.size(), "the check bytes do not match"},
        {"garbage between", r0 + r1 + garbage + r2 + r3, 4, at2, garbage.size(), "the time is not 14 digits"},
        {"byte lost", r0 + r1.substr(0, 25) + r1.substr(26) + r2, 2, at1, r1.size() - 1,
         "the check bytes do not match"},
        {"record cut off, run continued", r0 + r1.substr(0, 10) + r2 + r3, 3, at1, 10, "no \"$\" after the time"},
        {"damaged first record", "x" + r0 + r1, 2, 0, 1, "the time is not 14 digits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Collected got = ReadAll(c.log);
        EXPECT_EQ(got.records.size(), c.records);
        ASSERT_EQ(got.damage.size(), 1u);
        EXPECT_EQ(got.damage[0].offset, c.offset);
        EXPECT_EQ(got.damage[0].length, c.length);
        EXPECT_EQ(got.damage[0].what, c.what);
        // The records after the damage are the writer's, at their own offsets.
        EXPECT_EQ(got.records.back().offset + got.records.back().length, c.log.size());
    }
}

TEST(KvfReader, WellCheckedRecordsOfAnotherFormAreDamage) {
    const struct {
        const char* body;
        const char* what;
    } cases[] = {
        {"20091317080500$", "the time is not a real date"},
        {"20090229080500$", "the time is not a real date"},
        {"20090317240000$", "the time is not a real date"},
        {"20090317080500$23,512,30,21.37,1$", "the device code is not 22"},
        {"20090317080500$22,512,29,21.37,1$", "unknown channel code"},
        {"20090317080500$22,512,25,21.37,1$22,512,30,21.37,1$", "channel groups out of order"},
        {"20090317080500$22,512,30,21.37,1$22,512,30,21.37,1$", "channel groups out of order"},
        {"20090317080500$22,512,30,21.4,1$", "a value without two decimals"},
        {"20090317080500$22,512,30,21.37,2$", "malformed channel group"},
        {"20090317080500$22,512,30,21,1$", "malformed channel group"},
        {"20090317080500$22,512,30,1234567890.00,1$", "a number in a group is too long"},
        {"20090317080500$22,99999999999,30,1.00,1$", "a number in a group is too long"},
        {"20090317080500$22,9999999999,30,1.00,1$", "the instrument number is out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const std::string log = Tick(0) + Stored(c.body) + Tick(1);
        const Collected got = ReadAll(log);
        EXPECT_EQ(got.records.size(), 2u);
        ASSERT_EQ(got.damage.size(), 1u);
        EXPECT_EQ(got.damage[0].offset, Tick(0).size());
        EXPECT_EQ(got.damage[0].what, c.what);
    }
}

TEST(KvfReader, OtherFilesAreRefused) {
    const std::string report(5000, 'a');  // text: its negation is no record
    const std::string plainRecords = NegateBytes(Log(100));  // the records without the negation
    for (const std::string* content : {&report, &plainRecords}) {
        Collected sink;
        KvfReader reader(&sink);
        reader.Feed(content->data(), content->size());
        EXPECT_TRUE(reader.IsForeign());
        reader.Finish();
        EXPECT_TRUE(reader.IsForeign());
        EXPECT_TRUE(sink.records.empty());
        EXPECT_TRUE(sink.damage.empty());
    }
    // Short ones are known only at their end.
    const std::string shortText = "time,T,T1\n";
    Collected sink;
    KvfReader reader(&sink);
    reader.Feed(shortText.data(), shortText.size());
    EXPECT_FALSE(reader.IsForeign());
    reader.Finish();
    EXPECT_TRUE(reader.IsForeign());

    // An empty file is a log that has no record yet.
    KvfReader empty(&sink);
    empty.Finish();
    EXPECT_FALSE(empty.IsForeign());
    EXPECT_EQ(empty.RecordCount(), 0u);
}
