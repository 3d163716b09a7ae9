#include "common/base64.h"

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char ch) {
    if (ch >= 'A' && ch <= 'Z')
        return ch - 'A';
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 26;
    if (ch >= '0' && ch <= '9')
        return ch - '0' + 52;
    if (ch == '+')
        return 62;
    if (ch == '/')
        return 63;
    return -1;
}
}  // namespace

std::string Base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::string::size_type i = 0; i < bytes.size(); i += 3) {
        const std::string::size_type n = bytes.size() - i;
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (n > 1)
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (n > 2)
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[v & 63] : '=';
    }
    return out;
}

bool Base64Decode(const std::string& text, std::string& bytes) {
    if (text.size() % 4 != 0)
        return false;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::string::size_type i = 0; i < text.size(); i += 4) {
        const bool bLast = i + 4 == text.size();
        const int pad = bLast ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=')
            return false;
        unsigned v = 0;
        for (int k = 0; k < 4 - pad; ++k) {
            const int s = Sextet(text[i + k]);
            if (s < 0)
                return false;
            v |= static_cast<unsigned>(s) << (18 - 6 * k);
        }
        out += static_cast<char>((v >> 16) & 255);
        if (pad < 2)
            out += static_cast<char>((v >> 8) & 255);
        if (pad < 1)
            out += static_cast<char>(v & 255);
    }
    bytes.swap(out);
    return true;
}
