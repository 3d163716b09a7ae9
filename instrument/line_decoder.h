// Validation and decoding of one instrument line.
//
// Every character is a 6-bit code with an odd-parity bit in bit 6. A line is
// start character, flag, four serial-number hex digits (low byte first),
// channel digit, sign or digit, value digits and a carriage return; 13 bytes
// for tenths, 15 or 16 for hundredths.
#pragma once

#include "common/win_types.h"

#include <string>

class CLineDecoder {
public:
    enum { kChannels = 9 };

    CLineDecoder();
    virtual ~CLineDecoder();

    // TRUE when the line (terminator included) is accepted; the members then
    // describe it. Some members are updated even by a rejected line (flags
    // after the channel test, the serial number after the flag test).
    BOOL Decode(const unsigned char* line, int length);

    // TRUE when each byte has an odd number of ones among bits 0 to 6.
    static BOOL CheckParity(const unsigned char* chars, int count);

    // "0".."9" -> 0..9, ":".."?" -> 10..15; anything else c - '0'.
    static int DigitValue(int c);

    BOOL m_bFine;                  // last accepted line: FALSE 0.1, TRUE 0.01
    int m_nChannel;                // channel digit of the line being decoded
    int m_nLength;                 // its length, terminator included
    int m_bCalibrationError[kChannels];  // 0 or 4, by channel
    int m_bValueError[kChannels];        // 0 or 2, by channel
    int m_nSerialNumber;
    double m_dValues[kChannels];
    char m_szLine[17];             // codes of the line being decoded, 0-terminated
};

// Why a line is rejected, in words, or an empty string when Decode would
// accept it. For people debugging a link; it changes no decoder state.
std::string LineRejectionReason(const unsigned char* line, int length);
