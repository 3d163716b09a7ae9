// Moving the view, the follow rule, axis ticks, and the exports' formats.
#include "recording/binary_log.h"
#include "tests/viewer/clock_change_logs.h"
#include "tests/viewer/kvf_test_data.h"
#include "viewer/chart_export.h"
#include "viewer/chart_view.h"
#include "viewer/kvf_timeline.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

ChartView View(double t0, double t1) { return ChartView{t0, t1, 0.0, 1.0, false}; }

TEST(ChartViewMoves, ZoomKeepsThePointUnderTheMouse) {
    ChartView v = View(0, 1000);
    v.ZoomTime(250, 0.5);
    EXPECT_DOUBLE_EQ(v.t0, 125);
    EXPECT_DOUBLE_EQ(v.t1, 625);
    v.ZoomTime(130, 1e-9);  // never below the shortest span
    EXPECT_DOUBLE_EQ(v.t1 - v.t0, ChartView::kMinSpan);
    EXPECT_GE(130, v.t0);
    EXPECT_LE(130, v.t1);
    v.Pan(-30);
    EXPECT_DOUBLE_EQ(v.t1 - v.t0, ChartView::kMinSpan);
    v.FitAll(1000, 2000);
    EXPECT_DOUBLE_EQ(v.t0, 1000);
    EXPECT_GE(v.t1, 2000);
    EXPECT_FALSE(v.bManualValues);
    v.FitAll(5000, 5000);  // one record: a span around it
    EXPECT_LT(v.t0, 5000);
    EXPECT_GT(v.t1, 5000);
    v.ZoomValues(0.5, 0.5);
    EXPECT_TRUE(v.bManualValues);
    v.FitValues(20, 20);  // a flat line still gets a span
    EXPECT_LT(v.v0, 20);
    EXPECT_GT(v.v1, 20);
}

TEST(ChartFollow, ScrollsOnlyWhileTheLiveEndIsInSight) {
    ChartView v = View(0, 1000);
    // Room left before the right edge: nothing moves yet.
    EXPECT_FALSE(FollowLiveEnd(v, 900, 950));
    EXPECT_DOUBLE_EQ(v.t0, 0);
    // The new end would leave the view: the span is kept and moved along.
    EXPECT_TRUE(FollowLiveEnd(v, 950, 1100));
    EXPECT_DOUBLE_EQ(v.t1 - v.t0, 1000);
    EXPECT_GT(v.t1, 1100);
    // The user looks at older data: the view stays put.
    ChartView old = View(0, 500);
    EXPECT_FALSE(AtLiveEnd(old, 1100));
    EXPECT_FALSE(FollowLiveEnd(old, 1100, 1200));
    EXPECT_DOUBLE_EQ(old.t0, 0);
    EXPECT_DOUBLE_EQ(old.t1, 500);
    // Zoomed into the middle with the end beyond the view: stays too.
    ChartView middle = View(200, 300);
    EXPECT_FALSE(FollowLiveEnd(middle, 1100, 1200));
    EXPECT_DOUBLE_EQ(middle.t0, 200);
}

TEST(ChartTicks, TimeStepsAndLabels) {
    const double day = 14320.0 * 86400;  // 2009-03-17 00:00:00
    // A minute on 600 pixels, labels 80 px apart: 10 s steps with seconds.
    std::vector<TimeTick> ticks = TimeTicks(day + 5, day + 65, 600, 80);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(TimeTickStep(day + 5, day + 65, 600, 80), 10);
    EXPECT_EQ(ticks[0].label, "00:00:10");
    EXPECT_EQ(ticks[0].date, "2009-03-17");
    EXPECT_EQ(ticks[1].date, "");
    // Six hours: whole hours, "HH:MM", the date again where the day changes.
    ticks = TimeTicks(day - 3 * 3600, day + 3 * 3600, 600, 80);
    EXPECT_EQ(TimeTickStep(day - 3 * 3600, day + 3 * 3600, 600, 80), 3600);
    ASSERT_EQ(ticks.size(), 7u);
    EXPECT_EQ(ticks[0].label, "21:00");
    EXPECT_EQ(ticks[0].date, "2009-03-16");
    EXPECT_EQ(ticks[3].label, "00:00");
    EXPECT_EQ(ticks[3].date, "2009-03-17");
    EXPECT_EQ(ticks[4].date, "");
    // Three weeks: whole days, labelled with the date, at midnight.
    ticks = TimeTicks(day, day + 21 * 86400, 600, 100);
    ASSERT_FALSE(ticks.empty());
    EXPECT_GE(TimeTickStep(day, day + 21 * 86400, 600, 100), 86400);
    for (const TimeTick& t : ticks)
        EXPECT_EQ(static_cast<long long>(t.t) % 86400, 0);
    EXPECT_EQ(ticks[0].label.size(), 10u);
    // Never closer than asked, whatever the span.
    for (double span : {3.0, 50.0, 7000.0, 1e5, 3e6, 1e8}) {
        const auto tt = TimeTicks(day, day + span, 800, 90);
        for (std::size_t i = 1; i < tt.size(); ++i)
            EXPECT_GE((tt[i].t - tt[i - 1].t) / span * 800, 90 - 1e-9) << span;
    }
}

