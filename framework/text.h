// The program's texts are Windows-1250 bytes (they go to files and DDE as
// such). Windows gets them as UTF-16, so they show right whatever the
// system's ANSI code page is.
#pragma once

#include <string>

namespace afx {

std::wstring Widen1250(const std::string& text);
std::string Narrow1250(const std::wstring& text);  // unmappable characters become "?"
std::string NarrowUtf8(const std::wstring& text);  // every character kept
std::wstring WidenUtf8(const std::string& text);   // bad bytes become U+FFFD
// A file name in one letter case, as Windows compares them, every character
// kept (UTF-8): what a digest of a path is taken of.
std::string PathKeyText(std::wstring path);

}  // namespace afx
