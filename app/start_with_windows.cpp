#include "app/start_with_windows.h"

#include "config/profile.h"

#include <windows.h>

#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class CRunKey {
public:
    explicit CRunKey(REGSAM access) {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, access, nullptr, &m_hKey, nullptr) !=
            ERROR_SUCCESS)
            m_hKey = nullptr;
    }
    ~CRunKey() {
        if (m_hKey != nullptr)
            RegCloseKey(m_hKey);
    }
    CRunKey(const CRunKey&) = delete;
    CRunKey& operator=(const CRunKey&) = delete;
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

std::string Upper(std::string text) {
    CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

bool IsStartedWithWindows(const std::string& strProfile) {
    CRunKey key(KEY_QUERY_VALUE);
    return key.Get() != nullptr && RegQueryValueExA(key.Get(), ProfileRunValueName(strProfile).c_str(), nullptr,
                                                    nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool SetStartWithWindows(const std::string& strProgramPath, const std::string& strProfile, bool bOn) {
    CRunKey key(KEY_SET_VALUE);
    if (key.Get() == nullptr)
        return false;
    const std::string name = ProfileRunValueName(strProfile);
    if (!bOn) {
        const LONG result = RegDeleteValueA(key.Get(), name.c_str());
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    const std::string command = ProfileRunCommand(strProgramPath, strProfile);
    return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS;
}

int RemoveStartWithWindows(const std::string& strProgramPath) {
    CRunKey key(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (key.Get() == nullptr)
        return 0;
    // Collected first: deleting while enumerating shifts the indices.
    std::vector<std::string> ours;
    const std::string program = "\"" + Upper(strProgramPath) + "\"";
    for (DWORD i = 0;; ++i) {
        char szName[256] = {};
        char szData[1024] = {};
        DWORD cchName = sizeof szName, cbData = sizeof szData - 1, type = 0;
        const LONG result =
            RegEnumValueA(key.Get(), i, szName, &cchName, nullptr, &type, reinterpret_cast<BYTE*>(szData), &cbData);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && type == REG_SZ && IsProfileRunValueName(szName) &&
            Upper(szData).rfind(program, 0) == 0)
            ours.push_back(szName);
    }
    int nRemoved = 0;
    for (const std::string& name : ours)
        nRemoved += RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS;
    return nRemoved;
}
