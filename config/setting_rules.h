// Rules for settings that several parts take from a dialog or the file
// (e-mail, database, MQTT): one rule each, used by every dialog that asks
// and by the code that uses the value.
#pragma once

#include <string>

// Why a user name as the dialog reads it cannot be kept (the settings file
// is Windows-1250), or nullptr: a control character, or a character
// Windows-1250 cannot hold (read as 0x81 and the like).
const char* UserNameFault(const std::string& user);

// A full Windows path: "C:\..." or "\\server\share\...". Another would be
// looked for wherever the program happens to run.
bool IsFullWindowsPath(const std::string& path);

// A byte below a blank, or DEL.
bool HasControlCharacter(const std::string& text);
