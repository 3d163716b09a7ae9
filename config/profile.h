// Profiles: one copy of the program per instrument, each with a settings
// file, a window title and a start-with-Windows entry of its own. The
// default profile (no name) keeps the names the program always had.
#pragma once

#include <string>
#include <vector>

// The longest name a profile may have.
const std::size_t kMaxProfileNameLength = 40;

// What a name must be, for the message that refuses another (Windows-1250).
extern const char kProfileNameRule[];

// Letters A-Z and a-z, digits, space, "-" and "_", 1 to 40 of them, not
// starting or ending with a space. The name becomes part of a file name, a
// registry value's name and a window title, so it keeps to characters that
// read the same under every code page.
bool IsValidProfileName(const std::string& strName);

// "qm487cfg.ini" for the default profile, else "qm487cfg-NAME.ini".
std::string ProfileSettingsFileName(const std::string& strProfile);
// "QM487", else "QM487 \x96 NAME" (an en dash, Windows-1250).
std::string ProfileWindowTitle(const std::string& strProfile);
// The value under ...\CurrentVersion\Run: "QM487", else "QM487 NAME".
std::string ProfileRunValueName(const std::string& strProfile);
// The value's name for a copy that finds ProfileRunValueName holding
// another copy's command (a second portable folder, the installed copy):
// that name with " (XXXXXXXX)" added, a digest of the program's path.
std::string CopyRunValueName(const std::string& strProfile, const std::string& strProgramPath);
// Whether a value of that key is named as some copy's profile's value.
bool IsProfileRunValueName(const std::string& strValueName);
// The command a Run value holds: the program, its profile, and the mark
// of a start with Windows.
std::string ProfileRunCommand(const std::string& strProgramPath, const std::string& strProfile);
// What follows the program's quoted path in that command.
std::string ProfileRunOptions(const std::string& strProfile);
// A digest of a file's path that ignores letter case, as Windows does in
// file names (Windows-1250 text).
unsigned long long PathDigest(const std::string& strPath);
// The command line that starts the program for a profile by hand.
std::string ProfileCommandLine(const std::string& strProgramPath, const std::string& strProfile);
// What follows the program's quoted path in it: "", or " /profile "NAME"".
std::string ProfileOptions(const std::string& strProfile);

// The program's own options. Others are ignored, as they always were.
struct StartOptions {
    bool bValid = true;
    std::string strProfile;     // empty: the default profile
    bool bWithWindows = false;  // started by the Run value
    // Only removes this program's Run values and ends: the uninstall of
    // the installed copy runs it so.
    bool bRemoveStartWithWindows = false;
    std::string strBadName;     // the refused name when !bValid
};
// args: the command line's arguments after the program, quotes removed.
StartOptions ParseStartOptions(const std::vector<std::string>& args);
