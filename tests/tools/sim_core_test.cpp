#include "sim_core.h"
#include "sim_receiver.h"

#include "instrument/line_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

using namespace qm487sim;

namespace {

SimConfig Config(std::vector<std::string> args) {
    args.insert(args.begin(), {"--output", "-"});
    const ParseResult r = ParseOptions(args);
    EXPECT_EQ(r.outcome, ParseResult::Run) << r.error;
    return r.config;
}

std::vector<SimChunk> Chunks(const SimConfig& config, std::size_t limit = 100000) {
    std::vector<SimChunk> out;
    CSchedule s(config);
    SimChunk c;
    while (out.size() < limit && s.Next(c))
        out.push_back(c);
    return out;
}

// Plays the schedule into a receiver, the clock moving by each pause.
struct Received : CReceiver {
    explicit Received(const SimConfig& config) {
        for (const SimChunk& c : Chunks(config)) {
            Feed(c.bytes);
            Advance(c.pauseMs);
        }
    }
};

std::vector<double> Values(const CReceiver& rx, int channel) {
    std::vector<double> v;
    for (const ReceivedLine& l : rx.lines)
        if (l.accepted && l.channel == channel)
            v.push_back(l.value);
    return v;
}

void ExpectValues(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-9) << "value " << i;
}

TEST(sim_schedule, DecodesIntoTheRequestedReadingsInEveryForm) {
    struct Form {
        const char* name;
        int length;
        bool fine;
    };
    for (const Form& f : {Form{"short", 13, false}, Form{"long", 15, true}, Form{"long16", 16, true}}) {
        SCOPED_TRACE(f.name);
        const SimConfig config =
            Config({"--form", f.name, "--serial", "0x0102", "--channels", "3,1,0", "--value", "3=23.4",
                    "--value", "1=-12.34", "--value", "0=9999.9", "--value-error", "1",
                    "--calibration-error", "1,0", "--count", "6"});
        const std::vector<SimChunk> chunks = Chunks(config);
        ASSERT_EQ(chunks.size(), 6u);
        for (const SimChunk& c : chunks)
            EXPECT_EQ(c.bytes.size(), static_cast<std::size_t>(f.length));

        const Received rx(config);
        ASSERT_EQ(rx.lines.size(), 6u);
        const int channels[] = {3, 1, 0, 3, 1, 0};
        for (int i = 0; i < 6; ++i) {
            const ReceivedLine& l = rx.lines[i];
            SCOPED_TRACE(i);
            ASSERT_TRUE(l.accepted);
            EXPECT_EQ(l.channel, channels[i]);
            EXPECT_EQ(l.serialNumber, 258);
            EXPECT_EQ(l.fine, f.fine);
            EXPECT_EQ(l.valueError, l.channel == 1);
            EXPECT_EQ(l.calibrationError, l.channel != 3);
        }
        EXPECT_NEAR(rx.lines[0].value, 23.4, 1e-9);
        // -12.34 loses its hundredths in the short form.
        EXPECT_NEAR(rx.lines[1].value, f.fine ? -12.34 : -12.3, 1e-9);
        EXPECT_NEAR(rx.lines[2].value, 9999.9, 1e-9);
    }
}

TEST(sim_schedule, DefaultsSendAllChannelsInTurnAtTheInstrumentsPace) {
    const SimConfig config = Config({"--count", "24"});
    const std::vector<SimChunk> chunks = Chunks(config);
    ASSERT_EQ(chunks.size(), 24u);
    for (const SimChunk& c : chunks)
        EXPECT_EQ(c.pauseMs, 13 * 30) << "a 13-byte line at 300 baud 7N1";

    const Received rx(config);
    ASSERT_EQ(rx.lines.size(), 24u);
    for (std::size_t i = 0; i < rx.lines.size(); ++i) {
        const ReceivedLine& l = rx.lines[i];
        ASSERT_TRUE(l.accepted);
        EXPECT_EQ(l.channel, static_cast<int>(i % 8) + 1);
        EXPECT_EQ(l.serialNumber, 4660);
        EXPECT_FALSE(l.fine);
        EXPECT_FALSE(l.valueError || l.calibrationError);
        EXPECT_NEAR(l.value, 21.0, 5.0 + 1e-9);
    }
    EXPECT_TRUE(rx.watchdogExpiries.empty());

    for (const SimChunk& c : Chunks(Config({"--count", "3", "--fast", "--form", "long16"})))
        EXPECT_EQ(c.pauseMs, 0);
}

