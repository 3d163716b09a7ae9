// The install test's hands inside Wine (tests/packaging/install_test.sh):
//
//   qm487-install-probe window TEXT TIMEOUT_S
//     Waits until a visible top-level window whose title contains TEXT is
//     there and prints its title (UTF-8).
//   qm487-install-probe close TEXT TIMEOUT_S
//     Posts WM_CLOSE to that window and waits until it has gone.
//   qm487-install-probe kvf FILE RECORDS
//     Writes a binary log of RECORDS records a minute apart, made by the
//     program's own writer.
//   qm487-install-probe reg KEY...
//     Prints every value of each key (HKLM\..., HKCR\... or HKCU\..., 64-bit view)
//     as KEY\NAME=DATA ("(Default)" for the unnamed value), or KEY=absent.
//   qm487-install-probe products NAME
//     Prints the product codes of the installed programs named NAME.
//
// One process for many registry reads: each Wine process costs seconds on
// a loaded machine.
//
// Exit status: 0 done; 1 the window did not come (or go), or the file could
// not be written; 2 usage.
#include "recording/binary_log.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Widen(const char* s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, s, -1, &w[0], n);
    return w;
}

std::string Utf8(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

struct Search {
    std::wstring text;
    HWND found;
    std::wstring title;
};

HWND FindTitled(const std::wstring& text, std::wstring* pTitle = nullptr) {
    Search search = {text, nullptr, {}};
    EnumWindows(
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t title[512] = {};
            GetWindowTextW(hWnd, title, 512);
            if (IsWindowVisible(hWnd) && std::wstring(title).find(s->text) != std::wstring::npos) {
                s->found = hWnd;
                s->title = title;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (pTitle)
        *pTitle = search.title;
    return search.found;
}

template <class Done>
bool WaitUntil(Done done, double seconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(50);
    }
    return true;
}

int WaitForWindow(const std::wstring& text, double seconds) {
    std::wstring title;
    if (!WaitUntil([&] { return FindTitled(text, &title) != nullptr; }, seconds)) {
        std::fprintf(stderr, "install-probe: no window titled \"%s\" after %.0f s\n", Utf8(text).c_str(), seconds);
        return 1;
    }
    std::printf("%s\n", Utf8(title).c_str());
    return 0;
}

int CloseWindow(const std::wstring& text, double seconds) {
    HWND hWnd = nullptr;
    if (!WaitUntil([&] { return (hWnd = FindTitled(text)) != nullptr; }, seconds))
        return 1;
    PostMessageW(hWnd, WM_CLOSE, 0, 0);
    return WaitUntil([&] { return !IsWindow(hWnd); }, seconds) ? 0 : 1;
}

int WriteLog(const char* pszPath, int nRecords) {
    std::string log;
    for (int i = 0; i < nRecords; ++i) {
        RecordTime time = {2026, 12, 8, 10 + i / 60, i % 60, 0};
        ChannelSamples samples;
        for (auto& sample : samples)
            sample = {0.0, TRUE, TRUE, FALSE};
        samples[1] = {20.0 + i * 0.25, FALSE, FALSE, TRUE};
        samples[2] = {18.5 - i * 0.1, FALSE, FALSE, TRUE};
        samples[0] = {(40.0 + i * 0.15) / 2, FALSE, FALSE, TRUE};
        log += FormatBinaryRecord(time, samples, 4660);
    }
    FILE* f = std::fopen(pszPath, "wb");
    if (f == nullptr)
        return 1;
    const bool ok = std::fwrite(log.data(), 1, log.size(), f) == log.size();
    return std::fclose(f) == 0 && ok ? 0 : 1;
}

// The key's values, or "absent".
void PrintKey(const std::wstring& path) {
    const std::wstring::size_type slash = path.find(L'\\');
    const std::wstring root = path.substr(0, slash);
    HKEY hRoot = root == L"HKLM"   ? HKEY_LOCAL_MACHINE
                 : root == L"HKCR" ? HKEY_CLASSES_ROOT
                 : root == L"HKCU" ? HKEY_CURRENT_USER
                                   : nullptr;
    HKEY hKey = nullptr;
    if (hRoot == nullptr || slash == std::wstring::npos ||
        RegOpenKeyExW(hRoot, path.substr(slash + 1).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS) {
        std::printf("%s=absent\n", Utf8(path).c_str());
        return;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD cchName = 256, type = 0;
        BYTE data[4096] = {};
        DWORD cbData = sizeof data - sizeof(wchar_t);
        if (RegEnumValueW(hKey, i, name, &cchName, nullptr, &type, data, &cbData) != ERROR_SUCCESS)
            break;
        std::string text;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            text = Utf8(reinterpret_cast<const wchar_t*>(data));
        else if (type == REG_DWORD)
            text = std::to_string(*reinterpret_cast<const DWORD*>(data));
        std::printf("%s\\%s=%s\n", Utf8(path).c_str(), cchName ? Utf8(name).c_str() : "(Default)", text.c_str());
    }
    RegCloseKey(hKey);
}

int PrintProducts(const std::wstring& displayName) {
    const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS)
        return 1;
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD cchSub = 256;
        if (RegEnumKeyExW(hKey, i, sub, &cchSub, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t name[256] = {};
        DWORD cbName = sizeof name - sizeof(wchar_t);
        if (RegGetValueW(hKey, sub, L"DisplayName", RRF_RT_REG_SZ, nullptr, name, &cbName) == ERROR_SUCCESS &&
            displayName == name)
            std::printf("%s\n", Utf8(sub).c_str());
    }
    RegCloseKey(hKey);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "window" && argc == 4)
        return WaitForWindow(Widen(argv[2]), std::atof(argv[3]));
    if (cmd == "close" && argc == 4)
        return CloseWindow(Widen(argv[2]), std::atof(argv[3]));
    if (cmd == "kvf" && argc == 4)
        return WriteLog(argv[2], std::atoi(argv[3]));
    if (cmd == "reg" && argc >= 3) {
        for (int i = 2; i < argc; ++i)
            PrintKey(Widen(argv[i]));
        return 0;
    }
    if (cmd == "products" && argc == 3)
        return PrintProducts(Widen(argv[2]));
    std::fputs("usage: qm487-install-probe window|close TEXT TIMEOUT_S | kvf FILE RECORDS | reg KEY... | products NAME\n",
               stderr);
    return 2;
}
