#include "common/plain_file_path.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows' reserved device names, which name the device in any folder and
// with any extension.
bool IsDeviceName(std::string name) {
    // Trailing dots and blanks are dropped by Windows, and so is anything
    // from the first "." or ":" on.
    name = Upper(name.substr(0, name.find_first_of(".:")));
    while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        name.pop_back();
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kNames)
        if (name == device)
            return true;
    return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
           name[3] >= '0' && name[3] <= '9';
}

}  // namespace

bool IsPlainFilePath(const std::string& strPath) {
    if (strPath.empty() || IsSeparator(strPath.back()) || strPath.back() == ':')
        return false;
    std::string path = strPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    // "\\.\" names devices; "\??\" is the kernel's own namespace.
    if (path.compare(0, 4, "\\\\.\\") == 0 || path.compare(0, 4, "\\??\\") == 0)
        return false;
    // "\\?\" is fine for a drive letter or a share, nothing else.
    if (path.compare(0, 4, "\\\\?\\") == 0) {
        const std::string rest = Upper(path.substr(4));
        const bool bDrive = rest.size() > 3 && rest[1] == ':' && rest[2] == '\\';
        if (!bDrive && rest.compare(0, 4, "UNC\\") != 0)
            return false;
    }
    return !IsDeviceName(path.substr(path.find_last_of("\\:") + 1));
}
