#include "notify/notify_rules.h"
#include "notify/notify_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// 2026-12-08 00:00:00 UTC
const std::int64_t kDay = 1796688000;
const int kOffset = 60;  // +01:00

NotifySource Source() {
    NotifySource s;
    s.strPc = "HALA-2";
    s.nInstrument = 7;
    return s;
}

NotifySettings Settings(int delay, int repeat, int silence, const char* summary = "") {
    NotifySettings s;
    s.nDelaySeconds = delay;
    s.nRepeatMinutes = repeat;
    s.nSilenceMinutes = silence;
    s.strSummary = summary;
    return s;
}

NotifyTime At(std::int64_t seconds) { return NotifyTime{kDay + seconds, kOffset, seconds}; }

// Events as "name@second", for comparing whole runs at a glance.
std::vector<std::string> Names(const std::vector<Notification>& messages) {
    std::vector<std::string> names;
    for (const Notification& m : messages)
        names.push_back(std::string(NotifyEventName(m.event)) + "@" + m.strTime.substr(17, 2));
    return names;
}

// Channel 3 with an upper limit of 25.0: one value a second from 0 s on,
// judged and ticked as the program does; the wall clock set nStep seconds
// forward from the third on.
std::vector<Notification> Feed(CNotifyRules& rules, const std::vector<double>& values, std::int64_t nStep = 0) {
    AlarmLimits limits;
    limits.bHasHigh = true;
    limits.dHigh = 25.0;
    ChannelAlarm alarm;
    std::vector<Notification> all;
    for (std::size_t s = 0; s < values.size(); ++s) {
        JudgeAlarm(alarm, values[s], limits, kDefaultHysteresis);
        NotifyTime time = At(s);
        time.nUtc += s >= 2 ? nStep : 0;
        rules.OnReading(3, values[s], alarm, time);
        rules.OnTick(time);
        for (Notification& m : rules.TakeMessages())
            all.push_back(m);
    }
    return all;
}

}  // namespace

TEST(NotifyRules, AnAlarmIsToldOnlyAfterItsDelay) {
    struct Row {
        int delay;
        std::vector<double> values;
        std::vector<std::string> told;
        std::int64_t step = 0;  // the wall clock set forward
    };
    const Row rows[] = {
        {0, {24, 26, 26, 24}, {"alarm@01", "alarm_cleared@03"}},
        {5, {24, 26, 26, 26, 24, 24}, {}},  // back within the delay: nothing at all
        {5, {24, 26, 26, 26, 26, 26, 26, 24}, {"alarm@06", "alarm_cleared@07"}},
        {300, {24, 26, 26, 26, 24}, {}, 1200},
    };
    for (const Row& row : rows) {
        CNotifyRules rules(Source(), Settings(row.delay, 0, 0));
        EXPECT_EQ(Names(Feed(rules, row.values, row.step)), row.told) << row.delay;
    }
}

TEST(NotifyRules, TheMessagesSayWhereWhatAndWhen) {
    NotifySource source = Source();
    source.cDecimal = ',';
    CNotifyRules rules(source, Settings(0, 0, 0));
    const auto messages = Feed(rules, {24, 25.4, 26, 24.4});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].strSubject, "QM487 HALA-2: Temperatura 3 powy\xC5\xBC" "ej 25,0 \xC2\xB0" "C");
    EXPECT_EQ(messages[0].strText,
              "Temperatura 3 powy\xC5\xBC" "ej 25,0 \xC2\xB0" "C\n\n"
              "Komputer: HALA-2\nProfil: domy\xC5\x9Blny\nPrzyrz\xC4\x85" "d nr: 7\n"
              "Kana\xC5\x82: Temperatura 3 (T3)\nWarto\xC5\x9B\xC4\x87: 25,4 \xC2\xB0" "C\n"
              "G\xC3\xB3rna granica: 25,0 \xC2\xB0" "C\nCzas: 2026-12-08 01:00:01 +01:00\n");
    EXPECT_EQ(messages[1].nDurationSeconds, 2);
    EXPECT_NE(messages[1].strText.find("Alarm trwa\xC5\x82 2 s\n"), std::string::npos);

    struct Row {
        long long seconds;
        const char* text;
    };
    for (const Row& row : {Row{7, "7 s"}, Row{725, "12 min 5 s"}, Row{7240, "2 h 0 min 40 s"}})
        EXPECT_EQ(FormatNotifyDuration(row.seconds), row.text);
    EXPECT_EQ(FormatNotifyTime(NotifyTime{kDay, -330}), "2026-12-07 18:30:00 -05:30");
    // A calibration's notices: in its last week, on the day, or late when the program was not running.
    for (const Row& row : {Row{7, "up\xC5\x82ywa za 7 dni, "}, Row{1, "up\xC5\x82ywa za 1 dzie\xC5\x84, "},
                           Row{0, "up\xC5\x82ywa dzi\xC5\x9B, "}, Row{-3, "up\xC5\x82yn\xC4\x85\xC5\x82 "}})
        EXPECT_EQ(ComposeCalibrationMessage(source, At(0), 3, "T3", "2026-12-01", static_cast<int>(row.seconds)).strSubject,
                  std::string("QM487 HALA-2: Termin kalibracji kana\xC5\x82u T3 ") + row.text + "2026-12-01");
}

