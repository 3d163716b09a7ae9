#include "app/installation.h"

#include "config/ini_file.h"

#include <windows.h>
#include <shlobj.h>

const char kInstallKey[] = "Software\\QM487";
const char kInstallDirValue[] = "InstallDir";
const char kProductCodeValue[] = "ProductCode";

namespace {

std::string ReadMachineString(const char* pszValue) {
    char szText[MAX_PATH * 2] = {};
    DWORD cb = sizeof szText;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kInstallKey, pszValue, RRF_RT_REG_SZ, nullptr, szText, &cb) != ERROR_SUCCESS)
        return std::string();
    return szText;
}

// The same folder however written: letter case, a trailing backslash, an
// 8.3 name.
std::string Canonical(std::string strDir) {
    char szLong[MAX_PATH * 2] = {};
    const DWORD n = GetLongPathNameA(strDir.c_str(), szLong, sizeof szLong);
    if (n > 0 && n < sizeof szLong)
        strDir = szLong;
    while (!strDir.empty() && (strDir.back() == '\\' || strDir.back() == '/'))
        strDir.pop_back();
    CharUpperBuffA(strDir.data(), static_cast<DWORD>(strDir.size()));
    return strDir;
}

}  // namespace

InstalledCopy FindInstalledCopy(const std::string& strProgramPath) {
    InstalledCopy copy;
    const std::string installDir = ReadMachineString(kInstallDirValue);
    if (installDir.empty() || Canonical(installDir) != Canonical(CIniFile::ProgramDirectory(strProgramPath)))
        return copy;
    copy.bInstalled = true;
    copy.strProductCode = ReadMachineString(kProductCodeValue);
    return copy;
}

std::string UserDocumentsFolder() {
    char szDocuments[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, szDocuments)))
        return std::string();
    return szDocuments;
}
