#include "app/profile_instance.h"

#include "config/profile.h"
#include "framework/text.h"
#include "framework/record_file.h"

#include <cstdio>

namespace {

const wchar_t kWindowMark[] = L"QM487 profile";
const DWORD kWindowWaitMs = 5000;

// The long name of an existing file or folder; empty when there is none.
std::wstring LongName(const std::wstring& path) {
    std::wstring out(path.size() + MAX_PATH, L'\0');
    DWORD n = GetLongPathNameW(path.c_str(), &out[0], static_cast<DWORD>(out.size()));
    if (n >= out.size()) {
        out.resize(n);
        n = GetLongPathNameW(path.c_str(), &out[0], static_cast<DWORD>(out.size()));
    }
    out.resize(n < out.size() ? n : 0);
    return out;
}

// A copy started by an 8.3 path sees its settings file by the short names;
// the folder's long name holds even before the file is written.
std::wstring LongFilePath(const std::wstring& full) {
    const std::wstring file = LongName(full);
    if (!file.empty())
        return file;
    const std::size_t slash = full.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : LongName(full.substr(0, slash));
    return folder.empty() ? full : folder + full.substr(slash);
}

// The path without the "\\?\" that only lifts the length limit, which the
// full path keeps: "\\?\C:\QM" is "C:\QM", "\\?\UNC\server\share" is "\\server\share".
std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
}

// The settings file's full long path with its letters in one case: Windows
// file names ignore case, so "C:\QM\qm487cfg-Piec.ini", "c:/qm/./QM487CFG-PIEC.INI",
// "C:\QM~1\qm487cfg-Piec.ini" and "\\?\C:\QM\qm487cfg-Piec.ini" are one settings file.
UINT_PTR KeyOf(const std::wstring& settingsFile) {
    const std::wstring path = WithoutLongPrefix(LongFilePath(AbsoluteFilePath(settingsFile)));
    // Every character kept, so two folders named beyond Windows-1250 stay two
    // profiles. Never 0: GetProp's answer for a window without the mark.
    return static_cast<UINT_PTR>(PathDigest(afx::PathKeyText(path))) | 1;
}

}  // namespace

CProfileInstance::CProfileInstance(const std::wstring& settingsFile)
    : m_nKey(KeyOf(settingsFile)), m_bFirst(TRUE) {
    wchar_t szName[64];
    std::swprintf(szName, 64, L"Local\\QM487 profile %llx", static_cast<unsigned long long>(m_nKey));
    m_mutex.Attach(CreateMutexW(nullptr, FALSE, szName));
    // Without a mutex nothing can be told; the copy runs as it always did.
    m_bFirst = !(m_mutex.IsValid() && GetLastError() == ERROR_ALREADY_EXISTS);
}

void CProfileInstance::MarkWindow(HWND hWnd) const { SetPropW(hWnd, kWindowMark, reinterpret_cast<HANDLE>(m_nKey)); }

void CProfileInstance::UnmarkWindow(HWND hWnd) { RemovePropW(hWnd, kWindowMark); }

HWND CProfileInstance::FindFirstWindow() const {
    struct Search {
        UINT_PTR nKey;
        HWND hFound;
    } search = {m_nKey, nullptr};
    EnumWindows(
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (reinterpret_cast<UINT_PTR>(GetPropW(hWnd, kWindowMark)) != s->nKey)
                return TRUE;
            s->hFound = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

void CProfileInstance::ActivateFirst() const {
    HWND hWnd = nullptr;
    const ULONGLONG deadline = GetTickCount64() + kWindowWaitMs;
    while ((hWnd = FindFirstWindow()) == nullptr && GetTickCount64() < deadline)
        Sleep(50);
    if (hWnd == nullptr)
        return;
    // Asynchronous: a first copy busy in a long handler never holds this one up.
    if (IsIconic(hWnd))
        ShowWindowAsync(hWnd, SW_RESTORE);
    // This process was just started by the user, so it may hand the
    // foreground on; an open dialog of the first copy is what should come up.
    SetForegroundWindow(GetLastActivePopup(hWnd));
}
