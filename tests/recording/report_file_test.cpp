// The report file's bytes, against the worked examples and the edge cases
// of its format.
#include "recording/disk_space.h"
#include "recording/file_period.h"
#include "recording/report_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

const RecordTime kTime = {2009, 3, 17, 8, 5, 0};
const char kDeg[] = " \xB0"
                    "C";

struct Samples {
    ChannelSamples s;
    Samples() {
        for (ChannelSample& c : s)
            c = {0.0, TRUE, TRUE, FALSE};  // the lost-link state
    }
    Samples& Set(int channel, double value, bool fine = false) {
        s[channel] = {value, FALSE, FALSE, fine ? TRUE : FALSE};
        return *this;
    }
    Samples& Alert(int channel, double value) {
        s[channel] = {value, FALSE, TRUE, FALSE};
        return *this;
    }
};

struct Selection {
    BOOL r[9] = {};
    Selection(std::initializer_list<int> channels) {
        for (int c : channels)
            r[c] = TRUE;
    }
};

}  // namespace

TEST(ReportFile, WorkedExampleHeaderOnceThenRowsOnly) {
    const Selection record{0, 1, 3};
    Samples samples;
    samples.Set(0, 21.4).Set(1, 21.3).Alert(3, 22.0);
    int mask = kHeaderMaskNone;
    EXPECT_EQ(FormatReportHeader(record.r, 0, mask),
              std::string("Data i Godzina\tT") + kDeg + "\tT1" + kDeg + "\tT3" + kDeg + "\r\n");
    EXPECT_EQ(mask, 0x1 | 0x4 | 0x100);
    EXPECT_EQ(FormatReportRow(kTime, samples.s, record.r, 0), "2009.03.17 08:05:00\t21.4\t21.3\t???\r\n");
    EXPECT_EQ(FormatReportHeader(record.r, 0, mask), "");

    // A changed selection brings a new header before the next row.
    const Selection changed{1};
    EXPECT_EQ(FormatReportHeader(changed.r, 0, mask), std::string("Data i Godzina\tT1") + kDeg + "\r\n");
    EXPECT_EQ(mask, 0x1);
}

// A channel with no probe has no column, as one not chosen; the names option
// titles named channels by their names (quoted where they hold the separator).
TEST(ReportFile, ChannelsNotInUseHaveNoColumnAndNamesTitleTheirs) {
    ChannelConfig config;
    config[2].bInUse = false;
    config[1].strName = " Zamra\xBF"
                        "arka 1 ";
    config[3].strName = "P\xF3\xB3ka \"A\", g\xF3ra";
    config[5].strName = "=HYPERLINK(\"x\")";  // a spreadsheet must not take it for a formula
    BOOL columns[9];
    ReportColumns(Selection{0, 1, 2, 3}.r, config, columns);
    EXPECT_EQ(CsvField(config[5].strName, ';'), "\"'=HYPERLINK(\"\"x\"\")\"");
    EXPECT_EQ(CsvField("-20", ';') + CsvField("+1", ',') + CsvField("@a", ';'), "'-20'+1'@a");
    const std::string plain = std::string("Data i Godzina,T") + kDeg + ",T1" + kDeg + ",T3" + kDeg + "\r\n";
    EXPECT_EQ(ReportHeaderLine(columns, 1), plain);
    EXPECT_EQ(FormatReportRow(kTime, Samples().Set(0, 1.0).Set(1, 2.0).Set(2, 3.0).Set(3, 4.0).s, columns, 1),
              "2009.03.17 08:05:00,1.0,2.0,4.0\r\n");
    EXPECT_EQ(ReportHeaderLine(columns, 1, &config), std::string("Data i Godzina,T") + kDeg +
                                                         ",Zamra\xBF"
                                                         "arka 1" +
                                                         kDeg + ",\"P\xF3\xB3ka \"\"A\"\", g\xF3ra" + kDeg + "\"\r\n");
    EXPECT_EQ(ReportHeaderLine(columns, 2, &config), std::string("Data i Godzina;T") + kDeg +
                                                         ";Zamra\xBF"
                                                         "arka 1" +
                                                         kDeg + ";\"P\xF3\xB3ka \"\"A\"\", g\xF3ra" + kDeg + "\"\r\n");
}

