// Where the configuration file lives: beside the portable program, or, for
// the installed copy and where the program's folder cannot be written, in
// the user's own folder %APPDATA%\QM487, which starts as a copy of the file
// beside the program when there is one. Paths are as Windows names them
// (UTF-16), so folders named in any language hold the file.
#pragma once

#include <string>

// strProgramPath: CWinApp::m_wstrProgramPath.
std::wstring SettingsFilePath(const std::wstring& strProgramPath);
// The same for a profile's file (config/profile.h; plain ASCII).
std::wstring SettingsFilePath(const std::wstring& strProgramPath, const std::string& strFileName);