// Wall-clock times read in file order with a zone's rules: the chart's time
// runs on in real seconds across both changes, and a step back that is no
// change of the zone's time starts a stretch of its own.
TEST(ChartTime, LogsAcrossClockChangesRunInRealTime) {
    const clocklogs::WarsawRules warsaw;
    const clocklogs::TokyoRules tokyo;
    const FixedZone utc(0);
    std::vector<std::int64_t> setBackInWinter = clocklogs::Autumn();
    for (std::size_t i = 160 * 6; i < setBackInWinter.size(); ++i)
        setBackInWinter[i] -= 600;  // from 02:40 winter time on
    const struct {
        const char* name;
        const ZoneRules& rules;
        std::vector<std::int64_t> locals;
        std::int64_t step;  // axis seconds between records
        std::int64_t span;  // axis seconds from first to last record
        std::vector<std::int64_t> backs;
        const char* firstText;
        const char* lastText;
    } rows[] = {
        {"autumn", warsaw, clocklogs::Autumn(), 10, 3 * 3600, {}, "2026-10-25 01:00:00 UTC+2",
         "2026-10-25 03:00:00 UTC+1"},
        {"autumn every 45 min", warsaw, clocklogs::AutumnEvery(2700, 35), 2700, 3 * 3600, {},
         "2026-10-25 01:35:00 UTC+2", "2026-10-25 03:35:00 UTC+1"},
        {"autumn hourly", warsaw, clocklogs::AutumnEvery(3600, 30), 3600, 3 * 3600, {}, "2026-10-25 01:30:00 UTC+2",
         "2026-10-25 03:30:00 UTC+1"},
        {"every two hours", warsaw,
         clocklogs::Warsaw(CivilSeconds(2026, 10, 24, 17, 30, 0), CivilSeconds(2026, 10, 25, 3, 30, 0), 7200), 7200,
         10 * 3600, {}, "2026-10-24 19:30:00 UTC+2", "2026-10-25 04:30:00 UTC+1"},
        {"begins in the summer 02:30", warsaw, clocklogs::AutumnEvery(10, 90), 10, 3 * 3600, {},
         "2026-10-25 02:30:00 UTC+2", "2026-10-25 04:30:00 UTC+1"},
        {"begins in the winter 02:30", warsaw, clocklogs::AutumnEvery(10, 150), 10, 3 * 3600, {},
         "2026-10-25 02:30:00 UTC+1", "2026-10-25 05:30:00 UTC+1"},
        {"hourly, begins in the summer 02:30", warsaw, clocklogs::AutumnEvery(3600, 90), 3600, 3 * 3600, {},
         "2026-10-25 02:30:00 UTC+2", "2026-10-25 04:30:00 UTC+1"},
        {"set back by hand at 02:40 winter time", warsaw, setBackInWinter, 10, 3 * 3600, {600},
         "2026-10-25 01:00:00 UTC+2", "2026-10-25 02:50:00 UTC+1"},
        {"spring", warsaw, clocklogs::Spring(), 10, 2 * 3600, {}, "2026-03-29 01:00:00 UTC+1",
         "2026-03-29 04:00:00 UTC+2"},
        {"set back", warsaw, clocklogs::SetBack(), 10, 2 * 3600, {270}, "2026-10-10 01:00:00 UTC+2",
         "2026-10-10 02:55:30 UTC+2"},
        {"autumn without daylight time", tokyo, clocklogs::Autumn(), 10, 3 * 3600, {3600},
         "2026-10-25 01:00:00 UTC+9", "2026-10-25 03:00:00 UTC+9"},
        {"autumn as UTC", utc, clocklogs::Autumn(), 10, 3 * 3600, {3600}, "2026-10-25 01:00:00 UTC",
         "2026-10-25 03:00:00 UTC"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        KvfTimeline timeline(row.rules);
        std::vector<std::int64_t> axis;
        for (std::int64_t local : row.locals)
            axis.push_back(timeline.Place(local));
        for (std::size_t i = 1; i < axis.size(); ++i)
            ASSERT_EQ(axis[i] - axis[i - 1], row.step) << i;  // one step a record, never back, never a gap
        EXPECT_EQ(axis.back() - axis.front(), row.span);
        ASSERT_EQ(timeline.Steps().size(), row.backs.size());
        for (std::size_t k = 0; k < row.backs.size(); ++k)
            EXPECT_EQ(timeline.Steps()[k].back, row.backs[k]);
        EXPECT_EQ(timeline.Text(axis.front(), true), row.firstText);
        EXPECT_EQ(timeline.Text(axis.back(), true), row.lastText);
        for (std::size_t i = 0; i < axis.size(); i += 7)
            ASSERT_EQ(timeline.Local(axis[i]), row.locals[i]) << i;  // labels read the wall clock of the record
    }
    // The repeated hour told apart: 02:30 in summer, then in winter, an hour later.
    KvfTimeline autumn(warsaw);
    const std::vector<std::int64_t> locals = clocklogs::Autumn();
    std::vector<std::int64_t> axis;
    for (std::int64_t local : locals)
        axis.push_back(autumn.Place(local));
    EXPECT_EQ(autumn.Text(axis[90 * 6 - 1]), "2026-10-25 02:29:50 UTC+2");
    EXPECT_EQ(autumn.Text(axis[90 * 6 + 360]), "2026-10-25 02:30:00 UTC+1");
    EXPECT_EQ(autumn.Text(axis[60]), "2026-10-25 01:10:00");
    EXPECT_EQ(autumn.OffsetAt(axis.front()), 7200);
    EXPECT_EQ(autumn.OffsetAt(axis.back()), 3600);
    // Whole hours of the wall clock; the two 02:00 labelled each with its offset.
    const std::vector<TimeTick> ticks =
        TimeTicks(static_cast<double>(axis.front()), static_cast<double>(axis.back()), 600, 150, &autumn);
    std::string labels;
    for (const TimeTick& t : ticks)
        labels += t.label + "|";
    EXPECT_EQ(labels, "01:00|02:00 UTC+2|02:00 UTC+1|03:00|");
    // After a step back by hand the labels keep to whole steps of the wall clock there.
    KvfTimeline setBack(warsaw);
    std::vector<std::int64_t> stretches;
    for (std::int64_t local : clocklogs::SetBack())
        stretches.push_back(setBack.Place(local));
    for (const TimeTick& t : TimeTicks(static_cast<double>(stretches.front()), static_cast<double>(stretches.back()),
                                       600, 100, &setBack))
        EXPECT_EQ(setBack.Local(static_cast<std::int64_t>(t.t)) % 1800, 0) << t.label;
    std::vector<std::int64_t> state = setBack.State();  // from a summary: a shift no log reaches is refused
    state[state.size() - 3] = std::int64_t(1) << 60;    // (the dates of its times would never end)
    EXPECT_FALSE(setBack.Restore(state));
    // Seconds no log reaches still have a year, at once.
    EXPECT_EQ(CivilYear(std::int64_t(1) << 62), CivilYear(10000000000000000LL));
    EXPECT_LT(CivilYear(-(std::int64_t(1) << 62)), -300000000);
    // Windows' rules of a year: Warsaw's last Sundays of March and October; Amman's
    // 23:59:59.999 of the last Thursday of March, midnight to whole seconds.
    const struct {
        const char* name;
        ZoneYear year;
        std::int64_t from, to;
    } years[] = {
        {"Warsaw 2027", warsaw.Year(2027), CivilSeconds(2027, 3, 28, 1, 0, 0), CivilSeconds(2027, 10, 31, 1, 0, 0)},
        {"Amman 2021",
         ZoneYearFromRule(2021, -120, 0, -60, ZoneChangeDate{0, 10, 5, 5, 1, 0, 0, 0},
                          ZoneChangeDate{0, 3, 4, 5, 23, 59, 59, 999}),
         CivilSeconds(2021, 3, 25, 22, 0, 0), CivilSeconds(2021, 10, 28, 22, 0, 0)},
    };
    for (const auto& y : years) {
        EXPECT_EQ(y.year.daylightFrom, y.from) << y.name;
        EXPECT_EQ(y.year.daylightTo, y.to) << y.name;
    }
}

TEST(ChartTime, ZoneChoicesAsTyped) {
    const struct {
        const char* text;
        bool ok, local;
        int offset;
        const char* shown;
    } rows[] = {
        {"local", true, true, 0, ""},        {"utc", true, false, 0, "UTC"},
        {"+01:00", true, false, 3600, "UTC+1"}, {"-03:30", true, false, -12600, "UTC-3:30"},
        {"UTC+5:45", true, false, 20700, "UTC+5:45"}, {"UTC+2", true, false, 7200, "UTC+2"},
        {"+15:00", false, false, 0, ""},     {"+1:5", false, false, 0, ""},
        {"Europe/Warsaw", false, false, 0, ""}, {"+", false, false, 0, ""},
        {"+2:+3", false, false, 0, ""},      {"+2x", false, false, 0, ""},
        {"+2: 3", false, false, 0, ""},      {"+123", false, false, 0, ""},
    };
    for (const auto& row : rows) {
        ZoneChoice choice;
        ASSERT_EQ(ParseZoneChoice(row.text, &choice), row.ok) << row.text;
        if (!row.ok)
            continue;
        EXPECT_EQ(choice.bLocal, row.local) << row.text;
        if (!row.local) {
            EXPECT_EQ(choice.nOffset, row.offset) << row.text;
            EXPECT_EQ(FormatUtcOffset(choice.nOffset), row.shown) << row.text;
        }
    }
    EXPECT_EQ(FormatIsoOffset(-12600), "-03:30");
}

TEST(ChartTicks, ValueStepsAreRoundAndUseAPoint) {
    std::vector<ValueTick> ticks = ValueTicks(19.3, 23.9, 400, 40);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks[0].label, "19.5");
    EXPECT_DOUBLE_EQ(ticks[1].v - ticks[0].v, 0.5);
    ticks = ValueTicks(-12, 37, 200, 40);
    EXPECT_EQ(ticks[0].label, "-10");
    EXPECT_EQ(ticks[1].label, "0");
    EXPECT_EQ(ticks.back().label, "30");
    EXPECT_EQ(FormatDuration(3 * 86400 + 3661), "3 d 01:01:01");
    EXPECT_EQ(FormatDuration(59), "00:00:59");
}

