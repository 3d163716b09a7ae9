#include "secrets/secret_text.h"

#include "config/cp1250.h"

const char kUtf8SecretMark[] = "\x01UTF-8\x01";

std::string SecretTextFromUtf8(const std::string& utf8) {
    bool bExact = false;
    const std::string cp1250 = Utf8ToCp1250(utf8, '?', &bExact);
    return bExact && cp1250.compare(0, sizeof kUtf8SecretMark - 1, kUtf8SecretMark) != 0 ? cp1250
                                                                                         : kUtf8SecretMark + utf8;
}

std::string SecretTextToUtf8(const std::string& held) {
    const std::size_t nMark = sizeof kUtf8SecretMark - 1;
    return held.compare(0, nMark, kUtf8SecretMark) == 0 ? held.substr(nMark) : Cp1250ToUtf8(held);
}
