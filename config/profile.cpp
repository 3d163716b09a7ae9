#include "config/profile.h"

#include "config/cp1250.h"
#include "config/settings.h"

#include <cstdio>

const char kProfileNameRule[] =
    "Nazwa przyrz\xB9" "du mo\xBF" "e zawiera\xE6 tylko litery A-Z (bez polskich znak\xF3w), cyfry, spacje "
    "oraz znaki - i _, najwy\xBF" "ej 40 znak\xF3w, bez spacji na pocz\xB9tku i na ko\xF1" "cu.";

namespace {

const char kProgramName[] = "QM487";
const char kWithWindowsOption[] = "/autostart";
const std::size_t kDigestSuffixLength = 11;  // " (XXXXXXXX)"

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' ||
           c == '_';
}

bool IsOption(const std::string& arg, const char* pszName) {
    return arg == std::string("/") + pszName || arg == std::string("--") + pszName || arg == std::string("-") + pszName;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool IsValidProfileName(const std::string& strName) {
    if (strName.empty() || strName.size() > kMaxProfileNameLength || strName.front() == ' ' || strName.back() == ' ')
        return false;
    for (char c : strName)
        if (!IsNameCharacter(c))
            return false;
    return true;
}

std::string ProfileSettingsFileName(const std::string& strProfile) {
    return strProfile.empty() ? std::string(kSettingsFileName) : "qm487cfg-" + strProfile + ".ini";
}

std::string ProfileWindowTitle(const std::string& strProfile) {
    return strProfile.empty() ? std::string(kProgramName) : std::string(kProgramName) + " \x96 " + strProfile;
}

std::string ProfileRunValueName(const std::string& strProfile) {
    return strProfile.empty() ? std::string(kProgramName) : std::string(kProgramName) + " " + strProfile;
}

std::string CopyRunValueName(const std::string& strProfile, const std::string& strProgramPath) {
    char suffix[kDigestSuffixLength + 1];
    std::snprintf(suffix, sizeof suffix, " (%08X)", static_cast<unsigned>(PathDigest(strProgramPath)));
    return ProfileRunValueName(strProfile) + suffix;
}

bool IsProfileRunValueName(const std::string& strValueName) {
    std::string name = strValueName;
    const std::size_t n = name.size();
    if (n > kDigestSuffixLength && name.compare(n - kDigestSuffixLength, 2, " (") == 0 && name.back() == ')' &&
        name.find_first_not_of("0123456789ABCDEF", n - 9) == n - 1)
        name.resize(n - kDigestSuffixLength);
    const std::string prefix = std::string(kProgramName) + " ";
    if (name == kProgramName)
        return true;
    return name.compare(0, prefix.size(), prefix) == 0 && IsValidProfileName(name.substr(prefix.size()));
}

unsigned long long PathDigest(const std::string& strPath) {
    // FNV-1a: a short, fixed digest that needs nothing from the system.
    unsigned long long hash = 14695981039346656037ull;
    for (char c : strPath) {
        hash ^= Cp1250ToLower(static_cast<unsigned char>(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string ProfileCommandLine(const std::string& strProgramPath, const std::string& strProfile) {
    return Quoted(strProgramPath) + ProfileOptions(strProfile);
}

std::string ProfileOptions(const std::string& strProfile) {
    return strProfile.empty() ? std::string() : " /profile " + Quoted(strProfile);
}

std::string ProfileRunCommand(const std::string& strProgramPath, const std::string& strProfile) {
    return Quoted(strProgramPath) + ProfileRunOptions(strProfile);
}

std::string ProfileRunOptions(const std::string& strProfile) {
    return ProfileOptions(strProfile) + " " + kWithWindowsOption;
}

StartOptions ParseStartOptions(const std::vector<std::string>& args) {
    StartOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (IsOption(args[i], "autostart")) {
            options.bWithWindows = true;
        } else if (IsOption(args[i], "removeautostart")) {
            options.bRemoveStartWithWindows = true;
        } else if (IsOption(args[i], "profile")) {
            const std::string name = i + 1 < args.size() ? args[++i] : std::string();
            if (!IsValidProfileName(name)) {
                options.bValid = false;
                options.strBadName = name;
                return options;
            }
            options.strProfile = name;
        }
    }
    return options;
}
