#include "exchange/dde_items.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

ChannelState Reading(double value, BOOL noValue = FALSE, BOOL alert = FALSE, BOOL fine = FALSE) {
    ChannelState r;
    r.dValue = value;
    r.bNoValue = noValue;
    r.bAlert = alert;
    r.nQuantity = 3;
    r.bFineResolution = fine;
    return r;
}

const char kError[] = "B\xB3\xB9" "d pomiaru";

}  // namespace

TEST(DdeNames, TopicsCarryTheSerialNumberInDecimal) {
    EXPECT_EQ(dde::TopicName(0, 4660), "Temperatura#4660");
    EXPECT_EQ(dde::TopicName(3, 4660), "Temperatura3#4660");
    EXPECT_EQ(dde::TopicName(8, 65535), "Temperatura8#65535");
    EXPECT_EQ(dde::TopicName(1, 7), "Temperatura1#7");
    EXPECT_EQ(dde::TopicName(9, 1), "");
    EXPECT_EQ(dde::TopicName(-1, 1), "");
}

TEST(DdeNames, TopicNamesParseBackInAnyLetterCase) {
    for (int c = 0; c < dde::kChannels; ++c) {
        int channel = -1;
        long serial = -1;
        ASSERT_TRUE(dde::ParseTopicName(dde::TopicName(c, 4660), &channel, &serial)) << c;
        EXPECT_EQ(channel, c);
        EXPECT_EQ(serial, 4660);
    }
    int channel = -1;
    long serial = -1;
    EXPECT_TRUE(dde::ParseTopicName("tEMPERATURA5#0012", &channel, &serial));
    EXPECT_EQ(channel, 5);
    EXPECT_EQ(serial, 12);
    for (const char* bad : {"Temperatura3", "Temperatura3#", "Temperatura9#1", "Temperatura3#12a", "Temperatura3#-1",
                            "#4660", "", "Temperatura3#4660#1", "Temperatura 3#4660", "Temperatura3#99999999999"}) {
        EXPECT_FALSE(dde::ParseTopicName(bad, &channel, &serial)) << bad;
    }
}

TEST(DdeNames, ItemsInAnyLetterCase) {
    EXPECT_EQ(dde::ItemIndex("Wynik"), 0);
    EXPECT_EQ(dde::ItemIndex("POMIAR"), 1);
    EXPECT_EQ(dde::ItemIndex("status"), 2);
    EXPECT_EQ(dde::ItemIndex("ALARM"), 3);
    EXPECT_EQ(dde::ItemIndex("Statu"), dde::kItems);
    EXPECT_EQ(dde::ItemIndex("Status "), dde::kItems);
    EXPECT_EQ(dde::ItemIndex(""), dde::kItems);
}

TEST(DdeItems, ValuesWithAndWithoutUnitInWindows1250) {
    const ChannelState tenths = Reading(21.47);
    EXPECT_EQ(dde::ItemText(dde::kItemResult, tenths), "21.4");
    EXPECT_EQ(dde::ItemText(dde::kItemMeasurement, tenths), "21.4 \xB0" "C");
    EXPECT_EQ(dde::ItemText(dde::kItemStatus, tenths), "Pomiar OK");
    const ChannelState hundredths = Reading(-5.456, FALSE, FALSE, TRUE);
    EXPECT_EQ(dde::ItemText(dde::kItemResult, hundredths), "-5.46");
    EXPECT_EQ(dde::ItemText(dde::kItemMeasurement, hundredths), "-5.46 \xB0" "C");
}

TEST(DdeItems, StatusIsAnErrorWithoutAValidValueButTheLastValueStays) {
    const ChannelState lost = Reading(19.5, TRUE, TRUE);
    EXPECT_EQ(dde::ItemText(dde::kItemStatus, lost), kError);
    EXPECT_EQ(dde::ItemText(dde::kItemResult, lost), "19.5");
    EXPECT_EQ(dde::ItemText(dde::kItemMeasurement, lost), "19.5 \xB0" "C");
    EXPECT_EQ(dde::ItemText(dde::kItemStatus, Reading(19.5, FALSE, TRUE)), kError);
    EXPECT_EQ(dde::ItemText(dde::kItemStatus, Reading(19.5, TRUE, FALSE)), kError);
}

TEST(DdeItems, AFieldThatNeverHadAValueGivesNoNumber) {
    const ChannelState never = Reading(std::numeric_limits<double>::quiet_NaN(), TRUE, TRUE);
    EXPECT_EQ(dde::ItemText(dde::kItemResult, never), "");
    EXPECT_EQ(dde::ItemText(dde::kItemMeasurement, never), "");
    EXPECT_EQ(dde::ItemText(dde::kItemStatus, never), kError);
    EXPECT_EQ(dde::ItemText(dde::kItemResult, Reading(std::numeric_limits<double>::infinity())), "");
    // An input with no probe, whatever the instrument sends there.
    for (int item : {dde::kItemResult, dde::kItemMeasurement, dde::kItemStatus, dde::kItemAlarm})
        EXPECT_EQ(dde::ItemText(item, Reading(21.4), false), dde::ItemText(item, never)) << item;
}

TEST(DdeItems, UnknownQuantityOrItemGivesAnEmptyText) {
    ChannelState unset = Reading(12.0);
    unset.nQuantity = 0;
    EXPECT_EQ(dde::ItemText(dde::kItemResult, unset), "");
    EXPECT_EQ(dde::ItemText(dde::kItemMeasurement, unset), "");
    EXPECT_EQ(dde::ItemText(dde::kItemStatus, unset), "Pomiar OK");
    EXPECT_EQ(dde::ItemText(dde::kItems, Reading(12.0)), "");
    EXPECT_EQ(dde::ItemText(-1, Reading(12.0)), "");
}

// The alarm is published whatever the reading's state: a channel keeps its
// alarm through errors and a lost link.
TEST(DdeItems, AlarmIsOneMinusOneOrZero) {
    ChannelState channel = Reading(31.0);
    EXPECT_EQ(dde::ItemText(dde::kItemAlarm, channel), "0");
    channel.alarm.nState = kAlarmHigh;
    EXPECT_EQ(dde::ItemText(dde::kItemAlarm, channel), "1");
    channel.alarm.nState = kAlarmLow;
    channel.bNoValue = TRUE;
    channel.bAlert = TRUE;
    EXPECT_EQ(dde::ItemText(dde::kItemAlarm, channel), "-1");
    EXPECT_STREQ(dde::kItemNames[dde::kItemAlarm], "Alarm");
}
