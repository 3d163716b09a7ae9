#include "installation/installation.h"

#include "config/ini_file.h"
#include "framework/text.h"

#include <windows.h>
#include <shlobj.h>

const char kInstallKey[] = "Software\\QM487";
const char kInstallDirValue[] = "InstallDir";
const char kProductCodeValue[] = "ProductCode";

namespace {

std::wstring ReadMachineString(const char* pszValue) {
    wchar_t szText[MAX_PATH * 2] = {};
    DWORD cb = sizeof szText;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, afx::Widen1250(kInstallKey).c_str(), afx::Widen1250(pszValue).c_str(),
                     RRF_RT_REG_SZ, nullptr, szText, &cb) != ERROR_SUCCESS)
        return std::wstring();
    return szText;
}

// The same folder however written: letter case, a trailing backslash, an
// 8.3 name.
std::wstring Canonical(std::wstring strDir) {
    wchar_t szLong[MAX_PATH * 2] = {};
    const DWORD n = GetLongPathNameW(strDir.c_str(), szLong, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2)
        strDir = szLong;
    while (!strDir.empty() && (strDir.back() == L'\\' || strDir.back() == L'/'))
        strDir.pop_back();
    CharUpperBuffW(strDir.data(), static_cast<DWORD>(strDir.size()));
    return strDir;
}

}  // namespace

InstalledCopy FindInstalledCopy(const std::wstring& strProgramPath) {
    InstalledCopy copy;
    const std::wstring installDir = ReadMachineString(kInstallDirValue);
    if (installDir.empty() || Canonical(installDir) != Canonical(CIniFile::ProgramDirectory(strProgramPath).native()))
        return copy;
    copy.bInstalled = true;
    copy.strProductCode = afx::Narrow1250(ReadMachineString(kProductCodeValue));
    return copy;
}

std::wstring UserDocumentsFolder() {
    wchar_t szDocuments[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, szDocuments)))
        return std::wstring();
    return szDocuments;
}
