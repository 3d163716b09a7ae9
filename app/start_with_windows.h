// Starting a profile with Windows: a value under the user's
// Software\Microsoft\Windows\CurrentVersion\Run, named after the profile,
// holding the program's full path, the profile and the mark of such a start.
#pragma once

#include <string>

bool IsStartedWithWindows(const std::string& strProfile);
// Writes or deletes the profile's value; FALSE when the registry refused.
bool SetStartWithWindows(const std::string& strProgramPath, const std::string& strProfile, bool bOn);
// Deletes every profile's value that starts this program (uninstalling);
// the number deleted.
int RemoveStartWithWindows(const std::string& strProgramPath);
