#include "config/cp1250.h"

#include <algorithm>

namespace {

struct CFoldTable {
    unsigned char lower[256];

    constexpr CFoldTable() : lower() {
        for (int i = 0; i < 256; ++i)
            lower[i] = static_cast<unsigned char>(i);
        for (int i = 'A'; i <= 'Z'; ++i)
            lower[i] = static_cast<unsigned char>(i + 0x20);
        // S caron, S acute, T caron, Z caron, Z acute: 0x8A..0x8F -> 0x9A..0x9F
        // (0x8B is a quotation mark).
        lower[0x8A] = 0x9A;
        lower[0x8C] = 0x9C;
        lower[0x8D] = 0x9D;
        lower[0x8E] = 0x9E;
        lower[0x8F] = 0x9F;
        lower[0xA3] = 0xB3;  // L with stroke
        lower[0xA5] = 0xB9;  // A with ogonek
        lower[0xAA] = 0xBA;  // S with cedilla
        lower[0xAF] = 0xBF;  // Z with dot above
        lower[0xBC] = 0xBE;  // L with caron
        // R acute..T cedilla -> lower case; 0xD7 is the multiplication sign,
        // and sharp s (0xDF) has no upper case in this code page.
        for (int i = 0xC0; i <= 0xDE; ++i)
            if (i != 0xD7)
                lower[i] = static_cast<unsigned char>(i + 0x20);
    }
};

constexpr CFoldTable kFold;

// Code points of 0x80 to 0xFF.
const unsigned short kHigh[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

}  // namespace

unsigned char Cp1250ToLower(unsigned char c) { return kFold.lower[c]; }

bool Cp1250EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::string::size_type i = 0; i < a.size(); ++i)
        if (kFold.lower[static_cast<unsigned char>(a[i])] != kFold.lower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

std::string Cp1250ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        const unsigned cp = c < 0x80 ? c : kHigh[c - 0x80];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::size_t Utf8CharLength(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned c = at(i);
    if (c < 0x80)
        return 1;
    const std::size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points past U+10FFFF.
    const unsigned lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (n == 0 || at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    return n;
}

std::string Utf8OneLine(const std::string& text, std::size_t nMost, char cControl, bool* pbCut) {
    std::string line;
    std::size_t i = 0;
    for (std::size_t n = 0; i < text.size(); i += n) {
        n = Utf8CharLength(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (i + std::max<std::size_t>(n, 1) > nMost)
            break;  // the end, or a character cut in two
        if (n == 0) {
            line += '?';
            n = 1;
        } else if (n == 1 && (c < ' ' || c == 0x7F)) {
            line += cControl;
        } else {
            line.append(text, i, n);
        }
    }
    if (pbCut)
        *pbCut = i < text.size();
    return line;
}

std::string Utf8ToCp1250(const std::string& text, char cUnheld, bool* pbExact) {
    std::string out;
    out.reserve(text.size());
    bool bExact = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8CharLength(text, i);
        if (n == 1) {
            out += text[i++];
            continue;
        }
        // A byte of no whole sequence, or a letter this code page lacks, is
        // one cUnheld.
        int found = -1;
        if (n > 1) {
            unsigned cp = static_cast<unsigned char>(text[i]) & (0x7F >> n);
            for (std::size_t k = 1; k < n; ++k)
                cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            for (unsigned h = 0; h < 128 && found < 0; ++h)
                if (kHigh[h] == cp)
                    found = static_cast<int>(0x80 + h);
        }
        out += found < 0 ? cUnheld : static_cast<char>(found);
        bExact = bExact && found >= 0;
        i += n > 0 ? n : 1;
    }
    if (pbExact != nullptr)
        *pbExact = bExact;
    return out;
}

bool HasUnassigned1250(const std::string& text) {
    return text.find_first_of(std::string("\x81\x83\x88\x90\x98")) != std::string::npos;
}
