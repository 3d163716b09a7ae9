#include "alarms/channel_alarm.h"
#include "instrument/channels.h"
#include "instrument/status_line.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

AlarmLimits Limits(bool bHasLow, double dLow, bool bHasHigh, double dHigh) {
    AlarmLimits l;
    l.bHasLow = bHasLow;
    l.dLow = dLow;
    l.bHasHigh = bHasHigh;
    l.dHigh = dHigh;
    return l;
}

const AlarmLimits kBoth = Limits(true, -5.0, true, 30.0);

// Feeds values through one channel and gives the states after each.
std::vector<int> States(ChannelAlarm& alarm, std::initializer_list<double> values, const AlarmLimits& limits,
                        double hysteresis = kDefaultHysteresis) {
    std::vector<int> states;
    for (double v : values) {
        JudgeAlarm(alarm, v, limits, hysteresis);
        states.push_back(alarm.nState);
    }
    return states;
}

}  // namespace

TEST(AlarmRule, EntersAboveTheUpperLimitAndLeavesOnlyPastTheHysteresis) {
    ChannelAlarm alarm;
    // At the limit is inside; the wobble between 29.6 and 30.4 keeps the alarm.
    EXPECT_EQ(States(alarm, {29.9, 30.0, 30.1, 29.6, 30.4, 29.51, 29.5, 29.9, 30.0}, kBoth),
              (std::vector<int>{0, 0, 1, 1, 1, 1, 0, 0, 0}));
}

TEST(AlarmRule, EntersBelowTheLowerLimitAndLeavesOnlyPastTheHysteresis) {
    ChannelAlarm alarm;
    EXPECT_EQ(States(alarm, {-5.0, -5.2, -4.6, -4.5, -5.1}, kBoth), (std::vector<int>{0, -1, -1, 0, -1}));
    EXPECT_DOUBLE_EQ(alarm.dLimit, -5.0);
}

TEST(AlarmRule, EventsNameTheLimitCrossedAndTheEndOfTheAlarm) {
    ChannelAlarm alarm;
    AlarmEvents e = JudgeAlarm(alarm, 30.4, kBoth, 0.5);
    ASSERT_EQ(e.nCount, 1);
    EXPECT_EQ(e.events[0].kind, kAlarmEnteredHigh);
    EXPECT_DOUBLE_EQ(e.events[0].dLimit, 30.0);
    EXPECT_EQ(JudgeAlarm(alarm, 30.2, kBoth, 0.5).nCount, 0);  // still in: nothing to tell
    e = JudgeAlarm(alarm, 29.4, kBoth, 0.5);
    ASSERT_EQ(e.nCount, 1);
    EXPECT_EQ(e.events[0].kind, kAlarmEnded);
    EXPECT_DOUBLE_EQ(e.events[0].dLimit, 30.0);

    // Straight from above to below: the high alarm ends, the low one begins.
    JudgeAlarm(alarm, 31.0, kBoth, 0.5);
    e = JudgeAlarm(alarm, -6.0, kBoth, 0.5);
    ASSERT_EQ(e.nCount, 2);
    EXPECT_EQ(e.events[0].kind, kAlarmEnded);
    EXPECT_DOUBLE_EQ(e.events[0].dLimit, 30.0);
    EXPECT_EQ(e.events[1].kind, kAlarmEnteredLow);
    EXPECT_DOUBLE_EQ(e.events[1].dLimit, -5.0);
    EXPECT_EQ(alarm.nState, kAlarmLow);
}

TEST(AlarmRule, OneLimitAloneAndNoLimitAtAll) {
    ChannelAlarm high;
    EXPECT_EQ(States(high, {-100.0, 100.0}, Limits(false, 0.0, true, 50.0)), (std::vector<int>{0, 1}));
    ChannelAlarm low;
    EXPECT_EQ(States(low, {100.0, -100.0}, Limits(true, 0.0, false, 0.0)), (std::vector<int>{0, -1}));
    ChannelAlarm none;
    EXPECT_EQ(States(none, {-1000.0, 1000.0}, AlarmLimits()), (std::vector<int>{0, 0}));
}

