#include "instrument/channels.h"
#include "common/civil_time.h"
#include "instrument/calibration_due.h"
#include "instrument/channel_form.h"
#include "common/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(ChannelMean, OnlyChannelsWithAValueCount) {
    const double values[8] = {20.0, 22.0, 99.0, 99.0, 99.0, 99.0, 99.0, 99.0};
    // Any non-zero flag means "no value".
    const BOOL noValue[8] = {FALSE, FALSE, TRUE, TRUE, 2, TRUE, TRUE, TRUE};
    double mean = -1.0;
    ASSERT_TRUE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 21.0);
}

TEST(ChannelMean, SumsInChannelOrderFromPositiveZero) {
    // In channel order 1e16 + 1 rounds back to 1e16, so the sum is 0; any
    // other order would give 1 or 2.
    const double values[8] = {1e16, 1.0, -1e16, 1.0, 0.0, 0.0, 0.0, 0.0};
    const BOOL noValue[8] = {FALSE, FALSE, FALSE, TRUE, TRUE, TRUE, TRUE, TRUE};
    double mean = -1.0;
    ASSERT_TRUE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 0.0);

    const double negativeZero[8] = {-0.0, 0, 0, 0, 0, 0, 0, 0};
    const BOOL onlyFirst[8] = {FALSE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    ASSERT_TRUE(ComputeChannelMean(negativeZero, onlyFirst, &mean));
    EXPECT_FALSE(std::signbit(mean)) << "0.0 + -0.0 is +0.0";
}

TEST(ChannelMean, NoValueAnywhereLeavesTheMeanUntouched) {
    const double values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BOOL noValue[8] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    double mean = 42.5;
    EXPECT_FALSE(ComputeChannelMean(values, noValue, &mean));
    EXPECT_EQ(mean, 42.5);
}

}  // namespace

