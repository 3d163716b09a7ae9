#include "app/settings_path.h"

#include "app/installation.h"
#include "config/ini_file.h"
#include "config/settings.h"

#include <windows.h>
#include <shlobj.h>

namespace {

bool FileExists(const std::string& strPath) {
    const DWORD attributes = GetFileAttributesA(strPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The store writes a new file beside the old one and moves it into place,
// so the folder must take a new file and the file must take writing.
bool CanRewrite(const std::string& strDir, const std::string& strFile) {
    const std::string probe = strDir + "\\qm487cfg.probe";
    HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    if (!FileExists(strFile))
        return true;
    h = CreateFileA(strFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

}  // namespace

std::string SettingsFilePath(const std::string& strProgramPath) {
    return SettingsFilePath(strProgramPath, kSettingsFileName);
}

std::string SettingsFilePath(const std::string& strProgramPath, const std::string& strFileName) {
    const std::string dir = CIniFile::ProgramDirectory(strProgramPath);
    const std::string beside = dir + "\\" + strFileName;
    // An installed copy decides by how it was installed, not by trying:
    // under Wine, or for an administrator, Program Files takes writing.
    if (!FindInstalledCopy(strProgramPath).bInstalled && CanRewrite(dir, beside))
        return beside;

    char szAppData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, szAppData)))
        return beside;  // read as it is; the store never rewrites a file it cannot write
    const std::string userDir = std::string(szAppData) + "\\QM487";
    CreateDirectoryA(userDir.c_str(), nullptr);
    const std::string user = userDir + "\\" + strFileName;
    if (!FileExists(user) && FileExists(beside) && CopyFileA(beside.c_str(), user.c_str(), TRUE))
        SetFileAttributesA(user.c_str(), FILE_ATTRIBUTE_NORMAL);  // the copy keeps the read-only mark
    return user;
}
