#include "alarms/alarm_log.h"

#include <gtest/gtest.h>

namespace {
const RecordTime kTime = {2026, 12, 8, 14, 3, 12};
}

TEST(AlarmLog, HeaderIsWindows1250WithCrLf) {
    EXPECT_EQ(FormatAlarmLogHeader(), "Data i Godzina;Kana\xB3;Zdarzenie;Warto\x9C\xE6;Pr\xF3g\r\n");
}

TEST(AlarmLog, OneLinePerEventWithTheValueAsTheFieldShowsIt) {
    EXPECT_EQ(FormatAlarmLogLine(kTime, 3, {kAlarmEnteredHigh, 30.0}, 30.4, false),
              "2026-12-08 14:03:12;T3;g\xF3rny;30.4;30.0\r\n");
    EXPECT_EQ(FormatAlarmLogLine({2026, 12, 8, 14, 9, 40}, 3, {kAlarmEnded, 30.0}, 29.4, false),
              "2026-12-08 14:09:40;T3;koniec;29.4;30.0\r\n");
    EXPECT_EQ(FormatAlarmLogLine(kTime, 0, {kAlarmEnteredLow, -5.0}, -5.2, false),
              "2026-12-08 14:03:12;T;dolny;-5.2;-5.0\r\n");
    // Tenths are cut as the field cuts them, hundredths rounded; limits keep
    // their hundredths.
    EXPECT_EQ(FormatAlarmLogLine(kTime, 8, {kAlarmEnteredHigh, 21.45}, 21.47, false),
              "2026-12-08 14:03:12;T8;g\xF3rny;21.4;21.45\r\n");
    EXPECT_EQ(FormatAlarmLogLine(kTime, 1, {kAlarmEnteredHigh, 21.45}, 21.468, true),
              "2026-12-08 14:03:12;T1;g\xF3rny;21.47;21.45\r\n");
    ChannelConfig config;
    config[3].strName = "Zamra\xBF" "arka 1";
    config[4].strName = "P\xF3\xB3ka \"A\"; g\xF3ra";
    EXPECT_EQ(FormatAlarmLogLine(kTime, 3, {kAlarmEnteredHigh, 19.9}, 20.1, false, config),
              "2026-12-08 14:03:12;Zamra\xBF" "arka 1;g\xF3rny;20.1;19.9\r\n");
    EXPECT_EQ(FormatAlarmLogLine(kTime, 4, {kAlarmEnded, 19.9}, 19.0, false, config),
              "2026-12-08 14:03:12;\"P\xF3\xB3ka \"\"A\"\"; g\xF3ra\";koniec;19.0;19.9\r\n");
}