// Limits closer than twice the hysteresis: the way out ends at the middle.
TEST(AlarmRule, BetweenCloseLimitsTheMiddleIsNoAlarmAndPastEitherIsItsAlarm) {
    const AlarmLimits close = Limits(true, 20.0, true, 20.4);
    ChannelAlarm alarm;
    EXPECT_EQ(States(alarm, {20.5, 20.25, 20.2, 19.9, 20.15, 20.2, 19.95, 20.45, 20.1}, close),
              (std::vector<int>{1, 1, 0, -1, -1, 0, -1, 1, 0}));
    // A lower limit not below the upper one is refused: no alarm, and one held ends.
    EXPECT_EQ(States(alarm, {25.0, -25.0, 25.0}, Limits(true, 20.4, true, 20.0)), (std::vector<int>{0, 0, 0}));
    JudgeAlarm(alarm, 25.0, close, 0.5);
    EXPECT_EQ(JudgeAlarm(alarm, 25.0, Limits(true, 20.0, true, 20.0), 0.5).events[0].kind, kAlarmEnded);
}

TEST(AlarmRule, ZeroOrNegativeHysteresisLeavesAtTheLimit) {
    ChannelAlarm alarm;
    EXPECT_EQ(States(alarm, {30.1, 30.0}, kBoth, 0.0), (std::vector<int>{1, 0}));
    EXPECT_EQ(States(alarm, {30.1, 30.0}, kBoth, -2.0), (std::vector<int>{1, 0}));
}

// A mean is a sum divided: 30.0 reached through arithmetic is at the limit.
TEST(AlarmRule, ArithmeticNoiseAtTheLimitIsNotBeyondIt) {
    ChannelAlarm alarm;
    const double mean = (29.9 + 30.1 + 30.0) / 3.0;
    JudgeAlarm(alarm, mean, kBoth, 0.5);
    EXPECT_EQ(alarm.nState, kAlarmNone);
    JudgeAlarm(alarm, 30.3, kBoth, 0.3);
    JudgeAlarm(alarm, 30.0 - 0.3, kBoth, 0.3);
    EXPECT_EQ(alarm.nState, kAlarmNone);
}

TEST(AlarmRule, ALimitChangedWhileInAlarmIsJudgedAtTheNextReading) {
    ChannelAlarm alarm;
    JudgeAlarm(alarm, 31.0, kBoth, 0.5);
    ASSERT_EQ(alarm.nState, kAlarmHigh);
    // Raised, but the value is still beyond it: the alarm stays and now
    // stands against the new limit.
    JudgeAlarm(alarm, 31.0, Limits(false, 0.0, true, 30.8), 0.5);
    EXPECT_EQ(alarm.nState, kAlarmHigh);
    EXPECT_DOUBLE_EQ(alarm.dLimit, 30.8);
    // Raised well above the value: the alarm ends against the new limit.
    AlarmEvents e = JudgeAlarm(alarm, 31.0, Limits(false, 0.0, true, 40.0), 0.5);
    ASSERT_EQ(e.nCount, 1);
    EXPECT_EQ(e.events[0].kind, kAlarmEnded);
    EXPECT_DOUBLE_EQ(e.events[0].dLimit, 40.0);
    // Removed altogether: the alarm ends against the limit it had.
    JudgeAlarm(alarm, -7.0, kBoth, 0.5);
    e = JudgeAlarm(alarm, -7.0, AlarmLimits(), 0.5);
    ASSERT_EQ(e.nCount, 1);
    EXPECT_EQ(e.events[0].kind, kAlarmEnded);
    EXPECT_DOUBLE_EQ(e.events[0].dLimit, -5.0);
    EXPECT_EQ(alarm.nState, kAlarmNone);
}

TEST(AlarmRule, ANumberThatIsNoValueChangesNothing) {
    ChannelAlarm alarm;
    JudgeAlarm(alarm, 31.0, kBoth, 0.5);
    EXPECT_EQ(JudgeAlarm(alarm, std::nan(""), kBoth, 0.5).nCount, 0);
    EXPECT_EQ(JudgeAlarm(alarm, -INFINITY, kBoth, 0.5).nCount, 0);
    EXPECT_EQ(alarm.nState, kAlarmHigh);
}

TEST(AlarmNumbers, WrittenWithAPointAndOneOrTwoDecimals) {
    EXPECT_EQ(FormatAlarmNumber(30.0), "30.0");
    EXPECT_EQ(FormatAlarmNumber(0.5), "0.5");
    EXPECT_EQ(FormatAlarmNumber(-5.25), "-5.25");
    EXPECT_EQ(FormatAlarmNumber(-0.001), "0.0");
    EXPECT_EQ(FormatAlarmNumber(1234.567), "1234.57");
}

