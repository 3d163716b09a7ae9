#include "config/native_file.h"

#include "config/cp1250.h"

#include <sys/stat.h>
#include <unistd.h>

namespace native_file {

std::FILE* Open(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool IsFile(const std::filesystem::path& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsReadOnly(const std::filesystem::path& path) {
    // The mode bits, not access(): a user who made the file read-only meant
    // it even when the program runs with the rights to write it anyway.
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool FlushToDisk(std::FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

bool MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
    struct stat st;
    if (stat(to.c_str(), &st) == 0)
        chmod(from.c_str(), st.st_mode & 07777);
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// Names here are the program's Windows-1250 bytes.
bool NamesEqualNoCase(const std::string& a, const std::string& b) { return Cp1250EqualNoCase(a, b); }

}  // namespace native_file