// A channel is told by its name (UTF-8 here); once its input is switched
// off, not at all: neither the end of the alarm it had nor a new one.
TEST(NotifyRules, ANamedChannelIsToldByItsNameAndOneNotInUseNotAtAll) {
    NotifySource source = Source();
    source.channels[3].strName = "Zamra\xBF" "arka 1";
    CNotifyRules rules(source, Settings(0, 0, 0));
    const auto messages = Feed(rules, {24, 26});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].strSubject, "QM487 HALA-2: Zamra\xC5\xBC" "arka 1 powy\xC5\xBC" "ej 25.0 \xC2\xB0" "C");
    EXPECT_NE(messages[0].strText.find("\nKana\xC5\x82: Zamra\xC5\xBC" "arka 1 (T3)\n"), std::string::npos);
    source.channels[3].bInUse = false;
    rules.SetSource(source);
    EXPECT_TRUE(Feed(rules, {24, 26, 26}).empty());
}

TEST(NotifyRules, OneMessagePerChannelPerWindowWithWhatWasHeldAsADigest) {
    CNotifyRules rules(Source(), Settings(0, 1, 0));  // a minute's window
    std::vector<double> values(80, 24.0);
    // Raised at 1 s (sent), cleared at 3 s, raised at 5 s, cleared at 7 s: held.
    for (int s : {1, 2, 5, 6})
        values[s] = 26.0;
    const auto messages = Feed(rules, values);
    ASSERT_EQ(Names(messages), (std::vector<std::string>{"alarm@01", "alarm_cleared@07"}));
    // The window ends 60 s after the first: the last held is the news, the
    // others are listed in it.
    EXPECT_EQ(messages[1].strTime, "2026-12-08 01:00:07 +01:00");
    const std::string& text = messages[1].strText;
    EXPECT_NE(text.find("- 2026-12-08 01:00:03 +01:00 Temperatura 3 wr\xC3\xB3" "ci\xC5\x82" "a poni\xC5\xBC" "ej"),
              std::string::npos);
    EXPECT_NE(text.find("- 2026-12-08 01:00:05 +01:00 Temperatura 3 powy\xC5\xBC" "ej"), std::string::npos);
}

