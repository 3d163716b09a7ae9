#include "instrument/line_decoder.h"
#include "instrument/line_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes kShortExample = {0x40, 0x70, 0x73, 0x34, 0x31, 0x32, 0x73,
                             0x70, 0x70, 0x32, 0x73, 0x34, 0x0D};
const Bytes kLongExample = {0x40, 0x32, 0x70, 0x32, 0x70, 0x31, 0x31, 0x6D,
                            0x70, 0x31, 0x32, 0x73, 0x34, 0x70, 0x0D};

BOOL Decode(CLineDecoder& d, const Bytes& b) { return d.Decode(b.data(), static_cast<int>(b.size())); }

Bytes WithCode(Bytes line, int pos, unsigned code) {
    line[pos] = EncodeCode(code);
    return line;
}

TEST(LineDecoder, StartsWithUnknownFlagsAndFineResolution) {
    CLineDecoder d;
    EXPECT_EQ(d.m_bFine, TRUE);
    EXPECT_EQ(d.m_nSerialNumber, 0);
    for (int ch = 0; ch < 9; ++ch) {
        EXPECT_EQ(d.m_bValueError[ch], 1);
        EXPECT_EQ(d.m_bCalibrationError[ch], 1);
        EXPECT_EQ(d.m_dValues[ch], 0.0);
    }
}

TEST(LineDecoder, WorkedExamples) {
    CLineDecoder d;
    ASSERT_TRUE(Decode(d, kShortExample));
    EXPECT_EQ(d.m_nChannel, 3);
    EXPECT_EQ(d.m_nSerialNumber, 0x1234);
    EXPECT_EQ(d.m_dValues[3], 234.0 * 0.1);  // a multiplication, bit for bit
    EXPECT_EQ(d.m_bFine, FALSE);
    EXPECT_EQ(d.m_bValueError[3], 0);
    EXPECT_EQ(d.m_bCalibrationError[3], 0);
    EXPECT_EQ(d.m_nLength, 13);

    ASSERT_TRUE(Decode(d, kLongExample));
    EXPECT_EQ(d.m_nChannel, 1);
    EXPECT_EQ(d.m_nSerialNumber, 258);
    EXPECT_EQ(d.m_dValues[1], -1234.0 * 0.01);
    EXPECT_EQ(d.m_bFine, TRUE);
    EXPECT_EQ(d.m_bValueError[1], 2);
    EXPECT_EQ(d.m_bCalibrationError[1], 0);
    EXPECT_EQ(d.m_dValues[3], 234.0 * 0.1) << "other channels keep their values";
}

TEST(LineDecoder, SixteenByteFormParityTestsPosition14Only) {
    CLineDecoder d;
    Bytes odd = kLongExample;
    odd.insert(odd.end() - 1, 0x31);  // "1": three ones
    ASSERT_TRUE(Decode(d, odd));
    EXPECT_EQ(d.m_dValues[1], -1234.0 * 0.01);
    EXPECT_EQ(d.m_nLength, 16);

    Bytes even = kLongExample;
    even.insert(even.end() - 1, 0x30);  // plain ASCII "0": even
    EXPECT_FALSE(Decode(d, even));
}

TEST(LineDecoder, RejectsOtherLengths) {
    CLineDecoder d;
    for (int n : {0, 1, 12, 14, 17, 999}) {
        Bytes b(n, 0x70);
        if (n) b.back() = 0x0D;
        EXPECT_FALSE(d.Decode(b.data(), n)) << n;
        EXPECT_EQ(d.m_nLength, n);
    }
}

TEST(LineDecoder, ParityOfEveryCharacterBetweenStartAndTerminator) {
    CLineDecoder d;
    for (int pos = 1; pos <= 11; ++pos) {
        Bytes b = kShortExample;
        b[pos] ^= 0x40;  // flip the parity bit only
        EXPECT_FALSE(Decode(d, b)) << "position " << pos;
    }
    // Bit 7 is not counted, and the start and terminator are exempt.
    Bytes high = kShortExample;
    high[5] |= 0x80;
    EXPECT_TRUE(Decode(d, high));
    EXPECT_TRUE(Decode(d, WithCode(kShortExample, 0, 0x00)));
    Bytes startNoParity = kShortExample;
    startNoParity[0] = 0x00;
    EXPECT_TRUE(Decode(d, startNoParity));
    EXPECT_FALSE(Decode(d, WithCode(kShortExample, 0, 0x01)));

    // Plain ASCII: "1" (0x31) has odd parity and passes, "0" (0x30) fails.
    Bytes ascii = kShortExample;
    ascii[3] = '4';  // 0x34: three ones, same as the encoded byte
    EXPECT_TRUE(Decode(d, ascii));
    ascii[7] = '0';
    EXPECT_FALSE(Decode(d, ascii));
}

