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

std::vector<SimChunk> Chunks(const SimConfig& config) {
    std::vector<SimChunk> out;
    CSchedule s(config);
    SimChunk c;
    while (s.Next(c))
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

// "+" for each accepted line, "-" for each rejected one.
std::string Verdicts(const CReceiver& rx) {
    std::string s;
    for (const ReceivedLine& l : rx.lines)
        s += l.accepted ? '+' : '-';
    return s;
}

TEST(sim_schedule, DecodesIntoTheRequestedReadingsInEveryForm) {
    const struct {
        const char* name;
        std::size_t length;
        bool fine;
    } forms[] = {{"short", 13, false}, {"long", 15, true}, {"long16", 16, true}};
    for (const auto& f : forms) {
        SCOPED_TRACE(f.name);
        const SimConfig config =
            Config({"--form", f.name, "--serial", "0x0102", "--channels", "3,1,0", "--value", "3=23.4",
                    "--value", "1=-12.34", "--value", "0=9999.9", "--value-error", "1",
                    "--calibration-error", "1,0", "--count", "6"});
        for (const SimChunk& c : Chunks(config))
            EXPECT_EQ(c.bytes.size(), f.length);

        const Received rx(config);
        ASSERT_EQ(Verdicts(rx), "++++++");
        const int channels[] = {3, 1, 0};
        for (int i = 0; i < 6; ++i) {
            const ReceivedLine& l = rx.lines[i];
            EXPECT_EQ(l.channel, channels[i % 3]);
            EXPECT_EQ(l.serialNumber, 258);
            EXPECT_EQ(l.fine, f.fine);
            EXPECT_EQ(l.valueError, l.channel == 1);
            EXPECT_EQ(l.calibrationError, l.channel != 3);
        }
        EXPECT_NEAR(rx.lines[0].value, 23.4, 1e-9);
        EXPECT_NEAR(rx.lines[1].value, f.fine ? -12.34 : -12.3, 1e-9);  // tenths only when short
        EXPECT_NEAR(rx.lines[2].value, 9999.9, 1e-9);
    }
}

TEST(sim_schedule, DefaultsSendAllChannelsInTurnAtTheInstrumentsPace) {
    // Channel 0 too, first, as the instrument does: the program derives its mean at that line.
    EXPECT_EQ(Config({"--count", "1"}).channels, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    const SimConfig config = Config({"--count", "27"});
    for (const SimChunk& c : Chunks(config))
        EXPECT_EQ(c.pauseMs, 13 * 30) << "a 13-byte line at 300 baud 7N1";
    const Received rx(config);
    ASSERT_EQ(Verdicts(rx), std::string(27, '+'));
    for (std::size_t i = 0; i < rx.lines.size(); ++i) {
        const ReceivedLine& l = rx.lines[i];
        EXPECT_EQ(l.channel, static_cast<int>(i % 9));
        EXPECT_EQ(l.serialNumber, 4660);
        EXPECT_FALSE(l.fine || l.valueError || l.calibrationError);
        EXPECT_NEAR(l.value, 21.0, 5.0 + 1e-9);
    }
    for (const SimChunk& c : Chunks(Config({"--count", "3", "--fast", "--form", "long16"})))
        EXPECT_EQ(c.pauseMs, 0);
}

TEST(sim_schedule, RampsWrapOrBounceAndStepPerLineOfTheirChannel) {
    // The ramp advances with channel 1's lines only.
    const Received two(Config({"--channels", "1,2", "--value", "2=5", "--ramp", "1=20:21:0.5", "--count", "14"}));
    ExpectValues(Values(two, 1), {20, 20.5, 21, 20, 20.5, 21, 20});
    ExpectValues(Values(two, 2), std::vector<double>(7, 5.0));

    const Received bounce(Config({"--channels", "4", "--ramp", "20:21:0.5:bounce", "--count", "8"}));
    ExpectValues(Values(bounce, 4), {20, 20.5, 21, 20.5, 20, 20.5, 21, 20.5});

    // Downwards, with a step that does not divide the span: the end is not reached.
    const Received down(Config({"--channels", "1", "--form", "long", "--ramp", "0.05:-0.2:0.1", "--count", "5"}));
    ExpectValues(Values(down, 1), {0.05, -0.05, -0.15, 0.05, -0.05});

    // Many small steps: no error builds up.
    const Received many(Config({"--channels", "1", "--form", "long", "--ramp", "0:100:0.01", "--count", "1001"}));
    EXPECT_NEAR(Values(many, 1).back(), 10.0, 1e-9);
}

TEST(sim_schedule, WalkStaysNearItsCentreAndRepeatsWithItsSeed) {
    const SimConfig config = Config({"--channels", "2", "--walk", "-3.5", "--count", "3000", "--seed", "7"});
    const std::vector<double> v = Values(Received(config), 2);
    ASSERT_EQ(v.size(), 3000u);
    EXPECT_GT(std::set<double>(v.begin(), v.end()).size(), 20u) << "it moves";
    for (std::size_t i = 0; i < v.size(); ++i) {
        ASSERT_NEAR(v[i], -3.5, 5.0 + 1e-9) << i;
        ASSERT_LE(std::fabs(v[i] - v[i ? i - 1 : 0]), 0.3 + 1e-9) << "slowly, at " << i;
    }
    SimConfig other = config;
    EXPECT_EQ(Values(Received(other), 2), v);
    other.seed = 8;
    EXPECT_NE(Values(Received(other), 2), v);

    const Received both(Config({"--channels", "1,2", "--count", "400"}));
    EXPECT_NE(Values(both, 1), Values(both, 2)) << "channels do not walk in step";
}

TEST(sim_faults, BadParityRejectsEveryNthLineByOneCharacter) {
    const SimConfig config = Config({"--form", "long", "--bad-parity", "3", "--count", "60"});
    std::string want;
    for (int i = 0; i < 20; ++i)
        want += "++-";
    EXPECT_EQ(Verdicts(Received(config)), want);

    std::set<int> positions;
    for (SimChunk c : Chunks(config)) {
        if (!c.badParityPosition)
            continue;
        positions.insert(c.badParityPosition);
        c.bytes[c.badParityPosition] ^= 0x40;  // put back: the line is otherwise sound
        CLineDecoder d;
        EXPECT_TRUE(d.Decode(c.bytes.data(), static_cast<int>(c.bytes.size())));
    }
    // Every parity-tested position of a 15-byte line gets its turn.
    EXPECT_EQ(positions, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
}

TEST(sim_faults, LineFeedBreaksTheLineAfterIt) {
    const Received rx(Config({"--line-feed", "4", "--count", "12"}));
    EXPECT_EQ(Verdicts(rx), "++++-+++-+++");
    EXPECT_EQ(rx.lines[4].first, 0x0A);
    EXPECT_EQ(rx.lines[4].length, 14);
}

TEST(sim_faults, OverlongGarbageIsDroppedWithoutALine) {
    const SimConfig config = Config({"--garbage", "5", "--count", "12"});
    std::string kinds;
    for (const SimChunk& c : Chunks(config)) {
        kinds += c.kind == SimChunk::Garbage ? 'G' : 'L';
        if (c.kind == SimChunk::Garbage) {
            EXPECT_EQ(c.bytes.size(), 1000u);
            EXPECT_EQ(std::count(c.bytes.begin(), c.bytes.end(), 0x0D), 0);
            EXPECT_EQ(c.pauseMs, 1000 * 30);
        }
    }
    EXPECT_EQ(kinds, "LLLLGLLLLLGLLL");
    // Exactly 1000 bytes are all dropped; the line after them arrives intact.
    EXPECT_EQ(Verdicts(Received(config)), std::string(12, '+'));

    // Longer: what is left after the drop spoils the next line, and only that.
    const Received rx(Config({"--garbage", "5:1003", "--count", "12"}));
    EXPECT_EQ(Verdicts(rx), "++++-++++-++");
    EXPECT_EQ(rx.lines[4].length, 3 + 13);
}

TEST(sim_faults, SilenceLastsItsLengthAndTripsTheWatchdog) {
    // A line every 390 ms, so 6 s of silence after line 4 leaves a 6.39 s gap
    // between accepted lines: one watchdog expiry, in that gap.
    const Received rx(Config({"--silence", "6", "--silence-after", "4", "--count", "10"}));
    EXPECT_EQ(Verdicts(rx), std::string(10, '+'));
    EXPECT_EQ(rx.lines[4].atMs - rx.lines[3].atMs, 6000 + 390);
    ASSERT_EQ(rx.watchdogExpiries.size(), 1u);
    EXPECT_GT(rx.watchdogExpiries[0], rx.lines[3].atMs);

    EXPECT_TRUE(Received(Config({"--silence", "4.5", "--silence-after", "4", "--count", "10"}))
                    .watchdogExpiries.empty());

    // Periodic and fast: after lines 3 and 6; 11 s is two expiries each.
    const SimConfig every = Config({"--fast", "--silence", "11", "--silence-every", "3", "--count", "7"});
    for (const SimChunk& c : Chunks(every))
        EXPECT_EQ(c.pauseMs, c.lineNumber % 3 == 0 ? 11000 : 0) << "line " << c.lineNumber;
    EXPECT_EQ(Received(every).watchdogExpiries.size(), 4u);
}

TEST(sim_options, LaterValueOptionsWinForTheChannelsTheyName) {
    const SimConfig c = Config({"--walk", "18", "--ramp", "1-2=10:-10:0.25:bounce", "--value", "2=7.5",
                                "--duration", "1.5", "--channels", "0,8-6"});
    EXPECT_EQ(c.sources[0].kind, ValueSource::Walk);
    EXPECT_EQ(c.sources[0].value, 18.0);
    EXPECT_EQ(c.sources[1].kind, ValueSource::Ramp);
    EXPECT_TRUE(c.sources[1].bounce);
    EXPECT_EQ(c.sources[2].kind, ValueSource::Fixed);
    EXPECT_EQ(c.durationMs, 1500);
    EXPECT_EQ(c.channels, (std::vector<int>{0, 8, 7, 6}));

    // Help wins over what follows it, not over an error before it.
    EXPECT_EQ(ParseOptions({"--port", "COM5", "--help", "--bogus"}).outcome, ParseResult::Help);
    EXPECT_EQ(ParseOptions({"--port", "COM5", "--bogus", "--help"}).outcome, ParseResult::Error);
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
        {{}, "--port DEVICE or --output FILE"},
        {{"--port", "COM5", "--output", "x"}, "exclude each other"},
        {{"--port", "COM5", "--serial", "65536"}, "bad value for --serial: \"65536\""},
        {{"--port", "COM5", "--channels", "1,9"}, "bad value for --channels: \"1,9\""},
        {{"--port", "COM5", "--channels", "1,,2"}, "--channels"},
        {{"--port", "COM5", "--form", "medium"}, "short, long or long16"},
        {{"--port", "COM5", "--value", "9=1"}, "bad channels for --value: \"9\""},
        {{"--port", "COM5", "--value", "nan"}, "bad value for --value"},
        {{"--port", "COM5", "--value", "10000"}, "--value 10000 does not fit the short form"},
        {{"--port", "COM5", "--form", "long", "--value", "3=-1000"}, "--value 3=-1000 does not fit the long form"},
        {{"--port", "COM5", "--ramp", "1:2"}, "FROM:TO:STEP"},
        {{"--port", "COM5", "--ramp", "1:2:0"}, "STEP must be more than 0"},
        {{"--port", "COM5", "--garbage", "5:999"}, "LEN 1000 to 1000000"},
        {{"--port", "COM5", "--silence", "3"}, "--silence needs --silence-after N or --silence-every N"},
        {{"--port", "COM5", "--silence-every", "3"}, "need --silence SECONDS"},
        {{"--port", "COM5", "--count", "0"}, "bad value for --count"},
        {{"--port", "COM5", "--fast=yes"}, "--fast takes no value"},
        {{"--output", "cap.bin", "--fast"}, "needs --count or --duration"},
    };
    for (const Case& c : cases) {
        const ParseResult r = ParseOptions(c.args);
        ASSERT_EQ(r.outcome, ParseResult::Error) << c.message;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
        EXPECT_EQ(r.showUsage, r.error.find("unknown") == 0 || r.error.find("unexpected") == 0) << r.error;
    }
    // Fast and without end is fine into a pipe: the reader decides.
    EXPECT_EQ(ParseOptions({"--output", "-", "--fast"}).outcome, ParseResult::Run);
}

}  // namespace
