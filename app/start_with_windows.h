// Starting a profile with Windows: a value under the user's
// Software\Microsoft\Windows\CurrentVersion\Run, named after the profile,
// holding the program's full path, the profile and the mark of such a start.
// Another copy of the program (another folder, the installed one) may hold
// a value of the same name: a value is this copy's only when its command
// starts this program file with this profile, so no copy counts, overwrites
// or deletes another's.
#pragma once

#include <string>

// The name this copy takes where another copy holds the profile's own.
std::string CopyRunValueName(const std::string& strProfile, const std::wstring& programPath);
// Whether a value starts this program with this profile.
bool IsStartedWithWindows(const std::wstring& programPath, const std::string& strProfile);
// Writes this copy's value (under the profile's name, else, when another
// copy holds that name, under CopyRunValueName) or deletes every value of
// this copy and profile; FALSE when the registry refused.
bool SetStartWithWindows(const std::wstring& programPath, const std::string& strProfile, bool bOn);
// Whether any profile's value starts this program.
bool HasStartWithWindows(const std::wstring& programPath);
// Deletes every profile's value that starts this program (uninstalling);
// the number deleted.
int RemoveStartWithWindows(const std::wstring& programPath);
