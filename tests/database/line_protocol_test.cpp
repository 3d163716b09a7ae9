#include "tests/database/test_points.h"
#include "database/line_protocol.h"
#include "alarms/channel_alarm.h"
#include "instrument/channels.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

DbPoint Reading(int channel, double value, std::int64_t timeMs = 1700000000123) {
    return TestPoint(channel, value, timeMs);
}

std::string LineOf(const DbPoint& p) {
    std::string out;
    AppendPointLine(p, out);
    return out;
}

}  // namespace

TEST(LineProtocol, ValidReadingsCarryTagsValueStatusAndMilliseconds) {
    EXPECT_EQ(LineOf(Reading(3, 21.5)),
              "temperature,instrument=4660,channel=T3 value=21.5,status=\"ok\" 1700000000123\n");
    EXPECT_EQ(LineOf(Reading(0, -12.34, 5)),
              "temperature,instrument=4660,channel=T value=-12.34,status=\"ok\" 5\n");
    DbPoint p = Reading(8, 0.0, 0);
    p.nSerial = 65535;
    EXPECT_EQ(LineOf(p), "temperature,instrument=65535,channel=T8 value=0.0,status=\"ok\" 0\n");
    // Lines join into one body, one point each.
    std::string body;
    AppendPointLine(Reading(1, 1), body);
    AppendPointLine(Reading(2, 2), body);
    EXPECT_EQ(body.find('\n'), body.size() / 2 - 1);
    EXPECT_EQ(body.back(), '\n');
}

TEST(LineProtocol, ErrorReadingsHaveNoValueAndAnErrorStatus) {
    DbPoint p = Reading(7, 99.9);
    p.bHasValue = false;
    EXPECT_EQ(LineOf(p), "temperature,instrument=4660,channel=T7 status=\"error\" 1700000000123\n");
    // A value the protocol cannot carry is no value either, not a broken line.
    EXPECT_EQ(LineOf(Reading(2, std::numeric_limits<double>::quiet_NaN())),
              "temperature,instrument=4660,channel=T2 status=\"error\" 1700000000123\n");
    EXPECT_EQ(LineOf(Reading(2, std::numeric_limits<double>::infinity())),
              "temperature,instrument=4660,channel=T2 status=\"error\" 1700000000123\n");
}

TEST(LineProtocol, AlarmIsAnIntegerFieldOnlyWhenKnown) {
    DbPoint p = Reading(1, 30.25);
    EXPECT_EQ(LineOf(p).find("alarm"), std::string::npos);
    for (int alarm : {1, -1, 0}) {
        p.bHasAlarm = true;
        p.nAlarm = static_cast<std::int8_t>(alarm);
        EXPECT_EQ(LineOf(p), "temperature,instrument=4660,channel=T1 value=30.25,status=\"ok\",alarm=" +
                                 std::to_string(alarm) + "i 1700000000123\n");
    }
    p.bHasValue = false;
    EXPECT_EQ(LineOf(p), "temperature,instrument=4660,channel=T1 status=\"error\",alarm=0i 1700000000123\n");
}

TEST(LineProtocol, FloatsAreShortestRoundTripWithAPointWhateverTheLocale) {
    // Under a comma-decimal locale printf would write 21,5.
    bool bComma = false;
    for (const char* name : {"pl_PL.UTF-8", "de_DE.UTF-8", "Polish", "German"})
        if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
            bComma = true;
            break;
        }
    std::string out;
    ASSERT_TRUE(FormatFloatField(21.5, out));
    EXPECT_EQ(out, "21.5");
    for (const auto& [value, text] : std::initializer_list<std::pair<double, const char*>>{
             {21.0, "21.0"}, {-0.1, "-0.1"}, {0.01, "0.01"}, {-199.99, "-199.99"}, {1e21, "1e+21"},
             {123456.78, "123456.78"}, {0.1 + 0.2, "0.30000000000000004"}}) {
        out.clear();
        ASSERT_TRUE(FormatFloatField(value, out));
        EXPECT_EQ(out, text);
        double back = 0;
        std::from_chars(out.data(), out.data() + out.size(), back);  // as the server reads it: no locale
        EXPECT_EQ(back, value);
    }
    out.clear();
    EXPECT_FALSE(FormatFloatField(std::nan(""), out));
    EXPECT_TRUE(out.empty());
    std::setlocale(LC_ALL, "C");
    if (!bComma)
        GTEST_SKIP() << "no comma-decimal locale here; checked under C only";
}

