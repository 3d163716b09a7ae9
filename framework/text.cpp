#include "framework/text.h"

#include <windows.h>

namespace afx {

namespace {
const UINT kCodePage = 1250;
}

std::wstring Widen1250(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string Narrow1250(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      "?", nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, "?", nullptr);
    return out;
}

std::string PathKeyText(std::wstring path) {
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return NarrowUtf8(path);
}

std::wstring WidenUtf8(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string NarrowUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace afx
