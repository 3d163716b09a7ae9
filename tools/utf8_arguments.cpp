#include "tools/utf8_arguments.h"

#include "config/native_file.h"

#ifdef _WIN32
#include "framework/handles.h"
#include "framework/text.h"

#include <shellapi.h>
#include <windows.h>
#endif

CUtf8Arguments::CUtf8Arguments(int argc, char** argv) : m_args(argv, argv + argc) {
#ifdef _WIN32
    int n = 0;
    const CLocalMemory<wchar_t*> wide(CommandLineToArgvW(GetCommandLineW(), &n));
    if (wide.IsValid()) {
        m_args.clear();
        for (int i = 0; i < n; ++i)
            m_args.push_back(afx::NarrowUtf8(wide.Get()[i]));
    }
#endif
    for (const std::string& arg : m_args)
        m_pointers.push_back(arg.c_str());
    m_pointers.push_back(nullptr);
}

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
    return native_file::Open(std::filesystem::u8path(path), mode);
}
