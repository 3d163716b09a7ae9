#include "instrument/line_encoder.h"

#include <cmath>
#include <stdexcept>

namespace {

const unsigned char kCarriageReturn = 0x0D;

unsigned HexDigitCode(unsigned nibble) { return 0x30 + (nibble & 0x0F); }

}  // namespace

unsigned char EncodeCode(unsigned code) {
    code &= 0x3F;
    int ones = 0;
    for (unsigned c = code; c != 0; c >>= 1)
        ones += c & 1;
    return static_cast<unsigned char>(ones % 2 == 0 ? code | 0x40 : code);
}

bool EncodeLine(const InstrumentReading& r, std::vector<unsigned char>& out) {
    out.clear();
    if (r.channel < 0 || r.channel > 8 || !std::isfinite(r.value))
        return false;

    const double scale = r.fine ? 100.0 : 10.0;
    const double scaled = std::round(std::fabs(r.value) * scale);
    const bool negative = r.value < 0 && scaled > 0;
    // Digits after the sign position: the line has 5 (tenths) or 6 value
    // places, of which the sign takes the first for a negative value.
    const int places = r.fine ? 6 : 5;
    const int digits = negative ? places - 1 : places;
    const double limit = std::pow(10.0, digits);
    if (scaled >= limit)
        return false;
    long long n = static_cast<long long>(scaled);

    std::vector<unsigned char> codes;
    codes.push_back(0x00);
    codes.push_back(static_cast<unsigned char>(0x30 | (r.valueError ? 0x02 : 0) |
                                               (r.calibrationError ? 0x04 : 0)));
    const unsigned sn = r.serialNumber;
    codes.push_back(HexDigitCode(sn >> 4));   // low byte first
    codes.push_back(HexDigitCode(sn));
    codes.push_back(HexDigitCode(sn >> 12));  // then the high byte
    codes.push_back(HexDigitCode(sn >> 8));
    codes.push_back(static_cast<unsigned char>(0x30 + r.channel));
    if (negative)
        codes.push_back(0x2D);
    std::vector<unsigned char> value(digits);
    for (int i = digits - 1; i >= 0; --i, n /= 10)
        value[i] = static_cast<unsigned char>(0x30 + n % 10);
    codes.insert(codes.end(), value.begin(), value.end());
    if (r.fine) {
        codes.push_back(0x30);           // position 13 is always "0"
        if (r.sixteenBytes)
            codes.push_back(0x30);       // position 14: only its parity counts
    }

    for (unsigned char c : codes)
        out.push_back(EncodeCode(c));
    out.push_back(kCarriageReturn);
    return true;
}

std::vector<unsigned char> EncodeLineOrThrow(const InstrumentReading& reading) {
    std::vector<unsigned char> out;
    if (!EncodeLine(reading, out))
        throw std::invalid_argument("reading does not fit an instrument line");
    return out;
}