// A channel's value goes out as the decimal the instrument sent, not as
// tenths x 0.1 (21.400000000000002); the mean as the double nearest to the
// exact mean of those decimals.
TEST(LineProtocol, ValuesAreTheInstrumentsDecimals) {
    struct Row {
        long long units;
        bool fine;
        const char* text;
    };
    for (const Row& row :
         {Row{214, false, "21.4"}, Row{217, false, "21.7"}, Row{2145, true, "21.45"}, Row{-425, true, "-4.25"},
          Row{-1, false, "-0.1"}, Row{99999, true, "999.99"}, Row{210, false, "21.0"}}) {
        CChannelSet set;
        set.SetFineResolution(row.fine);
        set.StoreValue(3, static_cast<double>(row.units) * (row.fine ? 0.01 : 0.1), FALSE);  // as the decoder does
        std::string out;
        ASSERT_TRUE(FormatFloatField(DbValueOf(set, 3), out));
        EXPECT_EQ(out, row.text) << row.units;
    }
    CChannelSet set;
    set.StoreValue(1, 214 * 0.1, FALSE);
    set.StoreValue(2, 215 * 0.1, FALSE);
    std::string out;
    ASSERT_TRUE(FormatFloatField(DbValueOf(set, 0), out));
    EXPECT_EQ(out, "21.45");
    set.StoreValue(5, 555 * 0.1, TRUE);  // in error, but it holds a value: in the mean, as on screen
    out.clear();
    ASSERT_TRUE(FormatFloatField(DbValueOf(set, 0), out));
    EXPECT_EQ(out, "32.8");
    ChannelConfig config;
    config[5].bInUse = false;  // whatever the instrument sends for it
    set.SetConfig(config);
    out.clear();
    ASSERT_TRUE(FormatFloatField(DbValueOf(set, 0), out));
    EXPECT_EQ(out, "21.45");
}

// A named channel's tag (escaped, UTF-8), the raw value while a correction
// is in force, and no point from an input not in use.
TEST(LineProtocol, PointsCarryTheNameAndTheRawValueAndNoneComesFromAnInputNotInUse) {
    CChannelSet set;
    ChannelConfig config;  // 1 named and corrected, 2 named only blanks, 3 not in use
    config[1].strName = " Zamra\xBF" "arka 1, g\xF3ra=A ";  // blanks around, as a hand-edited file has them
    ASSERT_TRUE(ParseChannelDecimal("-0.3", ChannelSettings::kMaxOffsetDecimals, &config[1].offset));
    config[2].strName = "  ";
    config[3].bInUse = false;
    set.SetConfig(config);
    for (int c : {1, 2, 3})
        set.StoreValue(c, 200 * 0.1, FALSE);
    DbPoint p;
    ASSERT_TRUE(MakeDbPoint(set, 1, 4660, 5, &p));
    EXPECT_EQ(LineOf(p), "temperature,instrument=4660,channel=T1,name=Zamra\xC5\xBC" "arka\\ 1\\,\\ g\xC3\xB3ra\\=A "
                         "value=19.7,raw=20.0,status=\"ok\",alarm=0i 5\n");
    ASSERT_TRUE(MakeDbPoint(set, 2, 4660, 5, &p));
    EXPECT_EQ(LineOf(p), "temperature,instrument=4660,channel=T2 value=20.0,status=\"ok\",alarm=0i 5\n");
    EXPECT_FALSE(MakeDbPoint(set, 3, 4660, 5, &p));
    EXPECT_EQ(*DbChannelName("a\\b\\\\"), "a\\b");  // a backslash cannot end a tag
    EXPECT_EQ(DbChannelName("\\"), nullptr);
    EXPECT_EQ(EscapeTagValue(*DbChannelName("C:\\ a\\,b")), "C:\\ a\\,b");  // nor swallow an escape
}

TEST(LineProtocol, TagValuesAndStringsAreEscaped) {
    EXPECT_EQ(EscapeTagValue("T1"), "T1");
    EXPECT_EQ(EscapeTagValue("hala 2,piec=A"), "hala\\ 2\\,piec\\=A");
    EXPECT_EQ(EscapeTagValue("a\\b"), "a\\b");
    EXPECT_EQ(QuoteFieldString("ok"), "\"ok\"");
    EXPECT_EQ(QuoteFieldString("say \"hi\" \\"), "\"say \\\"hi\\\" \\\\\"");
    EXPECT_EQ(ChannelName(0), "T");
    EXPECT_EQ(ChannelName(1), "T1");
    EXPECT_EQ(ChannelName(8), "T8");
}
