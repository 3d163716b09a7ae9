#include "framework/system_library.h"

#include <delayimp.h>

namespace {

// The delay-load helper asks here before it loads a DLL itself: so the
// delay-loaded DLLs come from the system folder even where the default
// directories could not be set.
FARPROC WINAPI BeforeDelayLoad(unsigned nNotify, PDelayLoadInfo pInfo) {
    if (nNotify != dliNotePreLoadLibrary || pInfo == nullptr || pInfo->szDll == nullptr)
        return nullptr;
    wchar_t szName[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, 0, pInfo->szDll, -1, szName, MAX_PATH) == 0)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(szName));
}

// Named by a manifest's assembly (comctl32 of the visual styles): loaded by
// name, the assembly's copy comes before any folder.
bool RedirectedByManifest(const wchar_t* pszName) {
    ACTCTX_SECTION_KEYED_DATA data = {};
    data.cbSize = sizeof data;
    return FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, pszName, &data) != FALSE;
}

}  // namespace

// Declared by <delayimp.h> with C linkage; this definition replaces the
// runtime's empty one.
PfnDliHook __pfnDliNotifyHook2 = BeforeDelayLoad;

void LoadDllsFromSystemFolderOnly() {
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    const auto pfnSetDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (pfnSetDefault == nullptr || !pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* pszName) {
    if (HMODULE hModule = LoadLibraryExW(pszName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return hModule;
    // A system without the flag calls it invalid: the full path instead.
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    if (RedirectedByManifest(pszName))
        return LoadLibraryW(pszName);
    return LoadLibraryExW(SystemFolderPath(pszName).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::wstring SystemFolderPath(const wchar_t* pszName) {
    wchar_t szFolder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(szFolder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    return std::wstring(szFolder, n) + L"\\" + pszName;
}

std::wstring ProgramFilePath() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size())
        return std::wstring();
    path.resize(n);
    return path;
}

std::wstring ProgramFolderPath(const wchar_t* pszName) {
    const std::wstring path = ProgramFilePath();
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1) + pszName;
}
