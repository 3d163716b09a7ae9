// Windows' basic integer types for code that must also build without Windows.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
typedef int BOOL;
typedef unsigned long DWORD;  // Only ever used for values that fit 32 bits.
typedef unsigned int UINT;
typedef std::uintptr_t UINT_PTR;
typedef std::uint32_t COLORREF;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif
