#include "config/profile.h"

#include "config/settings.h"

const char kProfileNameRule[] =
    "Nazwa przyrz\xB9" "du mo\xBF" "e zawiera\xE6 tylko litery A-Z (bez polskich znak\xF3w), cyfry, spacje "
    "oraz znaki - i _, najwy\xBF" "ej 40 znak\xF3w, bez spacji na pocz\xB9tku i na ko\xF1" "cu.";

namespace {

const char kProgramName[] = "QM487";
const char kWithWindowsOption[] = "/autostart";

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

bool IsProfileRunValueName(const std::string& strValueName) {
    const std::string prefix = std::string(kProgramName) + " ";
    if (strValueName == kProgramName)
        return true;
    return strValueName.compare(0, prefix.size(), prefix) == 0 &&
           IsValidProfileName(strValueName.substr(prefix.size()));
}

std::string ProfileCommandLine(const std::string& strProgramPath, const std::string& strProfile) {
    return Quoted(strProgramPath) + ProfileOptions(strProfile);
}

std::string ProfileOptions(const std::string& strProfile) {
    return strProfile.empty() ? std::string() : " /profile " + Quoted(strProfile);
}

std::string ProfileRunCommand(const std::string& strProgramPath, const std::string& strProfile) {
    return ProfileCommandLine(strProgramPath, strProfile) + " " + kWithWindowsOption;
}

StartOptions ParseStartOptions(const std::vector<std::string>& args) {
    StartOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (IsOption(args[i], "autostart")) {
            options.bWithWindows = true;
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
