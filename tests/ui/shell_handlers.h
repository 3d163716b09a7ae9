// Handlers registered in the test's Wine prefix, so that what the program
// opens through the shell (a link, a help page) lands in a file the test
// reads: the command writes its argument there.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

namespace qm487test {

inline void SetDefault(const std::wstring& key, const std::wstring& value) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
}

inline std::wstring ReadDefault(const std::wstring& key) {
    wchar_t value[256] = {};
    LONG size = sizeof value;
    return RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) == ERROR_SUCCESS ? value : L"";
}

// A command line that writes its last argument into file.
inline std::wstring EchoCommand(const std::filesystem::path& file, const wchar_t* placeholder) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return L"\"" + std::wstring(system) + L"\\cmd.exe\" /c echo>\"" + file.wstring() + L"\" " + placeholder;
}

// ".htm" pages open with a command that writes the page's path into a file,
// for the length of the object.
class FakeBrowser {
public:
    explicit FakeBrowser(const std::filesystem::path& out) : m_oldClass(ReadDefault(L".htm")) {
        SetDefault(L".htm", L"QM487TestPage");
        SetDefault(L"QM487TestPage\\shell\\open\\command", EchoCommand(out, L"\"%1\""));
    }
    ~FakeBrowser() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"QM487TestPage");
        if (!m_oldClass.empty())
            SetDefault(L".htm", m_oldClass);
    }
    FakeBrowser(const FakeBrowser&) = delete;
    FakeBrowser& operator=(const FakeBrowser&) = delete;

private:
    std::wstring m_oldClass;
};

}  // namespace qm487test
