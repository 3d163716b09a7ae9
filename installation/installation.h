// How this copy of the program came onto the computer. The installer
// records the folder it installed into, and its product code, under
// HKLM\Software\QM487; the copy started from that folder is the installed
// one. Every other copy is portable (unpacked anywhere), whatever else is
// installed on the computer.
#pragma once

#include <string>

// What the installer writes (packaging/qm487.wxs) and the program reads.
extern const char kInstallKey[];
extern const char kInstallDirValue[];
extern const char kProductCodeValue[];

struct InstalledCopy {
    bool bInstalled = false;
    std::string strProductCode;  // "{...}"; empty when not recorded
};

// strProgramPath: the program file as Windows names it (CWinApp::m_wstrProgramPath).
InstalledCopy FindInstalledCopy(const std::wstring& strProgramPath);

// The user's Documents folder as Windows names it; empty when the system
// gives none.
std::wstring UserDocumentsFolder();
