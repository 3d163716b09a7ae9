#include "installation/settings_path.h"

#include "installation/installation.h"
#include "config/ini_file.h"
#include "config/native_file.h"
#include "config/settings.h"
#include "framework/handles.h"
#include "framework/text.h"

#include <windows.h>
#include <shlobj.h>

#include <atomic>

namespace {

// A name no other attempt uses, in this process or another: copies started
// together (several profiles at logon) probe the same folder at once.
std::wstring ProbeName() {
    static std::atomic<unsigned> s_nAttempt{0};
    return L"qm487cfg-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_nAttempt) + L".probe";
}

// The store writes a new file beside the old one and moves it into place,
// so the folder must take a new file and the file must take writing.
bool CanRewrite(const std::wstring& strDir, const std::wstring& strFile) {
    CHandle probe;
    // A name taken all the same (left by a process of the same id) is tried
    // again under the next one; any other refusal is the folder's answer.
    for (int nTry = 0; nTry < 4 && !probe.IsValid(); ++nTry) {
        probe.Attach(CreateFileW((strDir + L"\\" + ProbeName()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!probe.IsValid() && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (!probe.IsValid())
        return false;
    probe.Close();
    if (!native_file::IsFile(strFile))
        return true;
    const CHandle file(CreateFileW(strFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
}

}  // namespace

std::wstring SettingsFilePath(const std::wstring& strProgramPath) {
    return SettingsFilePath(strProgramPath, kSettingsFileName);
}

std::wstring SettingsFilePath(const std::wstring& strProgramPath, const std::string& strFileName) {
    const std::filesystem::path dir = CIniFile::ProgramDirectory(strProgramPath);
    const std::wstring name = afx::Widen1250(strFileName);
    const std::wstring beside = (dir / name).native();
    // An installed copy decides by how it was installed, not by trying:
    // under Wine, or for an administrator, Program Files takes writing.
    if (!FindInstalledCopy(strProgramPath).bInstalled && CanRewrite(dir.native(), beside))
        return beside;

    wchar_t szAppData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, szAppData)))
        return beside;  // read as it is; the store never rewrites a file it cannot write
    const std::wstring userDir = std::wstring(szAppData) + L"\\QM487";
    CreateDirectoryW(userDir.c_str(), nullptr);
    const std::wstring user = userDir + L"\\" + name;
    if (!native_file::IsFile(user) && native_file::IsFile(beside) && CopyFileW(beside.c_str(), user.c_str(), TRUE))
        SetFileAttributesW(user.c_str(), FILE_ATTRIBUTE_NORMAL);  // the copy keeps the read-only mark
    return user;
}