// The viewer's CSV is qm487-kvf's for the same records, limited to the
// range: as recorded, and for a Polish spreadsheet with ISO times.
TEST(ChartExport, CsvOfARange) {
    const std::string log = kvftest::Log(10);  // a tick every 10 s from 2009-03-17 08:00:00
    KvfRecord first{};
    first.year = 2009, first.month = 3, first.day = 17, first.hour = 8;
    const double t0 = static_cast<double>(first.Seconds());
    const struct {
        int offset;
        CsvFormat format;
        const char* text;
    } rows[] = {
        {0, CsvFormat(),
         "time,T,T1,T2,T3,T4,T5,T6,T7,T8\n"
         "2009-03-17 08:00:20,21.40,20.50,-3.50,,,,,,\n"
         "2009-03-17 08:00:30,21.40,20.75,-2.50,,,,,,\n"
         "2009-03-17 08:00:40,21.40,21.00,,,,,,,\n"},
        {3600, CsvFormat{';', true, true, {}},
         "time;T;T1;T2;T3;T4;T5;T6;T7;T8\n"
         "2009-03-17T08:00:20+01:00;21,40;20,50;-3,50;;;;;;\n"
         "2009-03-17T08:00:30+01:00;21,40;20,75;-2,50;;;;;;\n"
         "2009-03-17T08:00:40+01:00;21,40;21,00;;;;;;;\n"},
    };
    for (const auto& row : rows) {
        const FixedZone zone(row.offset);
        KvfCsvExport csv(t0 + 20 - row.offset, t0 + 40 - row.offset, zone, row.format);
        KvfReader reader(&csv);
        reader.Feed(log.data(), log.size());
        reader.Finish();
        EXPECT_EQ(csv.Rows(), 3u);
        EXPECT_EQ(csv.TakeText(), row.text);
        EXPECT_EQ(csv.TakeText(), "");
    }
    // Rows of a log that begins in the repeated hour wait for a later record, but no
    // longer than an hour's worth: a file that repeats one time is not held whole.
    const clocklogs::WarsawRules warsaw;
    KvfCsvExport stuck(-1e18, 1e18, warsaw);
    KvfReader reader(&stuck);
    std::vector<std::int64_t> locals(3602, CivilSeconds(2026, 10, 25, 2, 30, 10));
    locals[0] -= 10;
    const std::string repeated = clocklogs::Log(locals);
    reader.Feed(repeated.data(), repeated.size());
    EXPECT_EQ(stuck.Rows(), 3601u);
}