namespace {

TEST(ChannelSet, StartsWithoutValuesInDegreesCelsius) {
    const CChannelSet set;
    for (int c = 0; c < CChannelSet::kChannels; ++c) {
        EXPECT_TRUE(set[c].bNoValue) << c;
        EXPECT_TRUE(std::isnan(set[c].dValue)) << c << ": a value never received is no number";
        EXPECT_FALSE(set[c].bAlert) << c;
        EXPECT_FALSE(set[c].bFineResolution) << c;
        EXPECT_EQ(set[c].nQuantity, 3) << c;
    }
}

TEST(ChannelSet, AValueReachesOnlyItsChannelAndChannelZeroIsNeverWrittenDirectly) {
    CChannelSet set;
    set.StoreValue(3, 23.4, FALSE);
    set.StoreValue(5, -1.5, TRUE);
    set.StoreValue(0, 99.0, FALSE);
    set.StoreValue(9, 99.0, FALSE);
    set.StoreValue(-1, 99.0, FALSE);
    EXPECT_FALSE(set[3].bNoValue);
    EXPECT_EQ(set[3].dValue, 23.4);
    EXPECT_FALSE(set[3].bAlert);
    EXPECT_FALSE(set[5].bNoValue);
    EXPECT_TRUE(set[5].bAlert) << "a value in error is kept and blinks";
    EXPECT_TRUE(set[0].bNoValue);
    for (int c : {1, 2, 4, 6, 7, 8})
        EXPECT_TRUE(set[c].bNoValue) << c;
}

TEST(ChannelSet, LosingTheLinkKeepsTheNumbersButNoValueAndTheFirstMeanAfterIsNone) {
    CChannelSet set;
    set.StoreValue(1, 20.0, FALSE);
    set.StoreValue(2, 22.0, FALSE);
    set.StoreMean(FALSE);
    EXPECT_TRUE(set[0].bNoValue) << "the first channel-0 line after start shows no mean";
    set.StoreMean(FALSE);
    ASSERT_FALSE(set[0].bNoValue);
    EXPECT_EQ(set[0].dValue, 21.0);

    set.LoseAll();
    for (int c = 0; c < CChannelSet::kChannels; ++c) {
        EXPECT_TRUE(set[c].bNoValue) << c;
        EXPECT_TRUE(set[c].bAlert) << c;
    }
    EXPECT_EQ(set[1].dValue, 20.0) << "the last number stays for DDE";

    set.StoreValue(1, 30.0, FALSE);
    set.StoreMean(TRUE);
    EXPECT_TRUE(set[0].bNoValue);
    EXPECT_TRUE(set[0].bAlert);
    set.StoreMean(FALSE);
    ASSERT_FALSE(set[0].bNoValue);
    EXPECT_EQ(set[0].dValue, 30.0) << "only channels heard since the loss count";
    EXPECT_FALSE(set[0].bAlert);
}

TEST(ChannelSet, AMeanOfNoChannelIsNoValueNotNaN) {
    CChannelSet set;
    set.StoreMean(FALSE);
    set.StoreMean(FALSE);
    EXPECT_TRUE(set[0].bNoValue);
    double mean = 7.0;
    EXPECT_FALSE(set.ComputeMean(&mean));
    EXPECT_EQ(mean, 7.0);
}

TEST(ChannelSet, ResolutionIsTheInstrumentsForEveryChannel) {
    CChannelSet set;
    set.SetFineResolution(TRUE);
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        EXPECT_TRUE(set[c].bFineResolution) << c;
    set.SetFineResolution(FALSE);
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        EXPECT_FALSE(set[c].bFineResolution) << c;
}

ChannelSettings Correction(const char* gain, const char* offset) {
    ChannelSettings ch;
    EXPECT_TRUE(ParseChannelDecimal(gain, ChannelSettings::kMaxGainDecimals, &ch.gain)) << gain;
    EXPECT_TRUE(ParseChannelDecimal(offset, ChannelSettings::kMaxOffsetDecimals, &ch.offset)) << offset;
    return ch;
}

// The raw value as the decoder makes it (units x 0.1 or x 0.01); the result
// is the double that reading the decimal's text gives, halves away from zero.
TEST(ChannelCorrection, IsTheDecimalAnswerAtTheResolution) {
    const struct {
        int units;
        bool fine;
        const char *gain, *offset, *expected;
    } rows[] = {
        {200, false, "1", "-0.3", "19.7"},     {500, false, "1.002", "0", "50.1"},
        {250, false, "1.002", "0", "25.1"},    {-250, false, "1.002", "0", "-25.1"},
        {-2, false, "1", "0.15", "-0.1"},      {0, false, "1", "-0,04", "0"},
        {-500, false, "0.5", "-10", "-35"},    {1234, true, "1.0005", "0", "12.35"},
        {-1234, true, "1", "0.005", "-12.34"}, {-1234, true, "1", "-0.005", "-12.35"},
        {15000, true, "2", "+10.0000", "310"}, {-1, true, "1.000001", "0.0049", "-0.01"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.units) + " x " + row.gain + " + " + row.offset);
        const double raw = row.units * (row.fine ? 0.01 : 0.1);
        EXPECT_EQ(CorrectReading(Correction(row.gain, row.offset), raw, row.fine), std::strtod(row.expected, nullptr));
    }
    // No correction in force: the decoder's own double, untouched.
    const double raw = 214 * 0.1;
    EXPECT_EQ(CorrectReading(Correction("1.000", "0.0"), raw, false), raw);
    ChannelSettings refused = Correction("1", "0.3");
    refused.bRefused[kKeyGain] = true;
    EXPECT_EQ(CorrectReading(refused, raw, false), raw);
}

