// System DLLs and programs from the system folder alone: the portable copy
// is unpacked anywhere (Downloads, a USB stick), where a file named like a
// system DLL would otherwise be loaded in its place, and so would one in
// the current folder.
#pragma once

#include <windows.h>

#include <string>

// First thing in every program's entry: from then on a DLL loaded by name,
// the delay-loaded ones and those the system's own DLLs load included,
// comes from the system folder (or the manifest's side-by-side assembly).
// On Windows 7 without KB2533623 at least the current folder is left out.
void LoadDllsFromSystemFolderOnly();

// One system DLL by name, from the system folder whatever the search path.
HMODULE LoadSystemLibrary(const wchar_t* pszName);

// The running program's file, as Windows names it; empty when it cannot be
// told.
std::wstring ProgramFilePath();

// The full path of a file in the system folder ("msiexec.exe"), or in the
// running program's folder ("Kreslo.exe"); empty when it cannot be told.
std::wstring SystemFolderPath(const wchar_t* pszName);
std::wstring ProgramFolderPath(const wchar_t* pszName);
