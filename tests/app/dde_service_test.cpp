// The DDE service as other programs meet it: the program runs here, reading
// COM15, while this test writes the instrument's lines into COM16 and DDE
// clients run as processes of their own (qm487-dde-probe, qm487-dde).
#include "tests/app/child_process.h"
#include "tests/app/handle_counts.h"
#include "tests/app/program_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

using namespace qm487test;

namespace {

const std::uint16_t kSerial = 4660;
const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";
const std::string kNul(1, '\0');
const std::string kDegrees = " \xB0" "C";
const char kError[] = "B\xB3\xB9" "d pomiaru";

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string Topic(int channel, long serial = kSerial) { return dde::TopicName(channel, serial); }

InstrumentReading Reading(int channel, double value, std::uint16_t serial = kSerial) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    r.serialNumber = serial;
    return r;
}

std::string Rejected() {
    std::string bad = Line(Reading(1, 20.0));
    bad[4] ^= 0x01;  // parity
    return bad;
}

// COM16, the instrument's end of the pair; shared by the test and the keeper.
class InstrumentEnd {
public:
    InstrumentEnd() {
        InitializeCriticalSection(&m_lock);
        m_h = CreateFileW(L"\\\\.\\COM16", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~InstrumentEnd() {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
        DeleteCriticalSection(&m_lock);
    }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    bool Send(const std::string& bytes) {
        EnterCriticalSection(&m_lock);
        DWORD written = 0;
        const bool ok = WriteFile(m_h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        LeaveCriticalSection(&m_lock);
        return ok;
    }

private:
    HANDLE m_h;
    CRITICAL_SECTION m_lock;
};

// Keeps the link up while a client process starts (the watchdog loses it
// after 5 s of silence): the same line every 400 ms.
class LinkKeeper {
public:
    LinkKeeper(InstrumentEnd& port, const std::string& line) : m_port(port), m_line(line) {
        m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_hThread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~LinkKeeper() { Stop(); }
    void Stop() {
        if (m_hThread == nullptr)
            return;
        SetEvent(m_hStop);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        CloseHandle(m_hStop);
        m_hThread = nullptr;
    }

private:
    static DWORD WINAPI Run(LPVOID pv) {
        auto* self = static_cast<LinkKeeper*>(pv);
        while (WaitForSingleObject(self->m_hStop, 400) == WAIT_TIMEOUT)
            self->m_port.Send(self->m_line);
        return 0;
    }
    InstrumentEnd& m_port;
    std::string m_line;
    HANDLE m_hStop = nullptr;
    HANDLE m_hThread = nullptr;
};

class DdeService : public ::testing::Test {
protected:
    DdeService() : DdeService(std::string()) {}
    // extra: more of the configuration file after [GENERAL].
    explicit DdeService(const std::string& extra) : program("[GENERAL]\r\nPORT_NR=15\r\nSHOW_ADV=0\r\n" + extra) {}

    void SetUp() override {
        ASSERT_TRUE(instrument.IsOpen());
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.WaitForStatus(kLostLink));
        // The reader empties the port as it starts; a line is heard once it listens.
        bool heard = false;
        for (int attempt = 0; attempt < 20 && !heard; ++attempt) {
            ASSERT_TRUE(instrument.Send(Line(Reading(1, -5.3))));
            heard = WaitFor([&] { return program.Dialog()->Instrument().IsLinkUp() != FALSE; }, 1000);
        }
        ASSERT_TRUE(heard) << "no line reached the program on COM15";
    }

    const ChannelState& Channel(int channel) { return program.Dialog()->Instrument().Channels()[channel]; }

    // Sends a line and waits until its channel holds the value.
    // The bound only ends a hang: on a busy machine a line can take long.
    void Apply(const InstrumentReading& r, DWORD timeoutMs = 60000) {
        ASSERT_TRUE(instrument.Send(Line(r)));
        ASSERT_TRUE(WaitFor(
            [&] {
                const ChannelState& c = Channel(r.channel);
                return !c.bNoValue && std::fabs(c.dValue - r.value) < 0.001 &&
                       program.Dialog()->Instrument().Decoder().m_nSerialNumber == r.serialNumber;
            },
            timeoutMs))
            << "channel " << r.channel << " did not take " << r.value;
    }
    void LoseLink() {
        ASSERT_TRUE(instrument.Send(Rejected()));
        ASSERT_TRUE(program.WaitForStatus(kLostLink));
    }

    // Runs qm487-dde-probe to its end, the link kept up meanwhile (unless
    // it is meant to be down) with keepLine.
    std::vector<std::string> Probe(const std::string& args, bool keepLink = true) {
        std::unique_ptr<LinkKeeper> keeper;
        if (keepLink)
            keeper = std::make_unique<LinkKeeper>(instrument, keepLine);
        ChildProcess probe;
        EXPECT_TRUE(probe.Start(QM487_DDE_PROBE_EXE, args));
        EXPECT_TRUE(probe.WaitForExit(60000)) << "probe " << args << " did not end";
        probe.Output();
        return probe.Lines();
    }
    std::string ConnectResult(const std::string& service, const std::string& topic, bool keepLink = true) {
        const std::vector<std::string> lines = Probe("connect " + service + " " + topic, keepLink);
        return lines.empty() ? "<nothing>" : lines[0];
    }

    InstrumentEnd instrument;
    RunningProgram program;
    std::string keepLine = Line(Reading(1, -5.3));
};

// Channel 3 with an upper limit of 30.0, from the file as the user edits it.
class DdeAlarm : public DdeService {
protected:
    DdeAlarm() : DdeService("[ALARM]\r\nHIGH_TEMP3=30.0\r\n") {}
};

// Limits closer together than twice the hysteresis (0.5).
class DdeCloseLimits : public DdeService {
protected:
    DdeCloseLimits() : DdeService("[ALARM]\r\nLOW_TEMP3=20.0\r\nHIGH_TEMP3=20.4\r\n") {}
};

// Channel 3 corrected by -0.3, channel 5 with no probe wired.
class DdeChannels : public DdeService {
protected:
    DdeChannels() : DdeService("[TEMP3]\r\nNAME_TEMP3=Zamra\xBF" "arka 1\r\nCAL_OFFSET_TEMP3=-0.3\r\n"
                               "[TEMP5]\r\nIN_USE_TEMP5=0\r\n") {}
};

}  // namespace

// The corrected value is the one served; an input with no probe is served as
// one without a value and counts nowhere in the mean, whatever it is sent.
TEST_F(DdeChannels, ACorrectedChannelAndOneNotInUseAsClientsReadThem) {
    ASSERT_TRUE(instrument.Send(Line(Reading(3, 20.0))));
    ASSERT_TRUE(WaitFor([&] { return std::fabs(Channel(3).dValue - 19.7) < 0.001; }, 60000));
    Apply(Reading(5, 30.0));
    ASSERT_TRUE(instrument.Send(Line(Reading(0, 0.0))));
    ASSERT_TRUE(instrument.Send(Line(Reading(0, 0.0))));
    ASSERT_TRUE(WaitFor([&] { return !Channel(0).bNoValue; }, 60000));
    LinkKeeper keeper(instrument, keepLine);
    const std::pair<std::string, std::string> rows[] = {{Topic(3) + " Wynik", "19.7"},
                                                        {Topic(5) + " Wynik", ""},
                                                        {Topic(5) + " Status", kError},
                                                        {Topic(0) + " Wynik", "7.2"}};
    for (const auto& row : rows) {
        const ChildResult got = RunChild(QM487_DDE_EXE, "get " + row.first);
        EXPECT_EQ(got.out, row.second + "\r\n") << row.first << got.err;
    }
}

TEST_F(DdeCloseLimits, TheAlarmItemReadsHighNoneAndLowAsTheValueGoes) {
    const std::pair<double, const char*> rows[] = {
        {20.5, "1\r\n"}, {20.2, "0\r\n"}, {19.9, "-1\r\n"}, {20.45, "1\r\n"}, {20.1, "0\r\n"}};
    // Hundredths throughout: a change of resolution restarts the service.
    InstrumentReading keep = Reading(1, -5.3);
    keep.fine = true;
    for (const auto& row : rows) {
        InstrumentReading r = Reading(3, row.first);
        r.fine = true;
        Apply(r);
        LinkKeeper keeper(instrument, Line(keep));
        const ChildResult got = RunChild(QM487_DDE_EXE, "get " + Topic(3) + " Alarm");
        EXPECT_EQ(got.out, row.second) << "at " << row.first << got.err;
    }
}

TEST_F(DdeAlarm, TheAlarmItemIsReadAndFollowedByClientsInOtherProcesses) {
    Apply(Reading(3, 29.0));
    ChildProcess probe;
    ChildProcess watch;
    {
        LinkKeeper keeper(instrument, keepLine);
        ASSERT_TRUE(probe.Start(QM487_DDE_PROBE_EXE, "advise 120 " + Topic(3) + " Alarm " + Topic(1) + " Alarm"));
        ASSERT_TRUE(probe.WaitForLine("ready", 60000)) << probe.Output();
        ASSERT_TRUE(watch.Start(QM487_DDE_EXE, "watch --item Alarm"));
        ASSERT_TRUE(watch.WaitForLine(
            [&](const std::string& line) { return line.find("\t" + Topic(3) + "\tAlarm\t0") != std::string::npos; },
            60000))
            << watch.Output() << watch.Errors();
        const ChildResult got = RunChild(QM487_DDE_EXE, "get " + Topic(3) + " Alarm");
        EXPECT_EQ(got.out, "0\r\n") << got.err;
    }
    Apply(Reading(3, 30.4));
    const std::string high = "data " + Topic(3) + " Alarm " + Hex("1" + kNul);
    EXPECT_TRUE(probe.WaitForAnyLine(high, 10000)) << probe.Output();
    EXPECT_TRUE(watch.WaitForLine(
        [&](const std::string& line) { return line.find("\t" + Topic(3) + "\tAlarm\t1") != std::string::npos; },
        10000))
        << watch.Output();
    {
        LinkKeeper keeper(instrument, keepLine);
        const ChildResult got = RunChild(QM487_DDE_EXE, "get " + Topic(3) + " Alarm");
        EXPECT_EQ(got.out, "1\r\n") << got.err;
    }
    Apply(Reading(3, 29.4));
    // The link had "0" before the alarm too: it counts only after the "1".
    const std::string ended = "data " + Topic(3) + " Alarm " + Hex("0" + kNul);
    EXPECT_TRUE(WaitFor(
        [&] {
            probe.Output();
            const std::vector<std::string> lines = probe.Lines();
            const auto at = std::find(lines.begin(), lines.end(), high);
            return at != lines.end() && std::find(at, lines.end(), ended) != lines.end();
        },
        10000))
        << probe.Output();
    // Channel 1 has no limit: always "0".
    for (const std::string& line : probe.Lines()) {
        if (line.rfind("data " + Topic(1) + " Alarm ", 0) == 0) {
            EXPECT_EQ(line, "data " + Topic(1) + " Alarm " + Hex("0" + kNul));
        }
    }
}

TEST_F(DdeService, EveryItemOfEveryTopicGivesItsExactBytesAndOnlyInText) {
    const double values[9] = {0, -5.3, 12.3, 21.4, 0.0, 99.9, 100.0, -0.5, 1000.0};
    for (int c = 1; c <= 8; ++c) {
        InstrumentReading r = Reading(c, values[c]);
        r.valueError = c == 2;
        Apply(r);
    }
    // The first channel-0 line after the loss leaves it without a value.
    ASSERT_TRUE(instrument.Send(Line(Reading(0, 0.0))));
    ASSERT_TRUE(instrument.Send(Line(Reading(0, 0.0))));
    ASSERT_TRUE(WaitFor([&] { return !Channel(0).bNoValue; }, 10000));
    const char* const result[9] = {"153.4", "-5.3", "12.3", "21.4", "0.0", "99.9", "100.0", "-0.5", "1000.0"};

    std::string args = "request";
    for (int c = 0; c < dde::kChannels; ++c)
        for (const char* item : {"Wynik", "Pomiar", "Status"})
            for (int format : {CF_TEXT, CF_UNICODETEXT})
                args += " " + Topic(c) + " " + item + " " + std::to_string(format);
    args += " " + Topic(3) + " Temperatura 1 " + Topic(3, kSerial + 1) + " Pomiar 1 Temperatura9#4660 Pomiar 1";
    const std::vector<std::string> lines = Probe(args);
    ASSERT_EQ(lines.size(), 9u * 3 * 2 + 3) << testing::PrintToString(lines);

    std::size_t n = 0;
    for (int c = 0; c < dde::kChannels; ++c) {
        const std::string expected[3] = {result[c], result[c] + kDegrees, c == 2 ? kError : "Pomiar OK"};
        for (int i = 0; i < 3; ++i) {
            const std::string label = Topic(c) + " " + dde::kItemNames[i] + " ";
            EXPECT_EQ(lines[n++], label + "1: " + Hex(expected[i] + kNul)) << expected[i];
            EXPECT_EQ(lines[n++], label + "13: none") << "CF_UNICODETEXT is not served";
        }
    }
    EXPECT_EQ(lines[n++], Topic(3) + " Temperatura 1: none");
    EXPECT_EQ(lines[n++], Topic(3, kSerial + 1) + " Pomiar 1: noconv");
    EXPECT_EQ(lines[n++], "Temperatura9#4660 Pomiar 1: noconv");
}

TEST_F(DdeService, AdviseLinksGetEveryAcceptedLineOnceAndEndWithTheLink) {
    Apply(Reading(3, 20.0));
    ChildProcess probe;
    {
        LinkKeeper keeper(instrument, Line(Reading(1, -5.3)));
        ASSERT_TRUE(probe.Start(QM487_DDE_PROBE_EXE, "advise 120 " + Topic(3) + " Pomiar " + Topic(3) + " Status " +
                                                         Topic(5) + " Pomiar"));
        ASSERT_TRUE(probe.WaitForLine("ready", 60000)) << probe.Output();
    }
    // Every link has its current value from the start: the one line since
    // the link was made, or the post made for a new link.
    for (const std::string& link : {Topic(3) + " Pomiar 20.0" + kDegrees, Topic(3) + " Status Pomiar OK"}) {
        const std::size_t blank = link.find(' ', link.find(' ') + 1);
        const std::string expected = "data " + link.substr(0, blank) + " " + Hex(link.substr(blank + 1) + kNul);
        EXPECT_TRUE(probe.WaitForAnyLine(expected, 10000)) << expected << "\n" << probe.Output();
    }
    // Lines whose values can be told apart; the keeper's lines all came before.
    const int kLines = 8;
    for (int k = 1; k <= kLines; ++k)
        Apply(Reading(3, 30.0 + k / 10.0));
    Apply(Reading(5, 55.5));
    LoseLink();
    ASSERT_TRUE(probe.WaitForLine("end", 30000)) << probe.Output();

    std::map<std::string, std::vector<std::string>> updates;  // by link, from the first counted line on
    bool counting = false;
    const std::string first = "data " + Topic(3) + " Pomiar " + Hex("30.1" + kDegrees + kNul);
    for (const std::string& line : probe.Lines()) {
        counting = counting || line == first;
        if (counting && line.rfind("data ", 0) == 0) {
            const std::size_t hex = line.rfind(' ');
            updates[line.substr(5, hex - 5)].push_back(line.substr(hex + 1));
        }
    }
    std::vector<std::string> t3;
    for (int k = 1; k <= kLines; ++k) {
        char value[16];
        std::snprintf(value, sizeof value, "%.1f", 30.0 + k / 10.0);
        t3.push_back(Hex(value + kDegrees + kNul));
    }
    t3.push_back(t3.back());  // the channel-5 line leaves channel 3 as it was
    EXPECT_EQ(updates[Topic(3) + " Pomiar"], t3) << "each accepted line once, each link its own value";
    EXPECT_EQ(updates[Topic(3) + " Status"], std::vector<std::string>(kLines + 1, Hex("Pomiar OK" + kNul)));
    std::vector<std::string> t5(kLines, Hex(kNul));  // channel 5 never had a value
    t5.push_back(Hex("55.5" + kDegrees + kNul));
    EXPECT_EQ(updates[Topic(5) + " Pomiar"], t5);
    EXPECT_NE(probe.Output().find("disconnected " + Topic(3)), std::string::npos) << "the lost link ends the links";
    EXPECT_TRUE(probe.WaitForExit(10000));
}

TEST_F(DdeService, TheServiceGoesWithARejectedLineAndComesBackWithTheNewNumber) {
    EXPECT_EQ(ConnectResult("QM487", Topic(3)), "connected QM487 " + Topic(3));
    LoseLink();
    EXPECT_EQ(ConnectResult("QM487", Topic(3), false), "refused");
    EXPECT_EQ(ConnectResult("QM487", "-", false), "refused");
    Apply(Reading(2, 1.0, 4661));
    keepLine = Line(Reading(1, -5.3, 4661));
    EXPECT_EQ(ConnectResult("QM487", Topic(3, 4661)), "connected QM487 " + Topic(3, 4661));
    EXPECT_EQ(ConnectResult("QM487", Topic(3)), "refused");
}

TEST_F(DdeService, AnInstrumentNumberedZeroIsNotPublished) {
    LoseLink();
    Apply(Reading(2, 1.0, 0));
    keepLine = Line(Reading(2, 1.0, 0));
    EXPECT_TRUE(program.Dialog()->Instrument().IsLinkUp());
    EXPECT_EQ(ConnectResult("QM487", "-"), "refused");
    EXPECT_EQ(ConnectResult("QM487", Topic(2, 0)), "refused");
    EXPECT_EQ(program.WaitForMessageBox(0), nullptr) << "no error: there is nothing to publish";
}

TEST_F(DdeService, AWildcardConnectionIsAnsweredWithTheService) {
    // The first of the nine pairs the server lists is the one a client gets.
    const std::string first = "connected QM487 " + Topic(0);
    EXPECT_EQ(ConnectResult("-", "-"), first);
    EXPECT_EQ(ConnectResult("QM487", "-"), first);
    EXPECT_EQ(ConnectResult("-", Topic(5)), first) << "all nine pairs are listed, even for one topic";
    EXPECT_EQ(ConnectResult("Excel", "-"), "refused");
    EXPECT_EQ(ConnectResult("-", Topic(5, 1)), "refused");
}

TEST_F(DdeService, Qm487DdeGetPrintsTheItemsBytes) {
    Apply(Reading(3, 21.4));
    LinkKeeper keeper(instrument, Line(Reading(1, -5.3)));
    ChildResult got = RunChild(QM487_DDE_EXE, "get " + Topic(3) + " Pomiar");
    EXPECT_TRUE(got.ended);
    EXPECT_EQ(got.exitCode, 0u) << got.err;
    EXPECT_EQ(got.out, "21.4" + kDegrees + "\r\n");
    got = RunChild(QM487_DDE_EXE, "get " + Topic(1) + " status");
    EXPECT_EQ(got.out, "Pomiar OK\r\n");

    got = RunChild(QM487_DDE_EXE, "get " + Topic(3, 1) + " Pomiar");
    EXPECT_EQ(got.exitCode, 1u);
    EXPECT_EQ(got.out, "");
    EXPECT_NE(got.err.find("no topic \"Temperatura3#1\"; the running instrument's topics are Temperatura#4660"),
              std::string::npos)
        << got.err;
    got = RunChild(QM487_DDE_EXE, "get " + Topic(3) + " Temperatura");
    EXPECT_EQ(got.exitCode, 1u);
    EXPECT_NE(got.err.find("no item \"Temperatura\""), std::string::npos) << got.err;
    got = RunChild(QM487_DDE_EXE, "get " + Topic(3));
    EXPECT_EQ(got.exitCode, 2u);

    keeper.Stop();
    LoseLink();
    got = RunChild(QM487_DDE_EXE, "get " + Topic(3) + " Pomiar");
    EXPECT_EQ(got.exitCode, 1u);
    EXPECT_NE(got.err.find("the DDE service QM487 is not running"), std::string::npos) << got.err;
}

TEST_F(DdeService, Qm487DdeWatchPrintsEachChangeOnce) {
    Apply(Reading(3, 21.4));
    ChildProcess watch;
    {
        LinkKeeper keeper(instrument, Line(Reading(1, -5.3)));
        ASSERT_TRUE(watch.Start(QM487_DDE_EXE, "watch --item Pomiar"));
        const std::string start = "\t" + Topic(3) + "\tPomiar\t21.4" + kDegrees;
        ASSERT_TRUE(watch.WaitForLine(
            [&](const std::string& line) { return line.size() > start.size() && line.substr(23) == start; }, 60000))
            << watch.Output() << watch.Errors();
    }
    Apply(Reading(3, 22.5));
    Apply(Reading(3, 22.5));
    Apply(Reading(4, 44.4));
    const std::string changed = "\t" + Topic(3) + "\tPomiar\t22.5" + kDegrees;
    const std::string other = "\t" + Topic(4) + "\tPomiar\t44.4" + kDegrees;
    ASSERT_TRUE(watch.WaitForLine([&](const std::string& line) { return line.find(other) != std::string::npos; },
                                  10000))
        << watch.Output();
    int seen = 0;
    for (const std::string& line : watch.Lines()) {
        seen += line.find(changed) != std::string::npos;
        EXPECT_EQ(line.size() > 23 ? line[4] : '?', '-') << "a timestamp first: " << line;
    }
    EXPECT_EQ(seen, 1) << watch.Output();
    EXPECT_NE(watch.Errors().find("watching instrument 4660"), std::string::npos) << watch.Errors();
}

// QM487_HOSTILE_TRANSACTIONS sets the length of the run: 1,000 by default,
// 10,000 in scripts/soak.sh.
TEST_F(DdeService, AHostileClientNeitherCrashesTheProgramNorLeaksHandles) {
    const char* length = std::getenv("QM487_HOSTILE_TRANSACTIONS");
    const long transactions = length ? std::atol(length) : 1000;
    // Lines keep coming while the client runs, twice the instrument's pace;
    // now and then a long one, so the server restarts under the client's feet.
    int nLine = 0;
    auto hammer = [&](long transactions, unsigned seed) {
        ChildProcess hostile;
        ASSERT_TRUE(hostile.Start(QM487_DDE_PROBE_EXE, "hostile " + std::to_string(transactions) + " " +
                                                           std::to_string(seed) + " " + std::to_string(kSerial)));
        while (!hostile.WaitForExit(200)) {
            ++nLine;
            InstrumentReading r = Reading(nLine % 9, 20.0 + (nLine % 50) / 10.0);
            r.fine = nLine % 150 == 0;
            ASSERT_TRUE(instrument.Send(Line(r)));
        }
        EXPECT_NE(hostile.Output().find("done "), std::string::npos) << hostile.Output() << hostile.Errors();
        std::printf("hostile client: %s", hostile.Output().c_str());
    };
    // A short run first, so that whatever DDE makes once is made before counting.
    hammer(300, 1);
    Apply(Reading(3, 21.0));
    HandleCounts before;
    {
        LinkKeeper keeper(instrument, Line(Reading(3, 21.0)));
        before = CountHandles();
    }

    hammer(transactions, 20241208);
    // A value the run never sent, in a short line: the server runs as before.
    Apply(Reading(3, 31.5), 120000);
    EXPECT_TRUE(program.Dialog()->Dde().IsRunning());
    EXPECT_EQ(program.WaitForMessageBox(0), nullptr);
    LinkKeeper keeper(instrument, Line(Reading(3, 31.5)));
    HandleCounts after;
    const bool settled = WaitFor(
        [&] {
            after = CountHandles();
            return after.kernel <= before.kernel + 3 && after.gdi <= before.gdi + 3 && after.user <= before.user + 3;
        },
        20000);
    std::printf("hostile transactions: %ld\n", transactions);
    std::printf("handles before / after: kernel %ld / %ld, GDI %ld / %ld, USER %ld / %ld\n", before.kernel,
                after.kernel, before.gdi, after.gdi, before.user, after.user);
    EXPECT_TRUE(settled);
    EXPECT_LE(after.kernel, before.kernel + 3);
    EXPECT_LE(after.gdi, before.gdi + 3);
    EXPECT_LE(after.user, before.user + 3);

    // And the service still answers.
    keeper.Stop();
    keepLine = Line(Reading(3, 31.5));
    const std::vector<std::string> lines = Probe("request " + Topic(3) + " Pomiar 1");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], Topic(3) + " Pomiar 1: " + Hex("31.5" + kDegrees + kNul));
}
