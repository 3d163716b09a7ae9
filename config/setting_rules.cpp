#include "config/setting_rules.h"

#include "config/cp1250.h"

#include <cctype>

namespace {

const char kBadUser[] = "Nazwa u\xBFytkownika nie mo\xBF" "e zawiera\xE6 znak\xF3w steruj\xB9" "cych.";
const char kUserOutside1250[] = "Nazwa u\xBFytkownika ma znaki, kt\xF3rych plik ustawie\xF1 (Windows-1250) nie "
                                "zapisze; podaj j\xB9 literami alfabetu \xB3" "aci\xF1skiego.";

}  // namespace

bool HasControlCharacter(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7F')
            return true;
    return false;
}

const char* UserNameFault(const std::string& user) {
    if (HasControlCharacter(user))
        return kBadUser;
    return HasUnassigned1250(user) ? kUserOutside1250 : nullptr;
}

bool IsFullWindowsPath(const std::string& p) {
    if (HasControlCharacter(p) || p.find('"') != std::string::npos)
        return false;
    const bool bDrive = p.size() > 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
                        (p[2] == '\\' || p[2] == '/');
    const bool bShare = p.size() > 2 && p[0] == '\\' && p[1] == '\\' && p[2] != '\\';
    return bDrive || bShare;
}
