// Where the configuration file lives: beside the portable program, or, for
// the installed copy and where the program's folder cannot be written, in
// the user's own folder %APPDATA%\QM487, which starts as a copy of the file
// beside the program when there is one.
#pragma once

#include <string>

std::string SettingsFilePath(const std::string& strProgramPath);
// The same for a profile's file (config/profile.h).
std::string SettingsFilePath(const std::string& strProgramPath, const std::string& strFileName);
