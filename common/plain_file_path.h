// Whether a path names a plain file on a disk: the one rule every file the
// program writes (a recording, the alarm log) is opened by.
#pragma once

#include <string>

// A file written must be a plain file on a disk. Device paths ("\\.\C:",
// "\\.\PhysicalDrive0", "\\?\GLOBALROOT\...", "\??\..."), device names
// ("COM1", "NUL", "c:\dir\lpt1.txt") and names of no file (a drive, a
// folder: ending in ":" or a separator) are refused before anything is
// opened, since opening a device for writing can already harm it.
bool IsPlainFilePath(const std::string& strPath);
