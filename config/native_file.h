// The few calls on files the settings store makes that differ by system,
// one source file per system. Paths are std::filesystem::path: UTF-16 on
// Windows, handed to the wide calls, so that any name the file system holds
// works whatever the ANSI code page; plain bytes elsewhere.
#pragma once

#include <cstdio>
#include <filesystem>

namespace native_file {

// std::fopen for a path; mode as fopen's ("rb", "ab", "wb").
std::FILE* Open(const std::filesystem::path& path, const char* mode);
// A file that is there (a folder of the name is not one).
bool IsFile(const std::filesystem::path& path);
// Marked read-only by the user (attribute or mode bits, not access rights).
bool IsReadOnly(const std::filesystem::path& path);
// Written through to the disk.
bool FlushToDisk(std::FILE* file);
// Puts the file `from` in the place of `to` in one step, keeping who may
// read `to`; false when it could not.
bool MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to);
// Equal file names, as the system compares them (letter case ignored).
bool NamesEqualNoCase(const std::filesystem::path::string_type& a, const std::filesystem::path::string_type& b);

}  // namespace native_file
