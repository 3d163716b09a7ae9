// What the installer records under HKLM\Software\QM487, written for the
// length of a test and removed after it; and the user's folders the
// installed copy uses, moved for the length of a test.
#pragma once

#include "installation/installation.h"

#include <windows.h>

#include <cstring>
#include <string>

class ScopedInstallRecord {
public:
    ScopedInstallRecord(const std::wstring& installDir, const std::string& productCode) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, Ascii(kInstallKey).c_str(), Ascii(kInstallDirValue).c_str(), REG_SZ,
                        installDir.c_str(), static_cast<DWORD>((installDir.size() + 1) * sizeof(wchar_t)));
        if (!productCode.empty())
            Set(kProductCodeValue, productCode);
    }
    ~ScopedInstallRecord() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstallKey); }
    ScopedInstallRecord(const ScopedInstallRecord&) = delete;
    ScopedInstallRecord& operator=(const ScopedInstallRecord&) = delete;

private:
    static std::wstring Ascii(const char* psz) { return std::wstring(psz, psz + std::strlen(psz)); }
    static void Set(const char* pszName, const std::string& value) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kInstallKey, pszName, REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size() + 1));
    }
};

// One of the user's shell folders (L"AppData", L"Personal" for Documents)
// moved to another folder, as a user moving Documents does, and put back.
class ScopedShellFolder {
public:
    ScopedShellFolder(const wchar_t* name, const std::wstring& folder) : m_name(name) {
        wchar_t old[MAX_PATH] = {};
        DWORD cb = sizeof old;
        m_bHadOld = RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                                 nullptr, old, &cb) == ERROR_SUCCESS;
        m_old = old;
        Set(folder);
    }
    ~ScopedShellFolder() {
        if (m_bHadOld)
            Set(m_old);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, m_name);
    }
    ScopedShellFolder(const ScopedShellFolder&) = delete;
    ScopedShellFolder& operator=(const ScopedShellFolder&) = delete;

private:
    static constexpr const wchar_t* kKey =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    void Set(const std::wstring& folder) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, m_name, REG_EXPAND_SZ, folder.c_str(),
                        static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
    const wchar_t* m_name;
    std::wstring m_old;
    bool m_bHadOld = false;
};
