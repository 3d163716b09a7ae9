#include "config/cp1250.h"

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

}  // namespace

unsigned char Cp1250ToLower(unsigned char c) {
    return kFold.lower[c];
}

bool Cp1250EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::string::size_type i = 0; i < a.size(); ++i)
        if (kFold.lower[static_cast<unsigned char>(a[i])] !=
            kFold.lower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}