TEST(sim_schedule, RampsWrapOrBounceAndStepPerLineOfTheirChannel) {
    // Channel 1 ramps, channel 2 stays: the ramp advances with channel 1's lines only.
    const Received twoChannels(Config({"--channels", "1,2", "--value", "2=5", "--ramp", "1=20:21:0.5",
                                       "--count", "14"}));
    ExpectValues(Values(twoChannels, 1), {20, 20.5, 21, 20, 20.5, 21, 20});
    ExpectValues(Values(twoChannels, 2), std::vector<double>(7, 5.0));

    ExpectValues(Values(Received(Config({"--channels", "4", "--ramp", "20:21:0.5:bounce", "--count", "8"})), 4),
                 {20, 20.5, 21, 20.5, 20, 20.5, 21, 20.5});

    // Downwards, with a step that does not divide the span: the end is not reached.
    ExpectValues(Values(Received(Config({"--channels", "1", "--form", "long", "--ramp", "1=0.05:-0.2:0.1",
                                         "--count", "5"})),
                        1),
                 {0.05, -0.05, -0.15, 0.05, -0.05});

    // Many small steps: no error builds up (the thousandth value is still exact).
    const Received many(Config({"--channels", "1", "--form", "long", "--ramp", "0:100:0.01", "--count", "1001"}));
    EXPECT_NEAR(Values(many, 1).back(), 10.0, 1e-9);
}

TEST(sim_schedule, WalkStaysNearItsCentreAndRepeatsWithItsSeed) {
    const SimConfig config = Config({"--channels", "2", "--walk", "-3.5", "--count", "3000", "--seed", "7"});
    const std::vector<double> v = Values(Received(config), 2);
    ASSERT_EQ(v.size(), 3000u);
    std::set<double> distinct(v.begin(), v.end());
    EXPECT_GT(distinct.size(), 20u) << "it moves";
    EXPECT_NEAR(v[0], -3.5, 1e-9);
    for (std::size_t i = 0; i < v.size(); ++i) {
        ASSERT_NEAR(v[i], -3.5, 5.0 + 1e-9) << i;
        if (i) {
            ASSERT_LE(std::fabs(v[i] - v[i - 1]), 0.3 + 1e-9) << "slowly, at " << i;
        }
    }

    auto bytes = [](const SimConfig& c) {
        std::vector<unsigned char> all;
        for (const SimChunk& ch : Chunks(c))
            all.insert(all.end(), ch.bytes.begin(), ch.bytes.end());
        return all;
    };
    SimConfig other = config;
    EXPECT_EQ(bytes(config), bytes(other));
    other.seed = 8;
    EXPECT_NE(bytes(config), bytes(other));

    // Channels of one run do not walk in step.
    const Received both(Config({"--channels", "1,2", "--count", "400"}));
    EXPECT_NE(Values(both, 1), Values(both, 2));
}