TEST(AlarmNumbers, ParsedWithAPointOrAComma) {
    double v = 0.0;
    ASSERT_TRUE(ParseAlarmNumber(" 30.4 ", &v));
    EXPECT_DOUBLE_EQ(v, 30.4);
    ASSERT_TRUE(ParseAlarmNumber("-5,25", &v));
    EXPECT_DOUBLE_EQ(v, -5.25);
    ASSERT_TRUE(ParseAlarmNumber("+7", &v));
    EXPECT_DOUBLE_EQ(v, 7.0);
    ASSERT_TRUE(ParseAlarmNumber(".5", &v));
    EXPECT_DOUBLE_EQ(v, 0.5);
    for (const char* bad : {"", "  ", "-", ".", "1.2.3", "1,2.3", "30 C", "abc", "1e3", "- 5", "1234567890123456"})
        EXPECT_FALSE(ParseAlarmNumber(bad, &v)) << bad;
    // Every number written reads back as the same number.
    for (double x : {30.0, -5.25, 0.5, 999.99})
        EXPECT_TRUE(ParseAlarmNumber(FormatAlarmNumber(x), &v) && v == x) << x;
}

TEST(AlarmPiece, NamesOneOrTwoChannelsWithTheirLimitsAndMoreByNameOnly) {
    ChannelAlarm alarms[9];
    EXPECT_EQ(ComposeAlarmPiece(alarms), "");
    alarms[3] = {kAlarmHigh, 30.0};
    EXPECT_EQ(ComposeAlarmPiece(alarms), "Alarm: T3 > 30.0 \xB0" "C. ");
    alarms[0] = {kAlarmLow, -5.0};
    EXPECT_EQ(ComposeAlarmPiece(alarms), "Alarm: T < -5.0 \xB0" "C, T3 > 30.0 \xB0" "C. ");
    alarms[8] = {kAlarmHigh, 12.5};
    EXPECT_EQ(ComposeAlarmPiece(alarms), "Alarm: T, T3, T8. ");
    ChannelConfig config;
    config[3].strName = "Zamra\xBF" "arka 1";
    EXPECT_EQ(ComposeAlarmPiece(alarms, config), "Alarm: T, Zamra\xBF" "arka 1, T8. ");
}

TEST(AlarmPiece, ComesLastInTheStatusLine) {
    StatusLineState state = {};
    state.bLinkUp = FALSE;
    state.bRecording = TRUE;
    state.nIntervalSeconds = 60;
    state.strAlarm = "Alarm: T3 > 30.0 \xB0" "C. ";
    EXPECT_EQ(ComposeStatusLine(state),
              "Brak komunikacji z urz\xB9" "dzeniem. Rejestracja do pliku co 00:01:00. Alarm: T3 > 30.0 \xB0" "C. ");
}

// The set judges only what it holds as a valid value: a reading in error and
// a lost link change no alarm, and the next valid value is judged again.
TEST(AlarmRule, TheChannelSetJudgesValidValuesOnly) {
    CChannelSet channels;
    EXPECT_EQ(channels.JudgeAlarm(3, kBoth, 0.5).nCount, 0) << "no value yet";
    channels.StoreValue(3, 31.0, FALSE);
    ASSERT_EQ(channels.JudgeAlarm(3, kBoth, 0.5).nCount, 1);
    EXPECT_EQ(channels[3].alarm.nState, kAlarmHigh);
    channels.StoreValue(3, 20.0, TRUE);  // the instrument's error flag
    EXPECT_EQ(channels.JudgeAlarm(3, kBoth, 0.5).nCount, 0);
    channels.LoseAll();
    EXPECT_EQ(channels.JudgeAlarm(3, kBoth, 0.5).nCount, 0);
    EXPECT_EQ(channels[3].alarm.nState, kAlarmHigh);
    channels.StoreValue(3, 20.0, FALSE);
    const AlarmEvents e = channels.JudgeAlarm(3, kBoth, 0.5);
    ASSERT_EQ(e.nCount, 1);
    EXPECT_EQ(e.events[0].kind, kAlarmEnded);
    // The mean: judged like any channel once it holds a value.
    channels.StoreMean(FALSE);  // the first after the loss: no value
    EXPECT_EQ(channels.JudgeAlarm(0, Limits(false, 0.0, true, 10.0), 0.5).nCount, 0);
    channels.StoreMean(FALSE);
    EXPECT_EQ(channels.JudgeAlarm(0, Limits(false, 0.0, true, 10.0), 0.5).nCount, 1);
    EXPECT_EQ(channels.JudgeAlarm(9, kBoth, 0.5).nCount, 0) << "no such channel";
}
