// The binary log's records, byte for byte against the worked examples, and
// reading a log back.
#include "recording/binary_log.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

const RecordTime kTime = {2009, 3, 17, 8, 5, 0};

void NoValues(ChannelSamples samples) {
    for (int c = 0; c < 9; ++c)
        samples[c] = {0.0, TRUE, TRUE, FALSE};
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

}  // namespace

TEST(BinaryLog, NoValidChannelIsAnEighteenByteRecord) {
    ChannelSamples samples;
    NoValues(samples);
    const std::string plain = BuildPlainBinaryRecord(kTime, samples, 512);
    EXPECT_EQ(plain, "20090317080500$" + Bytes({0x40, 238, 242}));
    EXPECT_EQ(FormatBinaryRecord(kTime, samples, 512),
              Bytes({0xce, 0xd0, 0xd0, 0xc7, 0xd0, 0xcd, 0xcf, 0xc9, 0xd0, 0xc8, 0xd0, 0xcb, 0xd0, 0xd0, 0xdc, 0xc0,
                     0x12, 0x0e}));
}

TEST(BinaryLog, WorkedExampleWithChannelOneAndTheMean) {
    ChannelSamples samples;
    NoValues(samples);
    samples[1] = {21.37, FALSE, FALSE, TRUE};
    samples[0] = {21.4, FALSE, FALSE, FALSE};  // shown with tenths, stored with hundredths
    const std::string plain = BuildPlainBinaryRecord(kTime, samples, 512);
    EXPECT_EQ(plain, "20090317080500$22,512,30,21.37,1$22,512,25,21.40,1$" + Bytes({0x40, 0xBF, 0xD1}));
    EXPECT_EQ(plain.size(), 54u);
    EXPECT_EQ(NegateBytes(FormatBinaryRecord(kTime, samples, 512)), plain);
}

TEST(BinaryLog, AllNineChannelsInOrderWithTheMeanLastAndNegatives) {
    ChannelSamples samples;
    for (int c = 0; c <= 8; ++c)
        samples[c] = {c == 5 ? -5.5 : 10.0 + c, FALSE, FALSE, FALSE};
    const std::string plain = BuildPlainBinaryRecord(kTime, samples, 7);
    std::string groups;
    for (int c : {1, 2, 3, 4, 5, 6, 7, 8}) {
        groups += "22,7," + std::to_string(29 + c) + "," + (c == 5 ? std::string("-5.50") : std::to_string(10 + c) + ".00") +
                  ",1$";
    }
    groups += "22,7,25,10.00,1$";
    ASSERT_EQ(plain.substr(0, plain.size() - 3), "20090317080500$" + groups);
    // The trailer follows from the sum of the text.
    int sum = 0;
    for (char c : plain.substr(0, plain.size() - 3))
        sum += c;
    EXPECT_EQ(static_cast<unsigned char>(plain[plain.size() - 2]), sum % 253 + 1);
    EXPECT_EQ(static_cast<unsigned char>(plain[plain.size() - 1]), sum % 251 + 1);
}

TEST(BinaryLog, ChannelsWithoutAUsableValueAreLeftOut) {
    ChannelSamples samples;
    NoValues(samples);
    samples[2] = {21.0, FALSE, TRUE, FALSE};                                    // in error
    samples[3] = {std::numeric_limits<double>::quiet_NaN(), FALSE, FALSE, FALSE};  // not a number
    samples[0] = {-std::numeric_limits<double>::infinity(), FALSE, FALSE, FALSE};
    samples[4] = {0.0, FALSE, FALSE, FALSE};
    const std::string plain = BuildPlainBinaryRecord(kTime, samples, 0);
    EXPECT_EQ(plain.substr(0, plain.size() - 3), "20090317080500$22,0,33,0.00,1$");
    // The instrument number is written as it is, also when it makes no sense.
    EXPECT_NE(BuildPlainBinaryRecord(kTime, samples, -4).find("22,-4,33,"), std::string::npos);
}

TEST(BinaryLog, ChannelCodes) {
    EXPECT_EQ(BinaryChannelCode(0), 25);
    for (int c = 1; c <= 8; ++c)
        EXPECT_EQ(BinaryChannelCode(c), 29 + c);
}

TEST(BinaryLog, ALogReadsBackAndDamageIsFound) {
    ChannelSamples samples;
    NoValues(samples);
    std::string log = FormatBinaryRecord(kTime, samples, 512);
    samples[1] = {21.37, FALSE, FALSE, TRUE};
    samples[0] = {-1.5, FALSE, FALSE, TRUE};
    log += FormatBinaryRecord({2009, 3, 17, 8, 6, 0}, samples, 512);

    std::vector<BinaryRecordContent> records;
    std::string error;
    ASSERT_TRUE(ParseBinaryLog(log, &records, &error)) << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].strTime, "20090317080500");
    EXPECT_TRUE(records[0].entries.empty());
    ASSERT_EQ(records[1].entries.size(), 2u);
    EXPECT_EQ(records[1].entries[0].nChannelCode, 30);
    EXPECT_EQ(records[1].entries[0].strValue, "21.37");
    EXPECT_EQ(records[1].entries[1].nChannelCode, 25);
    EXPECT_EQ(records[1].entries[1].strValue, "-1.50");
    EXPECT_EQ(records[1].entries[1].nSerialNumber, 512);

    // A record cut anywhere, or one changed byte, is found.
    for (std::size_t cut = 1; cut < log.size() - 18; ++cut) {
        records.clear();
        EXPECT_FALSE(ParseBinaryLog(log.substr(0, log.size() - cut), &records, &error)) << cut;
        EXPECT_EQ(records.size(), 1u) << cut;
    }
    for (std::size_t at = 0; at < log.size(); ++at) {
        std::string damaged = log;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        EXPECT_FALSE(ParseBinaryLog(damaged, nullptr, &error)) << at;
    }
}
