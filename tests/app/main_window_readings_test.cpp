// Readings through the real serial path: lines written into COM14 reach the
// program on COM13, and the status line and the fields follow them.
#include "tests/app/program_harness.h"

#include <cmath>

using namespace qm487test;

namespace {

const int kProgramPort = 13;
const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";
const std::uint16_t kSerial = 4660;

InstrumentReading Reading(int channel, double value, bool valueError = false, bool calibrationError = false) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    r.valueError = valueError;
    r.calibrationError = calibrationError;
    r.serialNumber = kSerial;
    return r;
}

std::wstring Verdict(const std::wstring& pieces) { return L"QM-487 nr 4660. " + pieces; }

class LiveReadings : public ::testing::Test {
protected:
    LiveReadings() : instrument(L"\\\\.\\COM14"), program("[GENERAL]\r\nPORT_NR=13\r\n") {}

    void SetUp() override {
        ASSERT_TRUE(instrument.IsOpen());
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.WaitForStatus(kLostLink));
        // The reader empties the port as it starts; a line is heard once it listens.
        const std::string first = Line(Reading(3, 23.47));
        bool heard = false;
        for (int attempt = 0; attempt < 20 && !heard; ++attempt) {
            ASSERT_TRUE(instrument.Send(first));
            heard = program.WaitForStatus(Verdict(L"Pomiar temperatury 3 prawid\x0142owy. "), 1000);
        }
        ASSERT_TRUE(heard) << "no line reached the program on COM" << kProgramPort;
    }

    // Sends a line and waits until the status line says `status`.
    void Expect(const InstrumentReading& reading, const std::wstring& status) {
        ASSERT_TRUE(instrument.Send(Line(reading)));
        ASSERT_TRUE(program.WaitForStatus(status)) << "status stayed: " << testing::PrintToString(program.Status());
    }

    const ChannelState& Channel(int channel) { return program.Dialog()->Instrument().Channels()[channel]; }
    CReadingView& Field(int channel) { return program.Dialog()->Panel().Field(channel); }

    InstrumentPort instrument;
    RunningProgram program;
};

}  // namespace

TEST_F(LiveReadings, AnAcceptedLineShowsItsChannelAndLeavesTheOthersWaiting) {
    EXPECT_FALSE(Channel(3).bNoValue);
    EXPECT_DOUBLE_EQ(Channel(3).dValue, 23.5);  // tenths on the line
    EXPECT_FALSE(Channel(3).bAlert);
    for (int channel : {0, 1, 2, 4, 5, 6, 7, 8}) {
        EXPECT_TRUE(Channel(channel).bNoValue) << channel;
        EXPECT_TRUE(Channel(channel).bAlert) << channel;
    }
    EXPECT_TRUE(program.Dialog()->Instrument().IsLinkUp());
}

TEST_F(LiveReadings, ErrorFlagsNameTheChannelAndMakeItBlink) {
    Expect(Reading(5, 19.0, true, true),
           Verdict(L"B\x0142\x0105" L"d warto\x015B" L"ci temperatury 5. B\x0142\x0105" L"d kalibracji kana\x0142u 5. "));
    EXPECT_TRUE(Channel(5).bAlert);
    EXPECT_FALSE(Channel(5).bNoValue);
    Expect(Reading(0, 0.0, true), Verdict(L"B\x0142\x0105" L"d warto\x015B" L"ci temperatury. "));
    EXPECT_TRUE(Channel(0).bAlert);
    // Flags cleared: the channel shows steadily again.
    Expect(Reading(5, 19.0), Verdict(L"Pomiar temperatury 5 prawid\x0142owy. "));
    EXPECT_FALSE(Channel(5).bAlert);
    EXPECT_FALSE(Field(5).m_bHidden);
}

TEST_F(LiveReadings, ChannelZeroShowsTheMeanOfTheChannelsHeardSinceTheLoss) {
    // A rejected line loses the link at once.
    std::string bad = Line(Reading(1, 20.0));
    bad[4] ^= 0x01;  // parity
    ASSERT_TRUE(instrument.Send(bad));
    ASSERT_TRUE(program.WaitForStatus(kLostLink));
    for (int channel = 0; channel <= 8; ++channel) {
        EXPECT_TRUE(Channel(channel).bNoValue) << channel;
        EXPECT_TRUE(Channel(channel).bAlert) << channel;
    }
    // The first channel-0 line after a loss leaves it at "???".
    Expect(Reading(0, 50.0), Verdict(L"Pomiar temperatury 0 prawid\x0142owy. "));
    EXPECT_TRUE(Channel(0).bNoValue);
    Expect(Reading(1, 20.0), Verdict(L"Pomiar temperatury 1 prawid\x0142owy. "));
    Expect(Reading(2, 22.0), Verdict(L"Pomiar temperatury 2 prawid\x0142owy. "));
    Expect(Reading(0, 50.0), Verdict(L"Pomiar temperatury 0 prawid\x0142owy. "));
    ASSERT_TRUE(WaitFor([&] { return !Channel(0).bNoValue; }, 5000));
    EXPECT_DOUBLE_EQ(Channel(0).dValue, 21.0);
    EXPECT_FALSE(std::isnan(Channel(0).dValue));
}

TEST_F(LiveReadings, ChannelZeroWithNoChannelHeardShowsNoValue) {
    std::string bad = Line(Reading(1, 20.0));
    bad.insert(bad.begin(), 'x');
    ASSERT_TRUE(instrument.Send(bad));
    ASSERT_TRUE(program.WaitForStatus(kLostLink));
    Expect(Reading(0, 1.0), Verdict(L"Pomiar temperatury 0 prawid\x0142owy. "));
    Expect(Reading(0, 1.0, true), Verdict(L"B\x0142\x0105" L"d warto\x015B" L"ci temperatury. "));
    EXPECT_TRUE(Channel(0).bNoValue);  // no mean of nothing
}

TEST_F(LiveReadings, ALongLineSwitchesEveryFieldToHundredthsAndBack) {
    InstrumentReading fine = Reading(2, 23.468);
    fine.fine = true;
    Expect(fine, Verdict(L"Pomiar temperatury 2 prawid\x0142owy. "));
    for (int channel = 0; channel <= 8; ++channel)
        EXPECT_TRUE(Channel(channel).bFineResolution) << channel;
    EXPECT_NEAR(Channel(2).dValue, 23.47, 1e-9);
    Expect(Reading(4, 1.0), Verdict(L"Pomiar temperatury 4 prawid\x0142owy. "));
    for (int channel = 0; channel <= 8; ++channel)
        EXPECT_FALSE(Channel(channel).bFineResolution) << channel;
}

TEST_F(LiveReadings, SilenceLosesTheLinkThroughTheWatchdog) {
    // Nothing more is sent: within a few watchdog periods the link is lost.
    ASSERT_TRUE(program.WaitForStatus(kLostLink, 30000));
    EXPECT_FALSE(program.Dialog()->Instrument().IsLinkUp());
    EXPECT_TRUE(Channel(3).bNoValue);
}
