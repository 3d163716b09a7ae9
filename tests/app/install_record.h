// What the installer records under HKLM\Software\QM487, written for the
// length of a test and removed after it.
#pragma once

#include "app/installation.h"

#include <windows.h>

#include <string>

class ScopedInstallRecord {
public:
    ScopedInstallRecord(const std::string& installDir, const std::string& productCode) {
        Set(kInstallDirValue, installDir);
        if (!productCode.empty())
            Set(kProductCodeValue, productCode);
    }
    ~ScopedInstallRecord() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstallKey); }
    ScopedInstallRecord(const ScopedInstallRecord&) = delete;
    ScopedInstallRecord& operator=(const ScopedInstallRecord&) = delete;

private:
    static void Set(const char* pszName, const std::string& value) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kInstallKey, pszName, REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size() + 1));
    }
};