// Every raw tenth (and hundredth) from -50 to 150 through offsets -1 to 1 in
// steps of 0.1 (0.01) with a gain of 1.002, against the decimal answer in
// integers; the figures of a plain double computation are printed beside.
TEST(ChannelCorrection, EveryReadingOfTheRangeIsTheDecimalAnswer) {
    for (const int scale : {10, 100}) {
        long long differ = 0, plainRoundedWrong = 0, plainCutWrong = 0;
        const int decimals = scale == 10 ? 1 : 2;
        for (int offset = -scale; offset <= scale; ++offset) {
            ChannelSettings ch;
            ch.gain = {1002, 3};
            ch.offset = {offset, scale == 10 ? 1 : 2};
            for (int units = -50 * scale; units <= 150 * scale; ++units) {
                // units x 1.002 + offset, in thousandths of a unit, rounded half away.
                const long long n = units * 1002LL + offset * 1000LL;
                const long long q = (n + (n < 0 ? -500 : 500)) / 1000;
                const double expected = double(q) / scale;
                const double raw = units * (scale == 10 ? 0.1 : 0.01);
                differ += CorrectReading(ch, raw, scale == 100) != expected;
                // Plain doubles, rounded only when printed, or cut as a
                // display keeping the digits does (against the decimal cut).
                const double plain = raw * 1.002 + double(offset) / scale;
                plainRoundedWrong += FormatFixed(plain, decimals) != FormatFixed(expected, decimals);
                plainCutWrong += static_cast<long long>(std::trunc(plain * scale)) != n / 1000;
            }
        }
        std::printf("1/%d: %lld readings, %lld differ from the decimal answer; plain doubles: %lld printed wrong, "
                    "%lld wrong when cut\n",
                    scale, (2LL * scale + 1) * (200 * scale + 1), differ, plainRoundedWrong, plainCutWrong);
        EXPECT_EQ(differ, 0);
    }
}

TEST(ChannelSet, TheCorrectionIsAppliedOnceTheRawValueKeptAndTheMeanLeavesOutInputsNotInUse) {
    CChannelSet set;
    ChannelConfig config;
    config[1].offset = {-3, 1};
    config[3].bInUse = false;
    set.SetConfig(config);
    set.StoreValue(1, 200 * 0.1, FALSE);
    set.StoreValue(2, 22.0, FALSE);
    set.StoreValue(3, 99.0, FALSE);
    EXPECT_EQ(set[1].dValue, 19.7);
    EXPECT_EQ(set[1].dRawValue, 200 * 0.1);
    EXPECT_EQ(set[3].dValue, 99.0) << "an input not in use keeps what it was sent";
    set.StoreMean(FALSE);
    set.StoreMean(FALSE);
    EXPECT_EQ(set[0].dValue, (19.7 + 22.0) / 2);
}

}  // namespace

