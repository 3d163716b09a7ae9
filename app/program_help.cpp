#include "app/program_help.h"

#include <shellapi.h>

CProgramHelp::CProgramHelp() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    m_strFolder = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

CProgramHelp::Shown CProgramHelp::Show(HWND hOwner) {
    // hhctrl answers a missing file with a box of its own; the browser's
    // pages are the better answer then.
    if (GetFileAttributesW(ChmPath().c_str()) != INVALID_FILE_ATTRIBUTES) {
        m_hWindow = m_htmlHelp.DisplayTopic(hOwner, ChmPath(), kStartTopic);
        if (m_hWindow != nullptr)
            return Shown::Window;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(hOwner, L"open", StartPage().c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32 ? Shown::Browser : Shown::Nothing;
}
