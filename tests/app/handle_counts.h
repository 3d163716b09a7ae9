// This process's kernel, GDI and USER handle counts, for leak tests.
// Windows answers GetProcessHandleCount and GetGuiResources; Wine 8 answers
// 0 to both, so there the handles are counted directly: kernel handles by
// asking each handle value, GDI objects from the process's GDI handle table
// (reached through the PEB, as on Windows), USER objects as the windows of
// this process (DDE conversations are windows).
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace qm487test {

struct HandleCounts {
    long kernel = 0;
    long gdi = 0;
    long user = 0;
};

namespace detail {

inline bool RunningOnWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

inline long KernelHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0)
        return static_cast<long>(count);
    long n = 0;
    DWORD flags = 0;
    for (std::uintptr_t h = 4; h < 0x10000; h += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags))
            ++n;
    return n;
}

// Wine's table: 16384 entries of 24 bytes, an object's type in byte 14.
inline long GdiObjects() {
    const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count > 0 || !RunningOnWine())
        return static_cast<long>(count);
    typedef LONG(WINAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    if (query == nullptr || query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return 0;
    static_assert(sizeof(void*) == 8, "the 64-bit PEB");
    const auto* peb = reinterpret_cast<const unsigned char*>(info.PebBaseAddress);
    const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + 0xF8);
    if (table == nullptr)
        return 0;
    long n = 0;
    for (int i = 0; i < 16384; ++i)
        if (table[i * 24 + 14] != 0)
            ++n;
    return n;
}

struct WindowCount {
    DWORD pid;
    long n;
};

inline BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lp) {
    auto* count = reinterpret_cast<WindowCount*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == count->pid)
        ++count->n;
    return TRUE;
}

inline BOOL CALLBACK CountTopLevel(HWND hWnd, LPARAM lp) {
    CountWindow(hWnd, lp);
    EnumChildWindows(hWnd, CountWindow, lp);
    return TRUE;
}

inline long UserObjects() {
    const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (count > 0)
        return static_cast<long>(count);
    WindowCount windows = {GetCurrentProcessId(), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND h = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h != nullptr;
         h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr))
        CountTopLevel(h, reinterpret_cast<LPARAM>(&windows));
    return windows.n;
}

}  // namespace detail

// The smallest of a few samples over half a second: objects that live only
// while a field paints itself, or until a posted message is handled, do
// not count.
inline HandleCounts CountHandles() {
    HandleCounts least;
    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            Sleep(100);
        const HandleCounts now = {detail::KernelHandles(), detail::GdiObjects(), detail::UserObjects()};
        if (i == 0 || now.kernel < least.kernel)
            least.kernel = now.kernel;
        if (i == 0 || now.gdi < least.gdi)
            least.gdi = now.gdi;
        if (i == 0 || now.user < least.user)
            least.user = now.user;
    }
    return least;
}

}  // namespace qm487test