namespace {

TEST(ChannelTwoPoint, GainAndOffsetFromACertificatesPointsOrWhyNot) {
    const struct {
        const char *read1, *ref1, *read2, *ref2, *line, *refusal;
    } rows[] = {
        // A probe reading 0.3 high at both points.
        {"0.3", "0.0", "100.3", "100.0",
         "korekcja = 1.0000 \xD7 odczyt - 0.30 \xB0"
         "C",
         ""},
        {"-20,1", "-20.0", "50.0", "50.2",
         "korekcja = 1.0014 \xD7 odczyt + 0.13 \xB0"
         "C",
         ""},
        {"20.0", "20.1", "20.0", "30.0", "", "Odczyty w obu punktach s\xB9 r\xF3wne"},
        {"0.0", "0.0", "10.0", "30.0", "", "Wyliczone wzmocnienie 3.0000 jest poza zakresem"},
        {"0.0", "15.0", "10.0", "25.0", "",
         "Wyliczone przesuni\xEA"
         "cie 15.00"},
        {"abc", "0", "1", "1", "", "odczyt 1: liczba"},
    };
    for (const auto& r : rows) {
        const TwoPointResult result = ComputeTwoPointCorrection(r.read1, r.ref1, r.read2, r.ref2);
        EXPECT_EQ(result.strRefusal.substr(0, std::string(r.refusal).size()), r.refusal) << r.read1 << " " << r.ref2;
        if (*r.line) {
            EXPECT_EQ(DescribeCorrection(result.gain, result.offset), r.line);
        }
    }
}

TEST(ChannelForm, ReadsByTheFilesRuleAndNamesTheRefusedField) {
    ChannelConfig config;
    ChannelForm form = MakeChannelForm(config);
    form.rows[2] = {"Zamra\xBF"
                    "arka 1",
                    false,
                    "-0,3",
                    "1.0020",
                    "2026-01-05",
                    "2027-01-05",
                    "C-17"};
    ASSERT_EQ(ReadChannelForm(form, &config), "");
    EXPECT_EQ(config.Title(2), "Zamra\xBF"
                               "arka 1");
    EXPECT_FALSE(config[2].bInUse);
    EXPECT_EQ(CorrectReading(config[2], 20.0, false), 19.7);
    const std::string kLongName(41, 'x');
    const struct {
        int field;
        const char* text;
        const char* refusal;
    } rows[] = {
        {0, kLongName.c_str(), "Kana\xB3 2: nazwa"},
        {1, "0", "Kana\xB3 2: wzmocnienie"},
        {1, "1.0000001", "Kana\xB3 2: wzmocnienie"},
        {2, "10.5", "Kana\xB3 2: przesuni\xEA"},
        {3, "2026-02-30", "Kana\xB3 2: data kalibracji"},
        {4, "jutro", "Kana\xB3 2: termin kalibracji"},
        {0, "P\xF3\xB3ka\rg\xF3ra", "Kana\xB3 2: nazwa"},  // a lone CR splits a CSV row
        {0, "\x81" "ahmet", "Kana\xB3 2: nazwa"},             // a typed letter Windows-1250 lacks
    };
    for (const auto& r : rows) {
        ChannelForm bad = form;
        std::string* fields[] = {&bad.rows[2].strName, &bad.rows[2].strGain, &bad.rows[2].strOffset,
                                 &bad.rows[2].strCalDate, &bad.rows[2].strCalDue};
        *fields[r.field] = r.text;
        ChannelConfig kept = config;
        EXPECT_EQ(ReadChannelForm(bad, &kept).substr(0, std::string(r.refusal).size()), r.refusal) << r.text;
        EXPECT_EQ(kept.Title(2), config.Title(2));
    }
}

TEST(CalibrationReminder, OnceADayAWeekBeforeAndOnTheDay) {
    ChannelConfig config;
    config[3].strName = "Zamra\xBF"
                        "arka 1";
    config[3].strCalDue = "2026-12-01";
    config[4].strCalDue = "2026-12-01";
    config[4].bInUse = false;  // no probe: no reminder
    const std::int64_t due = DaysFromCivil(2026, 12, 1);
    CCalibrationReminder reminder;
    std::string notices;
    for (std::int64_t day = due - 9; day <= due + 1; ++day)
        for (int second = 0; second < 3; ++second) {
            EXPECT_EQ(reminder.OnTick(config, day), second == 0);
            for (const CalibrationNotice& n : reminder.TakeNotices())
                notices += std::to_string(day - due) + ":" + std::to_string(n.nChannel) + "/" +
                           std::to_string(n.nDaysLeft) + " ";
        }
    EXPECT_EQ(notices, "-7:3/7 0:3/0 ");
    // A clock set back to the due day, or a restart with the settings kept, sends no second notice.
    reminder.OnTick(config, due);
    EXPECT_TRUE(reminder.TakeNotices().empty());
    CCalibrationReminder restarted;
    restarted.TakeSent(reminder.SentText() + ",9 2026-12-01 0,3 2026-12-01 5,x");
    EXPECT_EQ(restarted.SentText(), "3 2026-12-01 0,3 2026-12-01 7");
    restarted.OnTick(config, due);
    EXPECT_TRUE(restarted.TakeNotices().empty());
    // Not running on those days: each notice on the first day after, once.
    for (std::int64_t first : {due - 3, due + 5}) {
        CCalibrationReminder late;
        late.OnTick(config, first);
        const std::vector<CalibrationNotice> sent = late.TakeNotices();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].nDaysLeft, static_cast<int>(due - first));
        late.OnTick(config, first + 1);
        EXPECT_TRUE(late.TakeNotices().empty());
    }
    EXPECT_EQ(reminder.StatusPiece(), "Kalibracja kana\xB3u Zamra\xBF"
                                      "arka 1 min\xEA\xB3"
                                      "a 2026-12-01. ");
    config[3].strCalDue = "2027-12-01";
    reminder.OnConfigChanged(config);
    EXPECT_EQ(reminder.StatusPiece(), "");
    EXPECT_TRUE(reminder.TakeNotices().empty());
}

}  // namespace
