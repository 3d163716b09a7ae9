#include "instrument/quantity_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::string kC = " \xB0" "C";

// 12.36 tells every form apart: "%.0f" 12, "%.1f" 12.4, "%.2f" 12.36, cut 12.3.
struct Row { int code; BOOL fine; const char *display, *result, *measurement; };
const Row kRows[] = {
    {1, FALSE, "12.4 W/m2", "12.3", "12.3 W/m2"}, {1, TRUE, "12.4 W/m2", "12.36", "12.3 W/m2"},
    {2, FALSE, "12.36 kLx", "12.36", "12.36 kLx"}, {2, TRUE, "12.36 kLx", "12.36", "12.36 kLx"},
    {3, FALSE, "12.3 \xB0" "C", "12.3", "12.3 \xB0" "C"},
    {3, TRUE, "12.36 \xB0" "C", "12.36", "12.36 \xB0" "C"},
    {4, FALSE, "12 \xB0", "12", "12 \xB0"}, {4, TRUE, "12 \xB0", "12", "12 \xB0"},
    {5, FALSE, "12.4 hPa", "12.3", "12.3 hPa"}, {5, TRUE, "12.4 hPa", "12.36", "12.3 hPa"},
    {6, FALSE, "12.4 m/s", "12.3", "12.3 m/s"}, {6, TRUE, "12.4 m/s", "12.36", "12.3 m/s"},
    {7, FALSE, "12.4 %", "12.3", "12.3 %"}, {7, TRUE, "12.4 %", "12.36", "12.3 %"},
    {8, FALSE, "12 ppm", "12", "12 ppm"}, {8, TRUE, "12 ppm", "12", "12 ppm"},
};

TEST(QuantityFormat, EveryCodeAndColumn) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(testing::Message() << "code " << r.code << " fine " << r.fine);
        EXPECT_EQ(FormatDisplayText(12.36, r.code, r.fine, TRUE), r.display);
        EXPECT_EQ(FormatDisplayText(12.36, r.code, r.fine, FALSE), r.result);
        EXPECT_EQ(FormatDdeResult(-12.36, r.code, r.fine), std::string("-") + r.result);
        EXPECT_EQ(FormatDdeMeasurement(12.36, r.code, r.fine), r.measurement);
    }
    for (int code : {0, 9, -1}) {
        EXPECT_EQ(FormatDisplayText(1.0, code, TRUE, TRUE) + FormatDisplayText(1.0, code, FALSE, FALSE) +
                      FormatDdeResult(1.0, code, TRUE) + FormatDdeMeasurement(1.0, code, FALSE), "");
    }
}

TEST(QuantityFormat, CelsiusReadings) {
    struct { double value; BOOL fine; std::string number; } cases[] = {
        {23.5, FALSE, "23.5"}, {-23.47, FALSE, "-23.4"}, {-0.07, FALSE, "0.0"},
        {-0.0, FALSE, "0.0"}, {23.456, TRUE, "23.46"}, {-0.001, TRUE, "-0.00"},
        {1048576.3, FALSE, "1048576.4"},  // the cut's float step; in double it would stay .3
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDisplayText(c.value, 3, c.fine, TRUE), c.number + kC) << c.value;
        EXPECT_EQ(FormatDdeResult(c.value, 3, c.fine), c.number) << c.value;
    }
}

// Every value the decoder can produce (d * 0.1, d * 0.01) reads back as itself.
TEST(QuantityFormat, InstrumentReadingsReadBackExactly) {
    for (int d = -99999; d <= 99999; ++d) {
        char tenths[16], hundredths[16];
        std::snprintf(tenths, sizeof tenths, "%s%d.%d", d < 0 ? "-" : "", std::abs(d) / 10, std::abs(d) % 10);
        std::snprintf(hundredths, sizeof hundredths, "%s%d.%02d", d < 0 ? "-" : "", std::abs(d) / 100,
                      std::abs(d) % 100);
        ASSERT_EQ(FormatCutTenths(d * 0.1), tenths);
        ASSERT_EQ(FormatFixed(d * 0.01, 2), hundredths);
    }
}

TEST(QuantityFormat, FixedRoundsTheExactBinaryValue) {
    EXPECT_EQ(FormatFixed(0.125, 2) + " " + FormatFixed(-2.5, 0) + " " + FormatFixed(1.005, 2),
              "0.12 -2 1.00");
    EXPECT_EQ(FormatFixed(1e21, 0), "1000000000000000000000");
#ifdef __GLIBC__
    char expected[400];
    std::srand(487);
    for (int i = 0; i < 20000; ++i) {
        const double scale = i % 2 ? 1000.0 : double(1 << std::rand() % 24);
        const double v = (std::rand() - RAND_MAX / 2) / scale;
        std::snprintf(expected, sizeof expected, "%.*f", i % 4, v);
        ASSERT_EQ(FormatFixed(v, i % 4), expected) << v;
    }
#endif
}

TEST(QuantityFormat, IgnoresCommaLocale) {
    const char* active = nullptr;
    for (const char* name : {"de_DE.UTF-8", "pl_PL.UTF-8", "de_DE", "German", "Polish"}) {
        if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
            active = name;
            break;
        }
    }
    const std::string text = active ? FormatDdeMeasurement(-1234.567, 3, TRUE) : "";
    std::setlocale(LC_ALL, "C");
    if (!active)
        GTEST_SKIP() << "no comma-decimal locale here";
    EXPECT_EQ(text, "-1234.57" + kC) << active;
}

TEST(QuantityFormat, ConvertQuantity) {
    EXPECT_EQ(ConvertQuantity(1.0, 1, 2), 0.6802721088435374);
    EXPECT_EQ(ConvertQuantity(1.0, 2, 1), 1.47);
    for (int from = 0; from <= 9; ++from) {
        for (int to = 0; to <= 9; ++to) {
            if (from * to != 2) {  // every pair but 1 -> 2 and 2 -> 1
                EXPECT_EQ(ConvertQuantity(-12.36, from, to), -12.36) << from << "->" << to;
            }
        }
    }
}

TEST(QuantityFormat, RaisedUnitOfCodeOne) {
    EXPECT_TRUE(HasRaisedUnit(1, TRUE));
    EXPECT_FALSE(HasRaisedUnit(1, FALSE) || HasRaisedUnit(3, TRUE) || HasRaisedUnit(0, TRUE));
    const RaisedUnitText t = FormatRaisedUnit(-12.36);
    EXPECT_EQ(t.measured, FormatDisplayText(-12.36, 1, TRUE, TRUE));
    EXPECT_EQ(t.base + "|" + t.exponent, "-12.4 W/m|2");
}

}  // namespace
