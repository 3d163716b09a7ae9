// The tools' command line and the files it names, whatever the system's
// code page. On Windows the narrow argv and fopen go through the ANSI code
// page, which loses every letter it lacks (a Cyrillic or Polish file name
// on a Western Windows): the arguments are read from the wide command line
// as UTF-8, and a file is opened by its name in UTF-16.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class CUtf8Arguments {
public:
    // main's argc and argv; on Windows only their stand-in when the wide
    // command line cannot be read.
    CUtf8Arguments(int argc, char** argv);
    CUtf8Arguments(const CUtf8Arguments&) = delete;
    CUtf8Arguments& operator=(const CUtf8Arguments&) = delete;

    int Count() const { return static_cast<int>(m_args.size()); }
    // As main's argv: Count() texts, the program's name first, then nullptr.
    const char* const* Get() const { return m_pointers.data(); }

private:
    std::vector<std::string> m_args;
    std::vector<const char*> m_pointers;
};

// std::fopen for a UTF-8 name (one of the arguments).
std::FILE* OpenUtf8File(const std::string& path, const char* mode);
