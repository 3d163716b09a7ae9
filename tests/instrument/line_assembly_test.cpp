#include "instrument/instrument.h"
#include "instrument/line_assembly.h"
#include "instrument/line_encoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Records what the assembly asks of its window, and plays a 5000 ms
// periodic timer on a simulated clock.
class FakeHost : public CLineAssembly::Host {
public:
    std::vector<std::string> calls;
    std::vector<int> readings;  // 1 accepted, 0 rejected or silence
    int lastChannel = -1;
    bool timerRunning = false;
    long long timerDue = 0;
    long long now = 0;

    UINT_PTR SetTimer(UINT_PTR id, UINT ms) override {
        calls.push_back("set " + std::to_string(id) + " " + std::to_string(ms));
        timerRunning = true;
        timerDue = now + ms;
        return id;
    }
    void KillTimer(UINT_PTR id) override {
        calls.push_back("kill " + std::to_string(id));
        timerRunning = false;
    }
    void SetLastChannel(int ch) override { lastChannel = ch; }
    void ApplyReading(BOOL ok) override { readings.push_back(ok ? 1 : 0); }

    // Moves the clock, firing the periodic timer on the way.
    void Advance(CLineAssembly& a, long long ms) {
        const long long end = now + ms;
        while (timerRunning && timerDue <= end) {
            now = timerDue;
            timerDue += CLineAssembly::kWatchdogPeriodMs;
            a.OnWatchdogTimer();
        }
        now = end;
    }
};

Bytes Line(int channel, double value) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    return EncodeLineOrThrow(r);
}

void Feed(CLineAssembly& a, const Bytes& b) {
    for (unsigned char c : b) a.OnPortChar(c);
}

TEST(LineAssembly, CarriageReturnCompletesEachLine) {
    FakeHost host;
    CLineAssembly a(host);
    Feed(a, Line(4, 21.5));
    EXPECT_EQ(host.readings, (std::vector<int>{1}));
    EXPECT_EQ(host.lastChannel, 4);
    EXPECT_EQ(a.Decoder().m_dValues[4], 215 * 0.1);
    EXPECT_EQ(a.LineLength(), 0);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"set 1035 5000"}));

    // Restarted (killed, then set) by every accepted line, never by a rejected one.
    Feed(a, Line(2, 1.0));
    Bytes bad = Line(2, 1.0);
    bad[3] ^= 0x40;
    Feed(a, bad);
    EXPECT_EQ(host.readings, (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"set 1035 5000", "kill 1035", "set 1035 5000"}));
    EXPECT_EQ(host.lastChannel, 2);
}

TEST(LineAssembly, LineFeedAfterCarriageReturnBreaksTheNextLine) {
    FakeHost host;
    CLineAssembly a(host);
    Bytes l = Line(1, 20.0);
    for (int i = 0; i < 3; ++i) {
        Feed(a, l);
        a.OnPortChar(0x0A);
    }
    EXPECT_EQ(host.readings, (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(a.Decoder().m_nLength, 14);
}

TEST(LineAssembly, ThousandthByteDropsTheBufferSilently) {
    FakeHost host;
    CLineAssembly a(host);
    for (int i = 0; i < 999; ++i) a.OnPortChar(0x70);
    EXPECT_EQ(a.LineLength(), 999);
    a.OnPortChar(0x0D);  // the 1000th byte: discarded, not a terminator
    EXPECT_EQ(a.LineLength(), 0);
    EXPECT_TRUE(host.readings.empty());
    EXPECT_TRUE(host.calls.empty());
    Feed(a, Line(7, 3.3));  // collection starts afresh with the next byte
    EXPECT_EQ(host.readings, (std::vector<int>{1}));
    EXPECT_EQ(host.lastChannel, 7);
}

TEST(LineAssembly, WatchdogReportsSilenceEveryPeriod) {
    FakeHost host;
    CLineAssembly a(host);
    host.Advance(a, 20000);
    EXPECT_TRUE(host.readings.empty()) << "off until the first accepted line";

    Feed(a, Line(1, 20.0));
    for (int i = 0; i < 5; ++i) {  // lines 4.9 s apart keep the link up
        host.Advance(a, 4900);
        Feed(a, Line(1, 20.0));
    }
    EXPECT_EQ(host.readings, std::vector<int>(6, 1));

    host.Advance(a, 5000);
    EXPECT_EQ(host.readings.back(), 0);
    host.Advance(a, 10000);  // and again every further period
    EXPECT_EQ(host.readings, (std::vector<int>{1, 1, 1, 1, 1, 1, 0, 0, 0}));
}

// Writes down what each reader is told, in one list for all of them.
class LogReader : public CInstrument::Reader {
public:
    LogReader(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    void OnLinkChanged(const CInstrument& i) override { m_log.push_back(m_name + (i.IsLinkUp() ? " up" : " down")); }
    void OnReading(const CInstrument& i, int c) override {
        const ChannelState& s = i.Channels()[c == CInstrument::kNoChannel ? 0 : c];
        m_log.push_back(m_name + " " + std::to_string(c) + (s.bNoValue ? " ???" : "") + (s.bAlert ? " alert" : ""));
    }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

// Readers are told in the order they registered, the set already written;
// a change of the link comes before the reading that made it.
TEST(Instrument, ReadersAreToldInOrderAfterTheChannelsAreWritten) {
    FakeHost timers;
    CInstrument instrument(timers);
    std::vector<std::string> log;
    LogReader fields("fields", log), alarms("alarms", log);
    instrument.AddReader(fields);
    instrument.AddReader(alarms);
    Bytes line = Line(4, 21.5);
    for (unsigned char b : line) instrument.OnPortChar(b);
    EXPECT_EQ(log, (std::vector<std::string>{"fields up", "alarms up", "fields 4", "alarms 4"}));
    EXPECT_EQ(instrument.Channels()[4].dValue, 215 * 0.1);
    EXPECT_EQ(instrument.LastChannel(), 4);

    log.clear();
    for (unsigned char b : Line(2, 1.0)) instrument.OnPortChar(b);
    EXPECT_EQ(log, (std::vector<std::string>{"fields 2", "alarms 2"}));
}

// Silence: every channel loses its value once per expiry, the link goes
// down once, and the readers hear no channel.
TEST(Instrument, SilenceLosesEveryChannelAndTellsReadersOnce) {
    FakeHost timers;
    CInstrument instrument(timers);
    std::vector<std::string> log;
    LogReader reader("r", log);
    instrument.AddReader(reader);
    for (unsigned char b : Line(4, 21.5)) instrument.OnPortChar(b);
    log.clear();
    instrument.OnWatchdogTimer();
    EXPECT_EQ(log, (std::vector<std::string>{"r down", "r -1 ??? alert"}));
    EXPECT_FALSE(instrument.IsLinkUp());
    for (int c = 0; c < CChannelSet::kChannels; ++c)
        EXPECT_TRUE(instrument.Channels()[c].bNoValue && instrument.Channels()[c].bAlert) << c;
    instrument.OnWatchdogTimer();
    EXPECT_EQ(log.back(), "r -1 ??? alert");
    EXPECT_EQ(log.size(), 3u);
}

}  // namespace