std::uint32_t Get32(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8 |
           static_cast<unsigned char>(s[at + 3]);
}

TEST(ChartExport, PngStructureAndChecksums) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Adler32("Wikipedia", 9), 0x11E60398u);
    // Big enough for two stored blocks.
    const int w = 200, h = 150;
    std::vector<std::uint32_t> pixels(w * h);
    for (int i = 0; i < w * h; ++i)
        pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
    const std::string png = EncodePng(w, h, pixels.data());
    ASSERT_EQ(png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)), 0);
    std::size_t at = 8;
    std::vector<std::string> types;
    std::string idat;
    while (at + 12 <= png.size()) {
        const std::uint32_t len = Get32(png, at);
        const std::string type = png.substr(at + 4, 4);
        ASSERT_LE(at + 12 + len, png.size());
        EXPECT_EQ(Get32(png, at + 8 + len), Crc32(png.data() + at + 4, 4 + len)) << type;
        if (type == "IHDR") {
            EXPECT_EQ(Get32(png, at + 8), static_cast<std::uint32_t>(w));
            EXPECT_EQ(Get32(png, at + 12), static_cast<std::uint32_t>(h));
        }
        if (type == "IDAT")
            idat = png.substr(at + 8, len);
        types.push_back(type);
        at += 12 + len;
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    // Walk the stored blocks back into scanlines and compare a pixel.
    ASSERT_GE(idat.size(), 6u);
    std::string raw;
    std::size_t p = 2;
    bool last = false;
    while (!last) {
        ASSERT_LE(p + 5, idat.size());
        last = idat[p] & 1;
        const unsigned n = static_cast<unsigned char>(idat[p + 1]) | static_cast<unsigned char>(idat[p + 2]) << 8;
        const unsigned nn = static_cast<unsigned char>(idat[p + 3]) | static_cast<unsigned char>(idat[p + 4]) << 8;
        EXPECT_EQ(n ^ 0xFFFFu, nn);
        raw += idat.substr(p + 5, n);
        p += 5 + n;
    }
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(h) * (1 + 3 * w));
    EXPECT_EQ(Get32(idat, p), Adler32(raw.data(), raw.size()));
    const std::size_t px = static_cast<std::size_t>(7) * (1 + 3 * w) + 1 + 3 * 11;  // row 7, column 11
    const std::uint32_t want = pixels[7 * w + 11];
    EXPECT_EQ(static_cast<unsigned char>(raw[px]), want >> 16);
    EXPECT_EQ(static_cast<unsigned char>(raw[px + 2]), want & 0xFF);
}

}  // namespace