TEST(ReportFile, AllNineChannelsWithCommasGiveTenFields) {
    const Selection all{0, 1, 2, 3, 4, 5, 6, 7, 8};
    Samples samples;
    for (int c = 0; c <= 8; ++c)
        samples.Set(c, 20.0 + c, true);
    int mask = kHeaderMaskNone;
    std::string expectedHeader = "Data i Godzina,T" + std::string(kDeg);
    for (int c = 1; c <= 8; ++c)
        expectedHeader += ",T" + std::to_string(c) + kDeg;
    EXPECT_EQ(FormatReportHeader(all.r, 1, mask), expectedHeader + "\r\n");
    EXPECT_EQ(mask, 0x1FF);
    EXPECT_EQ(FormatReportRow(kTime, samples.s, all.r, 1),
              "2009.03.17 08:05:00,20.00,21.00,22.00,23.00,24.00,25.00,26.00,27.00,28.00\r\n");
    EXPECT_EQ(FormatReportRow(kTime, samples.s, all.r, 2).find(','), std::string::npos);
    // A decimal comma for a spreadsheet that reads numbers so, never beside comma separators,
    // and a time it reads as a date and time.
    EXPECT_EQ(FormatReportRow(kTime, samples.s, all.r, 2, TRUE),
              "2009-03-17 08:05:00;20,00;21,00;22,00;23,00;24,00;25,00;26,00;27,00;28,00\r\n");
    EXPECT_EQ(FormatReportRow(kTime, Samples().Set(1, -5.37).s, Selection{1, 2}.r, 0, TRUE),
              "2009-03-17 08:05:00\t-5,4\t???\r\n");
    EXPECT_EQ(FormatReportRow(kTime, samples.s, all.r, 1, TRUE), FormatReportRow(kTime, samples.s, all.r, 1));
}

TEST(ReportFile, NoChannelSelectedGivesTheTimeAndOneSeparator) {
    const Selection none{};
    int mask = kHeaderMaskNone;
    EXPECT_EQ(FormatReportHeader(none.r, 2, mask), "Data i Godzina\r\n");
    EXPECT_EQ(mask, 0);
    EXPECT_EQ(FormatReportRow(kTime, Samples().s, none.r, 2), "2009.03.17 08:05:00;\r\n");
}

TEST(ReportFile, SeparatorCodesOutsideTheThreeWriteTabs) {
    EXPECT_EQ(ReportSeparator(0), '\t');
    EXPECT_EQ(ReportSeparator(1), ',');
    EXPECT_EQ(ReportSeparator(2), ';');
    for (int code : {5, -1, 3, 7})
        EXPECT_EQ(ReportSeparator(code), '\t') << code;
    const Selection two{1, 2};
    EXPECT_EQ(FormatReportRow(kTime, Samples().Set(1, 1.0).Set(2, 2.0).s, two.r, 5),
              "2009.03.17 08:05:00\t1.0\t2.0\r\n");
}

TEST(ReportFile, ValuesAreRoundedWithAPointAndKeepTheirSign) {
    const Selection one{1};
    auto row = [&](double value, bool fine) {
        return FormatReportRow(kTime, Samples().Set(1, value, fine).s, one.r, 1);
    };
    EXPECT_EQ(row(-0.04, false), "2009.03.17 08:05:00,-0.0\r\n");
    EXPECT_EQ(row(-12.345, true), "2009.03.17 08:05:00,-12.35\r\n");  // -12.3450000000000006...
    // A channel-0 mean of 21.46 with tenths is written rounded, not cut.
    EXPECT_EQ(row(21.46, false), "2009.03.17 08:05:00,21.5\r\n");
    EXPECT_EQ(row(21.4, true), "2009.03.17 08:05:00,21.40\r\n");

    // Nor does a comma-decimal locale of the process change the point.
    if (std::setlocale(LC_ALL, "pl_PL.UTF-8") != nullptr) {
        EXPECT_EQ(row(21.46, true), "2009.03.17 08:05:00,21.46\r\n");
        std::setlocale(LC_ALL, "C");
    }
}

TEST(ReportFile, NoValueErrorAndNotANumberAreQuestionMarks) {
    const Selection three{0, 1, 2};
    Samples samples;
    samples.Set(0, std::numeric_limits<double>::quiet_NaN()).Set(1, std::numeric_limits<double>::infinity());
    samples.s[2] = {5.0, TRUE, FALSE, FALSE};  // no value, though not alerting
    EXPECT_EQ(FormatReportRow(kTime, samples.s, three.r, 0), "2009.03.17 08:05:00\t???\t???\t???\r\n");
}

TEST(ReportFile, TimeIsZeroPadded) {
    EXPECT_EQ(FormatReportTime({2024, 1, 2, 3, 4, 5}), "2024.01.02 03:04:05");
    EXPECT_EQ(FormatReportTime({2024, 12, 31, 23, 59, 59}), "2024.12.31 23:59:59");
}

TEST(ReportFile, OpeningBlock) {
    EXPECT_EQ(FormatOpeningBlock(false, "", FALSE, 512), "");
    EXPECT_EQ(FormatOpeningBlock(true, "", FALSE, 512), "\r\n");
    EXPECT_EQ(FormatOpeningBlock(false, "Piec 2\r\nseria B", TRUE, 512), "Piec 2\r\nseria B\r\nQM-487 nr 512\r\n");
    EXPECT_EQ(FormatOpeningBlock(true, "Piec", TRUE, 0), "\r\nPiec\r\nQM-487 nr ???\r\n");
    EXPECT_EQ(FormatOpeningBlock(false, "", TRUE, -3), "QM-487 nr ???\r\n");
    // The comment is Windows-1250 bytes and goes in as they are.
    EXPECT_EQ(FormatOpeningBlock(false,
                                 "Pomiar \xB3\xB9"
                                 "ki",
                                 FALSE, 1),
              "Pomiar \xB3\xB9"
              "ki\r\n");
}

