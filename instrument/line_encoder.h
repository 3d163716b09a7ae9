// The instrument's side of the line protocol: a reading becomes the exact
// bytes the instrument sends. The simulator and the tests speak through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct InstrumentReading {
    int channel = 1;                 // 0 to 8
    double value = 0.0;              // rounded to the resolution when encoded
    bool fine = false;               // false: 13-byte line, 0.1; true: long line, 0.01
    bool sixteenBytes = false;       // long line with the extra character at position 14
    bool valueError = false;
    bool calibrationError = false;
    std::uint16_t serialNumber = 0;
};

// A 6-bit code with its odd-parity bit in bit 6.
unsigned char EncodeCode(unsigned code);

// The whole line, carriage return included. Fails (returns false and leaves
// out empty) when the channel or the value does not fit the line form:
// -999.9..9999.9 for tenths, -999.99..9999.99 for hundredths.
bool EncodeLine(const InstrumentReading& reading, std::vector<unsigned char>& out);

// Same as EncodeLine, throwing std::invalid_argument for a reading that does not fit.
std::vector<unsigned char> EncodeLineOrThrow(const InstrumentReading& reading);
