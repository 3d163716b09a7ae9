// Started by the notification tests as "the program": writes the arguments
// it was given, as Windows splits its command line, one per line in UTF-8
// to the file %QM487_ARGV_FILE% (added to its end, with a line "--" after,
// when %QM487_ARGV_APPEND% is set). With "sleep" as the first, it then waits
// a minute.
#include <windows.h>
#include <shellapi.h>

#include <string>

int main() {
    int n = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &n);
    wchar_t file[MAX_PATH] = {};
    if (argv == nullptr || GetEnvironmentVariableW(L"QM487_ARGV_FILE", file, MAX_PATH) == 0)
        return 1;
    std::wstring text;
    for (int i = 1; i < n; ++i)
        text += std::wstring(L"[") + argv[i] + L"]\n";
    std::string bytes(static_cast<std::size_t>(text.size()) * 4, '\0');
    bytes.resize(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                                     static_cast<int>(bytes.size()), nullptr, nullptr)));
    if (GetEnvironmentVariableW(L"QM487_ARGV_APPEND", nullptr, 0) > 0) {
        // A whole write at the end; runs started together take turns.
        bytes += "--\n";
        HANDLE h = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt < 500 && h == INVALID_HANDLE_VALUE; ++attempt)
            if ((h = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr)) ==
                INVALID_HANDLE_VALUE)
                Sleep(10);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
        LocalFree(argv);
        return 0;
    }
    const std::wstring temp = std::wstring(file) + L".tmp";
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    MoveFileExW(temp.c_str(), file, MOVEFILE_REPLACE_EXISTING);
    const bool bSleep = n > 1 && std::wstring(argv[1]) == L"sleep";
    LocalFree(argv);
    if (bSleep)
        Sleep(60000);
    return 0;
}
