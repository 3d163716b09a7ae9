#include "app/start_with_windows.h"

#include "config/cp1250.h"
#include "config/profile.h"
#include "framework/handles.h"
#include "framework/text.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <vector>

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The user's Run key, empty when it cannot be opened.
CRegKey OpenRunKey(REGSAM access) {
    CRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, access, nullptr, key.Receive(), nullptr) !=
        ERROR_SUCCESS)
        key.Detach();  // a failed call leaves no key to close
    return key;
}

// A value named as a profile's, and what its command starts, read as the
// program reads its own command line.
struct RunValue {
    std::wstring name;
    std::wstring program;
    StartOptions options;
};

RunValue ReadCommand(const std::wstring& name, const std::wstring& command) {
    RunValue value{name, {}, {}};
    // An empty line would give this process's own path as the program.
    if (command.empty())
        return value;
    int argc = 0;
    const CLocalMemory<wchar_t*> argv(CommandLineToArgvW(command.c_str(), &argc));
    if (!argv.IsValid() || argc < 1)
        return value;
    value.program = argv.Get()[0];
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(afx::Narrow1250(argv.Get()[i]));
    value.options = ParseStartOptions(args);
    return value;
}

// A REG_EXPAND_SZ command as Windows runs it, its variables filled in.
std::wstring Expanded(const wchar_t* pszCommand) {
    std::wstring out(ExpandEnvironmentStringsW(pszCommand, nullptr, 0), L'\0');
    if (out.empty() || ExpandEnvironmentStringsW(pszCommand, &out[0], static_cast<DWORD>(out.size())) != out.size())
        return pszCommand;
    out.pop_back();  // the terminating zero counted
    return out;
}

// Collected first: deleting while enumerating shifts the indices.
std::vector<RunValue> ProfileValues(HKEY hKey) {
    std::vector<RunValue> values;
    for (DWORD i = 0;; ++i) {
        wchar_t szName[256] = {};
        wchar_t szData[2048] = {};
        DWORD cchName = 256, cbData = sizeof szData - sizeof(wchar_t), type = 0;
        const LONG result =
            RegEnumValueW(hKey, i, szName, &cchName, nullptr, &type, reinterpret_cast<BYTE*>(szData), &cbData);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
            IsProfileRunValueName(afx::Narrow1250(szName)))
            values.push_back(ReadCommand(szName, type == REG_EXPAND_SZ ? Expanded(szData) : szData));
    }
    return values;
}

// The same file however its letters are cased.
bool StartsProgram(const RunValue& value, const std::wstring& programPath) {
    return !value.program.empty() &&
           CompareStringOrdinal(value.program.c_str(), -1, programPath.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool StartsCopy(const RunValue& value, const std::wstring& programPath, const std::string& strProfile) {
    return StartsProgram(value, programPath) && value.options.bValid &&
           Cp1250EqualNoCase(value.options.strProfile, strProfile);
}

bool Exists(HKEY hKey, const std::string& name) {
    return RegQueryValueExW(hKey, afx::Widen1250(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::string CopyRunValueName(const std::string& strProfile, const std::wstring& programPath) {
    return CopyRunValueName(strProfile, afx::PathKeyText(programPath));
}

bool IsStartedWithWindows(const std::wstring& programPath, const std::string& strProfile) {
    const CRegKey key = OpenRunKey(KEY_QUERY_VALUE);
    if (!key.IsValid())
        return false;
    for (const RunValue& value : ProfileValues(key.Get()))
        if (StartsCopy(value, programPath, strProfile))
            return true;
    return false;
}

bool SetStartWithWindows(const std::wstring& programPath, const std::string& strProfile, bool bOn) {
    const CRegKey key = OpenRunKey(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key.IsValid())
        return false;
    bool bMine = false;
    bool bDeleted = true;
    for (const RunValue& value : ProfileValues(key.Get())) {
        if (!StartsCopy(value, programPath, strProfile))
            continue;
        bMine = true;
        if (!bOn)
            bDeleted &= RegDeleteValueW(key.Get(), value.name.c_str()) == ERROR_SUCCESS;
    }
    if (!bOn || bMine)
        return bDeleted;
    std::string name = ProfileRunValueName(strProfile);
    if (Exists(key.Get(), name))
        name = CopyRunValueName(strProfile, programPath);
    if (Exists(key.Get(), name))
        return false;  // some other value has this copy's own name too: it is not this copy's to replace
    const std::wstring command = L"\"" + programPath + L"\"" + afx::Widen1250(ProfileRunOptions(strProfile));
    return RegSetValueExW(key.Get(), afx::Widen1250(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool HasStartWithWindows(const std::wstring& programPath) {
    const CRegKey key = OpenRunKey(KEY_QUERY_VALUE);
    if (!key.IsValid())
        return false;
    for (const RunValue& value : ProfileValues(key.Get()))
        if (StartsProgram(value, programPath))
            return true;
    return false;
}

int RemoveStartWithWindows(const std::wstring& programPath) {
    const CRegKey key = OpenRunKey(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key.IsValid())
        return 0;
    int nRemoved = 0;
    for (const RunValue& value : ProfileValues(key.Get()))
        if (StartsProgram(value, programPath))
            nRemoved += RegDeleteValueW(key.Get(), value.name.c_str()) == ERROR_SUCCESS;
    return nRemoved;
}