TEST(NotifyRules, SilenceHeardAgainStartAndRecording) {
    CNotifyRules rules(Source(), Settings(0, 0, 10));
    rules.OnStart(true, At(0));
    rules.OnLineHeard(At(100));
    rules.OnLinkLost("COM3: urz\xC4\x85" "dzenie od\xC5\x82\xC4\x85" "czone");
    rules.OnTick(At(699));
    rules.OnTick(At(700));
    rules.OnTick(At(800));  // told once
    rules.OnLineHeard(At(1000));
    rules.OnRecordingFailed("dysk pe\xC5\x82ny", At(1001));
    rules.OnRecordingFailed("dysk pe\xC5\x82ny", At(1002));
    rules.OnRecordingRecovered(At(1003));
    for (const char* warning : {"zosta\xC5\x82o oko\xC5\x82o 5 dni.", "zosta\xC5\x82o oko\xC5\x82o 4 dni.", "", ""})
        rules.OnDiskSpace(warning, At(1004));
    const auto messages = rules.TakeMessages();
    const std::vector<std::string> names = {"unclean_start",       "silent",   "heard_again", "recording_failed",
                                            "recording_recovered", "disk_low", "disk_ok"};
    ASSERT_EQ(messages.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(NotifyEventName(messages[i].event), names[i]);
    EXPECT_NE(messages[1].strText.find("Szczeg\xC3\xB3\xC5\x82y: COM3: urz\xC4\x85"), std::string::npos);
    EXPECT_EQ(messages[2].nDurationSeconds, 900);
    EXPECT_NE(messages[3].strText.find("dysk pe\xC5\x82ny"), std::string::npos);
    EXPECT_NE(messages[5].strText.find("5 dni."), std::string::npos);

    CNotifyRules never(Source(), Settings(0, 0, 0));
    never.OnStart(false, At(0));
    never.OnTick(At(100000));
    EXPECT_TRUE(never.TakeMessages().empty());

    // The wall clock set back a day, then forward 20 min at a time with a
    // line every second: the silence counts on the steady clock alone.
    CNotifyRules stepped(Source(), Settings(0, 0, 10));
    stepped.OnStart(false, NotifyTime{kDay + 86400, kOffset, 0});
    for (std::int64_t s = 1; s <= 4; ++s) {
        stepped.OnTick(NotifyTime{kDay + 1200 * s, kOffset, s});
        stepped.OnLineHeard(NotifyTime{kDay + 1200 * s, kOffset, s});
    }
    EXPECT_TRUE(stepped.TakeMessages().empty());
    stepped.OnTick(NotifyTime{kDay, kOffset, 604});
    EXPECT_EQ(stepped.TakeMessages().size(), 1u);
}

TEST(NotifyRules, TheDailySummaryTellsTheLast24Hours) {
    CNotifyRules rules(Source(), Settings(0, 0, 0, "08:00"));
    ChannelAlarm none;
    ChannelAlarm high;
    high.nState = kAlarmHigh;
    high.dLimit = 25.0;
    // Local 07:00 on 12-07: today's time not yet passed.
    const std::int64_t start = -18 * 3600;
    rules.OnTick(At(start));
    rules.OnReading(1, 40.0, none, At(start + 60));  // more than 24 h before the summary
    rules.OnTick(At(start + 3600));                  // 08:00 on 12-07: a summary
    EXPECT_EQ(rules.TakeMessages().size(), 1u);
    struct Row {
        int channel;
        double value;
        std::int64_t at;
    };
    for (const Row& r : {Row{1, 10.0, 3600}, Row{1, 30.0, 7200}, Row{1, 20.0, 7201}, Row{0, -5.25, 9000}})
        rules.OnReading(r.channel, r.value, none, At(r.at));
    rules.OnReading(3, 26.0, high, At(10000));
    rules.OnTick(At(6 * 3600));                    // 07:00 on 12-08: not yet
    EXPECT_EQ(rules.TakeMessages().size(), 1u);  // the alarm itself
    rules.OnTick(At(start + 25 * 3600));  // 08:00 on 12-08
    const auto messages = rules.TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].event, NotifyEvent::kSummary);
    EXPECT_EQ(messages[0].strSubject, "QM487 HALA-2: Podsumowanie dnia 2026-12-08");
    const std::string& text = messages[0].strText;
    EXPECT_NE(text.find("Temperatura \xC5\x9Brednia: -5.25 \xC2\xB0" "C / -5.25 \xC2\xB0" "C / -5.25 \xC2\xB0" "C\n"
                        "Temperatura 1: 10.0 \xC2\xB0" "C / 30.0 \xC2\xB0" "C / 20.0 \xC2\xB0" "C\n"
                        "Temperatura 3: 26.0 \xC2\xB0" "C / 26.0 \xC2\xB0" "C / 26.0 \xC2\xB0" "C\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Alarmy (1):\n- 2026-12-08 03:46:40 +01:00 Temperatura 3 powy\xC5\xBC" "ej 25.0"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("40.0"), std::string::npos);
}
