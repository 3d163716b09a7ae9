#include "app/program_help.h"

#include "config/native_file.h"
#include "framework/system_library.h"

#include <shellapi.h>

CProgramHelp::CProgramHelp() {
    const std::wstring path = ProgramFilePath();
    const size_t slash = path.find_last_of(L"\\/");
    m_strFolder = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

CProgramHelp::Shown CProgramHelp::Show(HWND hOwner) {
    // hhctrl answers a missing file with a box of its own; the browser's
    // pages are the better answer then.
    if (native_file::IsFile(ChmPath())) {
        m_hWindow = m_htmlHelp.DisplayTopic(hOwner, ChmPath(), kStartTopic);
        if (m_hWindow != nullptr)
            return Shown::Window;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(hOwner, L"open", StartPage().c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32 ? Shown::Browser : Shown::Nothing;
}
