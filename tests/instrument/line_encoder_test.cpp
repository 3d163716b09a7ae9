#include "instrument/line_decoder.h"
#include "instrument/line_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

TEST(LineEncoder, ReproducesTheWorkedExamplesByteForByte) {
    InstrumentReading s;
    s.channel = 3;
    s.value = 23.4;
    s.serialNumber = 0x1234;
    EXPECT_EQ(EncodeLineOrThrow(s),
              (Bytes{0x40, 0x70, 0x73, 0x34, 0x31, 0x32, 0x73, 0x70, 0x70, 0x32, 0x73, 0x34, 0x0D}));

    InstrumentReading l;
    l.channel = 1;
    l.value = -12.34;
    l.fine = true;
    l.valueError = true;
    l.serialNumber = 258;
    EXPECT_EQ(EncodeLineOrThrow(l), (Bytes{0x40, 0x32, 0x70, 0x32, 0x70, 0x31, 0x31, 0x6D, 0x70,
                                           0x31, 0x32, 0x73, 0x34, 0x70, 0x0D}));
    l.sixteenBytes = true;
    EXPECT_EQ(EncodeLineOrThrow(l).size(), 16u);
}

TEST(LineEncoder, RefusesWhatTheLineCannotCarry) {
    std::vector<unsigned char> out;
    InstrumentReading r;
    for (double v : {10000.0, -1000.0, 99999.0}) {
        r.value = v;
        EXPECT_FALSE(EncodeLine(r, out)) << v;
        EXPECT_TRUE(out.empty());
    }
    r.value = 1.0;
    r.channel = 9;
    EXPECT_FALSE(EncodeLine(r, out));
    r.channel = -1;
    EXPECT_THROW(EncodeLineOrThrow(r), std::invalid_argument);
    r.channel = 0;
    r.value = -0.04;  // rounds to zero: sent as a plain 0.0, no sign
    ASSERT_TRUE(EncodeLine(r, out));
    EXPECT_EQ(out[7], EncodeCode('0'));
}

TEST(LineEncoder, RoundTripsThroughTheDecoder) {
    std::mt19937 rng(487);
    std::uniform_int_distribution<int> channel(0, 8), serial(0, 65535), flag(0, 1), tenths(-9999, 99999);
    std::uniform_int_distribution<int> hundredths(-99999, 999999);
    CLineDecoder d;
    for (int i = 0; i < 2000; ++i) {
        InstrumentReading r;
        r.channel = channel(rng);
        r.fine = i % 2 == 1;
        r.sixteenBytes = r.fine && i % 4 == 3;
        r.value = r.fine ? hundredths(rng) / 100.0 : tenths(rng) / 10.0;
        r.valueError = flag(rng);
        r.calibrationError = flag(rng);
        r.serialNumber = static_cast<std::uint16_t>(serial(rng));
        const Bytes b = EncodeLineOrThrow(r);
        ASSERT_TRUE(d.Decode(b.data(), static_cast<int>(b.size()))) << i;
        EXPECT_EQ(d.m_nChannel, r.channel);
        EXPECT_EQ(d.m_bFine != FALSE, r.fine);
        EXPECT_NEAR(d.m_dValues[r.channel], r.value, 1e-9);
        EXPECT_EQ(d.m_bValueError[r.channel] != 0, r.valueError);
        EXPECT_EQ(d.m_bCalibrationError[r.channel] != 0, r.calibrationError);
        EXPECT_EQ(d.m_nSerialNumber, r.serialNumber);
    }
}

}  // namespace