TEST(sim_faults, BadParityRejectsEveryNthLineByOneCharacter) {
    const SimConfig config = Config({"--form", "long", "--bad-parity", "3", "--count", "60"});
    const Received rx(config);
    ASSERT_EQ(rx.lines.size(), 60u);
    for (std::size_t i = 0; i < rx.lines.size(); ++i)
        EXPECT_EQ(rx.lines[i].accepted, (i + 1) % 3 != 0) << "line " << i + 1;

    std::set<int> positions;
    for (const SimChunk& c : Chunks(config)) {
        if (!c.badParityPosition)
            continue;
        positions.insert(c.badParityPosition);
        std::vector<unsigned char> line = c.bytes;
        EXPECT_NE(LineRejectionReason(line.data(), static_cast<int>(line.size())).find("parity"),
                  std::string::npos);
        line[c.badParityPosition] ^= 0x40;  // put back: the line is otherwise sound
        CLineDecoder d;
        EXPECT_TRUE(d.Decode(line.data(), static_cast<int>(line.size())));
    }
    // Every parity-tested position of a 15-byte line gets its turn.
    EXPECT_EQ(positions, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
}

TEST(sim_faults, LineFeedBreaksTheLineAfterIt) {
    const Received rx(Config({"--line-feed", "4", "--count", "12"}));
    ASSERT_EQ(rx.lines.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        const ReceivedLine& l = rx.lines[i];
        const bool broken = i == 4 || i == 8;  // lines 5 and 9
        EXPECT_EQ(l.accepted, !broken) << "line " << i + 1;
        if (broken) {
            EXPECT_EQ(l.first, 0x0A);
            EXPECT_EQ(l.length, 14);
        }
    }
}

TEST(sim_faults, OverlongGarbageIsDroppedWithoutALine) {
    const SimConfig config = Config({"--garbage", "5", "--count", "12"});
    const std::vector<SimChunk> chunks = Chunks(config);
    ASSERT_EQ(chunks.size(), 14u) << "12 lines and garbage before lines 5 and 10";
    int garbage = 0;
    for (const SimChunk& c : chunks) {
        if (c.kind != SimChunk::Garbage)
            continue;
        ++garbage;
        EXPECT_EQ(c.lineNumber % 5, 0);
        EXPECT_EQ(c.bytes.size(), 1000u);
        EXPECT_EQ(std::count(c.bytes.begin(), c.bytes.end(), 0x0D), 0);
        EXPECT_EQ(c.pauseMs, 1000 * 30);
    }
    EXPECT_EQ(garbage, 2);

    // Exactly 1000 bytes: all dropped, the line after it arrives intact.
    const Received exact(config);
    EXPECT_EQ(exact.lines.size(), 12u);
    EXPECT_EQ(exact.Accepted(), 12u);

    // Longer: what is left after the drop spoils the next line, and only that.
    const Received rx(Config({"--garbage", "5:1003", "--count", "12"}));
    ASSERT_EQ(rx.lines.size(), 12u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(rx.lines[i].accepted, i != 4 && i != 9) << "line " << i + 1;
    EXPECT_EQ(rx.lines[4].length, 3 + 13);
}

TEST(sim_faults, SilenceLastsItsLengthAndTripsTheWatchdog) {
    // Real pace: a line every 390 ms, so 6 s of silence after line 4 leaves a
    // 6.39 s gap between accepted lines: one watchdog expiry, in that gap.
    const Received rx(Config({"--silence", "6", "--silence-after", "4", "--count", "10"}));
    ASSERT_EQ(rx.lines.size(), 10u);
    EXPECT_EQ(rx.Accepted(), 10u);
    EXPECT_EQ(rx.lines[4].atMs - rx.lines[3].atMs, 6000 + 390);
    ASSERT_EQ(rx.watchdogExpiries.size(), 1u);
    EXPECT_GT(rx.watchdogExpiries[0], rx.lines[3].atMs);
    EXPECT_LT(rx.watchdogExpiries[0], rx.lines[4].atMs);

    // 4.5 s keeps the link up.
    EXPECT_TRUE(Received(Config({"--silence", "4.5", "--silence-after", "4", "--count", "10"}))
                    .watchdogExpiries.empty());

    // Periodic, fast: exactly the silence between lines 3-4 and 6-7; 11 s is two expiries each.
    const SimConfig every = Config({"--fast", "--silence", "11", "--silence-every", "3", "--count", "7"});
    for (const SimChunk& c : Chunks(every))
        EXPECT_EQ(c.pauseMs, c.lineNumber % 3 == 0 ? 11000 : 0) << "line " << c.lineNumber;
    const Received periodic(every);
    EXPECT_EQ(periodic.watchdogExpiries.size(), 4u);
    EXPECT_EQ(periodic.Accepted(), 7u);
}

TEST(sim_options, DefaultsWhenOnlyThePortIsGiven) {
    const ParseResult r = ParseOptions({"--port", "COM5"});
    ASSERT_EQ(r.outcome, ParseResult::Run) << r.error;
    const SimConfig& c = r.config;
    EXPECT_EQ(c.port, "COM5");
    EXPECT_EQ(c.serialNumber, 4660);
    EXPECT_EQ(c.channels, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(c.form, LineForm::Short);
    for (const ValueSource& s : c.sources) {
        EXPECT_EQ(s.kind, ValueSource::Walk);
        EXPECT_EQ(s.value, 21.0);
    }
    EXPECT_FALSE(c.fast);
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(c.durationMs, 0);
    EXPECT_EQ(c.badParityEvery + c.lineFeedEvery + c.garbageEvery + c.silenceMs, 0);
}

TEST(sim_options, EveryOptionReachesItsSetting) {
    const ParseResult r = ParseOptions(
        {"--output=cap.bin", "--serial", "65535", "--channels", "0,8-6,2", "--form=long16", "--seed", "99",
         "--walk", "18", "--ramp", "1-2=10:-10:0.25:bounce", "--value", "2=7.5", "--bad-parity", "4",
         "--line-feed", "5", "--garbage", "6:1500", "--silence", "2.5", "--silence-every", "7", "--fast",
         "--count", "100", "--duration", "1.5", "--value-error", "8", "--calibration-error", "0-1"});
    ASSERT_EQ(r.outcome, ParseResult::Run) << r.error;
    const SimConfig& c = r.config;
    EXPECT_EQ(c.output, "cap.bin");
    EXPECT_TRUE(c.port.empty());
    EXPECT_EQ(c.serialNumber, 65535);
    EXPECT_EQ(c.channels, (std::vector<int>{0, 8, 7, 6, 2}));
    EXPECT_EQ(c.form, LineForm::Long16);
    EXPECT_EQ(c.seed, 99u);
    // Later options win for the channels they name.
    EXPECT_EQ(c.sources[0].kind, ValueSource::Walk);
    EXPECT_EQ(c.sources[0].value, 18.0);
    EXPECT_EQ(c.sources[1].kind, ValueSource::Ramp);
    EXPECT_EQ(c.sources[1].from, 10.0);
    EXPECT_EQ(c.sources[1].to, -10.0);
    EXPECT_EQ(c.sources[1].step, 0.25);
    EXPECT_TRUE(c.sources[1].bounce);
    EXPECT_EQ(c.sources[2].kind, ValueSource::Fixed);
    EXPECT_EQ(c.sources[2].value, 7.5);
    EXPECT_EQ(c.badParityEvery, 4);
    EXPECT_EQ(c.lineFeedEvery, 5);
    EXPECT_EQ(c.garbageEvery, 6);
    EXPECT_EQ(c.garbageLength, 1500);
    EXPECT_EQ(c.silenceMs, 2500);
    EXPECT_EQ(c.silenceEvery, 7);
    EXPECT_EQ(c.silenceAfter, 0);
    EXPECT_TRUE(c.fast);
    EXPECT_EQ(c.count, 100);
    EXPECT_EQ(c.durationMs, 1500);
    for (int ch = 0; ch < kChannels; ++ch) {
        EXPECT_EQ(c.valueError[ch], ch == 8) << ch;
        EXPECT_EQ(c.calibrationError[ch], ch <= 1) << ch;
    }

    EXPECT_EQ(ParseOptions({"--port", "COM5", "--bogus", "--help"}).outcome, ParseResult::Error);
    EXPECT_EQ(ParseOptions({"--port", "COM5", "--help", "--bogus"}).outcome, ParseResult::Help);
    EXPECT_EQ(ParseOptions({"-h"}).outcome, ParseResult::Help);
}

TEST(sim_options, BadInputGetsAClearMessage) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--port", "COM5", "--bogus"}, "unknown option --bogus"},
        {{"--port", "COM5", "extra"}, "unexpected argument \"extra\""},
        {{"--port", "COM5", "--count"}, "--count needs a value"},
        {{"--port", ""}, "--port needs a device"},
        {{}, "--port DEVICE or --output FILE"},
        {{"--port", "COM5", "--output", "x"}, "exclude each other"},
        {{"--port", "COM5", "--serial", "65536"}, "bad value for --serial: \"65536\""},
        {{"--port", "COM5", "--serial", "12ab"}, "--serial"},
        {{"--port", "COM5", "--channels", "1,9"}, "bad value for --channels: \"1,9\""},
        {{"--port", "COM5", "--channels", "1,,2"}, "--channels"},
        {{"--port", "COM5", "--channels", ""}, "--channels"},
        {{"--port", "COM5", "--form", "medium"}, "short, long or long16"},
        {{"--port", "COM5", "--value", "abc"}, "bad value for --value: \"abc\""},
        {{"--port", "COM5", "--value", "9=1"}, "bad channels for --value: \"9\""},
        {{"--port", "COM5", "--value", "nan"}, "--value"},
        {{"--port", "COM5", "--value", "10000"}, "--value 10000 does not fit the short form"},
        {{"--port", "COM5", "--form", "long", "--value", "3=-1000"}, "--value 3=-1000 does not fit the long form"},
        {{"--port", "COM5", "--ramp", "1:2"}, "FROM:TO:STEP"},
        {{"--port", "COM5", "--ramp", "1:2:0"}, "STEP must be more than 0"},
        {{"--port", "COM5", "--ramp", "1:2:0.1:zigzag"}, "--ramp"},
        {{"--port", "COM5", "--ramp", "0:20000:1"}, "does not fit the short form"},
        {{"--port", "COM5", "--walk", "99999"}, "does not fit"},
        {{"--port", "COM5", "--seed", "-1"}, "--seed"},
        {{"--port", "COM5", "--bad-parity", "0"}, "bad value for --bad-parity"},
        {{"--port", "COM5", "--line-feed", "x"}, "bad value for --line-feed"},
        {{"--port", "COM5", "--garbage", "5:999"}, "LEN 1000 to 1000000"},
        {{"--port", "COM5", "--silence", "3"}, "--silence needs --silence-after N or --silence-every N"},
        {{"--port", "COM5", "--silence-every", "3"}, "need --silence SECONDS"},
        {{"--port", "COM5", "--silence", "3", "--silence-after", "1", "--silence-every", "2"},
         "exclude each other"},
        {{"--port", "COM5", "--silence", "0", "--silence-after", "1"}, "bad value for --silence"},
        {{"--port", "COM5", "--count", "0"}, "bad value for --count"},
        {{"--port", "COM5", "--duration", "-1"}, "bad value for --duration"},
        {{"--port", "COM5", "--fast=yes"}, "--fast takes no value"},
        {{"--output", "cap.bin", "--fast"}, "needs --count or --duration"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const ParseResult r = ParseOptions(c.args);
        ASSERT_EQ(r.outcome, ParseResult::Error);
        EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    }
    EXPECT_TRUE(ParseOptions({"--port", "COM5", "--bogus"}).showUsage);
    EXPECT_FALSE(ParseOptions({"--port", "COM5", "--count", "0"}).showUsage);
    // Writing to a pipe fast and without end is fine: the reader decides.
    EXPECT_EQ(ParseOptions({"--output", "-", "--fast"}).outcome, ParseResult::Run);
}

}  // namespace