TEST(LineDecoder, CheckParityCountsSevenBits) {
    const unsigned char all[] = {0x01, 0x07, 0x7F, 0x81};  // 0x81: bit 7 not counted
    EXPECT_TRUE(CLineDecoder::CheckParity(all, 4));
    const unsigned char even[] = {0x01, 0x03};
    EXPECT_FALSE(CLineDecoder::CheckParity(even, 2));
    EXPECT_TRUE(CLineDecoder::CheckParity(even, 0));
}

TEST(LineDecoder, FlagCharacters) {
    CLineDecoder d;
    struct { unsigned code; bool ok; int valueError, calError; } cases[] = {
        {0x30, true, 0, 0}, {0x32, true, 2, 0}, {0x34, true, 0, 4}, {0x36, true, 2, 4},
        {0x31, false, 0, 0}, {0x38, false, 0, 0}, {0x39, false, 0, 0}, {0x3B, false, 2, 0},
        {0x20, false, 0, 0}, {0x10, false, 0, 0}, {0x06, false, 2, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(d, WithCode(kShortExample, 1, c.code)) != FALSE, c.ok) << std::hex << c.code;
        // Stored before the flag test, so also by a rejected line.
        EXPECT_EQ(d.m_bValueError[3], c.valueError) << std::hex << c.code;
        EXPECT_EQ(d.m_bCalibrationError[3], c.calError) << std::hex << c.code;
    }
}

TEST(LineDecoder, ChannelDigitRange) {
    CLineDecoder d;
    for (unsigned code = 0x30; code <= 0x38; ++code) {
        EXPECT_TRUE(Decode(d, WithCode(kShortExample, 6, code)));
        EXPECT_EQ(d.m_nChannel, static_cast<int>(code - 0x30));
    }
    for (unsigned code : {0x39u, 0x3Au, 0x3Fu, 0x2Fu, 0x00u, 0x2Du}) {
        EXPECT_FALSE(Decode(d, WithCode(kShortExample, 6, code))) << std::hex << code;
    }
    // A rejected channel digit must not touch any channel's flags.
    EXPECT_EQ(d.m_bValueError[8], 0);
}

TEST(LineDecoder, SerialNumberStoredEvenWhenPosition13Fails) {
    CLineDecoder d;
    Bytes b = WithCode(kLongExample, 13, 0x31);
    b = WithCode(b, 2, 0x3F);  // low byte 0x02 becomes 0xF2
    EXPECT_FALSE(Decode(d, b));
    EXPECT_EQ(d.m_nSerialNumber, 0x01F2);
    EXPECT_EQ(d.m_dValues[1], 0.0) << "no value from a rejected line";
    EXPECT_EQ(d.m_bFine, TRUE);
}

TEST(LineDecoder, ColonDigitsCountTenTimesTheirWeight) {
    CLineDecoder d;
    ASSERT_TRUE(Decode(d, WithCode(kShortExample, 10, 0x3A)));  // "0 0 2 : 4"
    EXPECT_EQ(d.m_dValues[3], (200 + 100 + 4) * 0.1);
    ASSERT_TRUE(Decode(d, WithCode(kShortExample, 2, 0x3A)));
    EXPECT_EQ(d.m_nSerialNumber, 0x12A4);
}

TEST(LineDecoder, ValueRangeEnds) {
    CLineDecoder d;
    struct { double value; bool fine; } cases[] = {
        {9999.9, false}, {-999.9, false}, {0.0, false}, {9999.99, true}, {-999.99, true}, {-0.01, true},
    };
    for (const auto& c : cases) {
        InstrumentReading r;
        r.channel = 5;
        r.value = c.value;
        r.fine = c.fine;
        ASSERT_TRUE(Decode(d, EncodeLineOrThrow(r)));
        EXPECT_NEAR(d.m_dValues[5], c.value, 1e-9);
    }
}

TEST(LineDecoder, RejectionReasonAgreesWithDecode) {
    CLineDecoder d;
    std::vector<Bytes> lines = {kShortExample, kLongExample, WithCode(kShortExample, 1, 0x31),
                                WithCode(kShortExample, 6, 0x39), WithCode(kLongExample, 13, 0x31),
                                WithCode(kShortExample, 0, 0x01), Bytes(14, 0x70)};
    Bytes parity = kShortExample;
    parity[4] ^= 0x40;
    lines.push_back(parity);
    for (const Bytes& b : lines) {
        const std::string why = LineRejectionReason(b.data(), static_cast<int>(b.size()));
        EXPECT_EQ(why.empty(), Decode(d, b) != FALSE) << why;
    }
    EXPECT_EQ(LineRejectionReason(parity.data(), 13), "parity error at position 4");
}

}  // namespace