TEST(ReportFile, ChannelMaskBits) {
    EXPECT_EQ(ReportChannelMask(Selection{0}.r), 0x100);
    EXPECT_EQ(ReportChannelMask(Selection{1}.r), 0x1);
    EXPECT_EQ(ReportChannelMask(Selection{8}.r), 0x80);
    EXPECT_NE(ReportChannelMask(Selection{}.r), kHeaderMaskNone);
}

// The period of a row's local time and its file's name; a report's data
// rows counted whatever its headers and comments.
TEST(FilePeriods, TagsAtTheEdgesNamesAndRowsCounted) {
    struct Row {
        int split;
        RecordTime time;
        const char* tag;
    };
    const Row rows[] = {
        {kSplitDay, {2026, 12, 9, 23, 59, 59}, "2026-12-09"},
        {kSplitMonth, {2026, 12, 31, 0, 0, 0}, "2026-12"},
        {kSplitWeek, {2026, 12, 7, 0, 0, 0}, "2026-W50"},
        {kSplitWeek, {2026, 12, 6, 23, 59, 59}, "2026-W49"},
        {kSplitWeek, {2021, 1, 3, 12, 0, 0}, "2020-W53"},
        {kSplitWeek, {2024, 12, 30, 0, 0, 0}, "2025-W01"},
        {kSplitNever, {2026, 12, 9, 0, 0, 0}, ""},
        {7, {2026, 12, 9, 0, 0, 0}, ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PeriodTag(r.split, r.time), r.tag) << r.split << " " << r.time.month << "-" << r.time.day;
    EXPECT_EQ(PeriodFilePath("C:\\dane\\pomiar.csv", "2026-12-09"), "C:\\dane\\pomiar_2026-12-09.csv");
    EXPECT_EQ(PeriodFilePath("C:\\dane.2026\\pomiar", "2026-W50", 2), "C:\\dane.2026\\pomiar_2026-W50_2");
    EXPECT_EQ(PeriodFilePath("\\\\serwer\\udzia\xB3\\pomiar.kvf", "", 3), "\\\\serwer\\udzia\xB3\\pomiar_3.kvf");
    EXPECT_EQ(PeriodFilePath("pomiar.csv", ""), "pomiar.csv");
    CReportRowCounter counter;
    const std::string text = "Data i Godzina\tT\r\n2026.12.09 10:00:00\t1.0\r\n\r\nKomentarz 2026.12.09\r\n"
                             "QM-487 nr 4660\r\n2026-12-09 10:00:01;1,0\r\n2026.12.09 10:00:02\t1.0\r\n";
    for (std::size_t at = 0; at < text.size(); at += 7)
        counter.Feed(text.data() + at, std::min<std::size_t>(7, text.size() - at));
    EXPECT_EQ(counter.Rows(), 3u);
    // A row with no column (the chosen inputs switched off) is the shortest.
    EXPECT_GE(FormatReportRow(kTime, Samples().s, Selection{}.r, 2).size(), std::size_t{kShortestReportRow});
}

// A week of recording left, or 100 MB, at the rate the files grow; once
// warning, a third more ends it, so a disk at the limit does not flap.
TEST(DiskSpace, AWeekLeftOrAHundredMegabytesAndWhatTheStatusLineSays) {
    const std::uint64_t mb = 1u << 20, day = 48 * mb;
    struct Row {
        std::uint64_t free, perDay;
        bool warning, low;
        const char* left;
    };
    const Row rows[] = {
        {336 * mb - 1, day, false, true, "oko\xB3o 6 dni"}, {336 * mb, day, false, false, nullptr},
        {400 * mb, day, true, true, "oko\xB3o 8 dni"},      {432 * mb, day, true, false, nullptr},
        {86 * mb, day, false, true, "oko\xB3o 43 godzin"},  {2 * mb, day, false, true, "oko\xB3o 1 godziny"},
        {1 * mb, day, false, true, "oko\xB3o 30 minut"},    {99 * mb, 1000, false, true, "99 MB"},
        {130 * mb, 1000, true, true, "130 MB"},             {134 * mb, 0, true, false, nullptr},
        {213503982334602ull, 1, false, false, nullptr},  // ages left: no product wraps round into a warning
    };
    for (const Row& r : rows) {
        const DiskSpace disk{r.free, r.perDay};
        EXPECT_EQ(IsDiskLow(disk, r.warning), r.low) << r.free;
        if (r.left) {
            EXPECT_EQ(DiskLowText(disk),
                      std::string("Ma\xB3o miejsca na dysku z plikiem rejestracji: zosta\xB3o ") + r.left + ". ");
        }
    }
}
