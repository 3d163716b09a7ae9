#include "instrument/line_decoder.h"

#include <cstdio>

namespace {

const unsigned char kCodeMask = 0x3F;
const char kMinus = 0x2D;
const char kZero = 0x30;

// Decimal digits from position first to last (inclusive), most significant first.
int DigitsValue(const char* codes, int first, int last) {
    int n = 0;
    for (int i = first; i <= last; ++i)
        n = n * 10 + CLineDecoder::DigitValue(codes[i]);
    return n;
}

bool IsAcceptedLength(int n) { return n == 13 || n == 15 || n == 16; }

// The flag character must be 0x30 with at most bits 1 and 2 added.
bool IsValidFlag(int f) { return (f & 0x09) == 0 && (f & 0x10) != 0 && (f & 0x20) != 0; }

}  // namespace

CLineDecoder::CLineDecoder()
    : m_bFine(TRUE), m_nChannel(0), m_nLength(0), m_nSerialNumber(0), m_szLine() {
    for (int i = 0; i < kChannels; ++i) {
        m_bCalibrationError[i] = 1;
        m_bValueError[i] = 1;
        m_dValues[i] = 0.0;
    }
}

CLineDecoder::~CLineDecoder() {}

int CLineDecoder::DigitValue(int c) {
    if (c >= 'A' && c <= 'F')
        return c - 0x37;
    return c - 0x30;
}

BOOL CLineDecoder::CheckParity(const unsigned char* chars, int count) {
    for (int i = 0; i < count; ++i) {
        int ones = 0;
        for (int bit = 0; bit < 7; ++bit)
            ones += (chars[i] >> bit) & 1;
        if (ones % 2 == 0)
            return FALSE;
    }
    return TRUE;
}

BOOL CLineDecoder::Decode(const unsigned char* line, int length) {
    const int n = length;
    m_nLength = n;
    if (!IsAcceptedLength(n))
        return FALSE;

    for (int i = 0; i < n; ++i)
        m_szLine[i] = static_cast<char>(line[i] & kCodeMask);
    m_szLine[n] = 0;

    // Start character and terminator carry no parity.
    if (!CheckParity(line + 1, n - 2))
        return FALSE;
    if (m_szLine[0] != 0)
        return FALSE;

    const int ch = DigitValue(m_szLine[6]);
    m_nChannel = ch;
    if (ch < 0 || ch > 8)
        return FALSE;

    // The flags are kept even when the flag test below rejects the line.
    const int f = m_szLine[1];
    m_bValueError[ch] = f & 0x02;
    m_bCalibrationError[ch] = f & 0x04;
    if (!IsValidFlag(f))
        return FALSE;

    m_nSerialNumber = ((DigitValue(m_szLine[4]) * 16 + DigitValue(m_szLine[5])) * 16 +
                       DigitValue(m_szLine[2])) * 16 + DigitValue(m_szLine[3]);

    // Tenths for 13 bytes; hundredths for the long forms, whose position 13
    // must be "0" (the serial number above is kept even when it is not).
    const bool fine = n != 13;
    if (fine && m_szLine[13] != kZero)
        return FALSE;
    const bool negative = m_szLine[7] == kMinus;
    double d = static_cast<double>(DigitsValue(m_szLine, negative ? 8 : 7, fine ? 12 : 11));
    if (negative)
        d = -d;
    m_bFine = fine ? TRUE : FALSE;
    m_dValues[ch] = d * (fine ? 0.01 : 0.1);  // multiplied, not divided: the exact doubles matter
    return TRUE;
}

std::string LineRejectionReason(const unsigned char* line, int length) {
    char text[96];
    if (!IsAcceptedLength(length)) {
        std::snprintf(text, sizeof text, "length %d (13, 15 or 16 expected)", length);
        return text;
    }
    for (int i = 1; i <= length - 2; ++i) {
        if (!CLineDecoder::CheckParity(line + i, 1)) {
            std::snprintf(text, sizeof text, "parity error at position %d", i);
            return text;
        }
    }
    if ((line[0] & kCodeMask) != 0)
        return "no start character at position 0";
    const int ch = CLineDecoder::DigitValue(line[6] & kCodeMask);
    if (ch < 0 || ch > 8) {
        std::snprintf(text, sizeof text, "channel digit %d out of range", ch);
        return text;
    }
    if (!IsValidFlag(line[1] & kCodeMask)) {
        std::snprintf(text, sizeof text, "invalid flag code 0x%02X", line[1] & kCodeMask);
        return text;
    }
    if (length != 13 && (line[13] & kCodeMask) != kZero)
        return "position 13 is not \"0\"";
    return std::string();
}
