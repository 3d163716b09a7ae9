// qm487-watch: follows the running program from outside, for scripts and
// for a person watching a run. It finds the main window (titled "QM487", or
// "QM487 – NAME" for a profile, and
// holding the status line, control 1002), prints the status line every time
// its text changes, with the time, and at the end the window's place on the
// screen; or it asks the program to close, as its menu's "Zamknij" does.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qm487-watch [--profile NAME] [--seconds S] [--wait S]\n"
    "       qm487-watch [--profile NAME] --close [--wait S]\n"
    "\n"
    "Finds the window of a running QM487 (titled \"QM487\", with the status\n"
    "line; with --profile the copy started with /profile NAME, titled\n"
    "\"QM487 \xE2\x80\x93 NAME\") once it is shown, or once the program shows a message box instead,\n"
    "and prints its status line, as UTF-8, every time the text changes\n"
    "(\"(empty)\" when it has none), each line with the local time and the\n"
    "seconds since the watch began. Message boxes the program opens are\n"
    "printed too. At the end it prints the window's rectangle on the screen:\n"
    "  qm487-watch: window at X,Y size WxH\n"
    "\n"
    "  --profile NAME  the copy of that profile, not the default one\n"
    "  --seconds S  watch for S seconds (30)\n"
    "  --wait S     wait at most S seconds for the window to appear, or with\n"
    "               --close to go away (30)\n"
    "  --close      send the window the menu command \"Zamknij\" (close the\n"
    "               program) and wait until the window has gone\n"
    "\n"
    "Exit status: 0 watched the whole time / the window has gone; 1 no window\n"
    "appeared; 2 usage; 3 the window went away while watched / it is still\n"
    "there after --wait.\n";

// "QM487", or "QM487 – NAME" for a profile (--profile).
std::wstring g_title = L"QM487";
const int kStatusId = 1002;
const WPARAM kCloseCommand = 32783;  // the main menu's "Zamknij"
const DWORD kPollMs = 50;
const UINT kReplyTimeoutMs = 2000;  // a hung program must not hang the watch

LONGLONG g_start;
double g_ticksPerSecond;

double Elapsed() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart - g_start) / g_ticksPerSecond;
}

std::string Utf8(const std::wstring& w) {
    if (w.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("qm487-watch: ", stdout);
    std::vfprintf(stdout, format, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

// One observed text, stamped with the local time and the seconds since the start.
void Stamp(const std::string& text) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::printf("%02d:%02d:%02d.%03d %7.2f s  %s\n", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, Elapsed(),
                text.c_str());
    std::fflush(stdout);
}

// The text of a window of another process: WM_GETTEXT is marshalled across
// processes, where GetWindowText would only read the stored caption.
bool ReadText(HWND hWnd, std::wstring& text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs, &length))
        return false;
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kReplyTimeoutMs, &copied))
        return false;
    text.assign(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
    return true;
}

// The main window: a message box of the program may carry the same title,
// so the status line decides.
BOOL CALLBACK MatchMain(HWND hWnd, LPARAM lParam) {
    wchar_t title[64] = {};
    // Windows names the profile's file without regard to case, and so does this.
    if (GetWindowTextW(hWnd, title, 64) <= 0 || _wcsicmp(title, g_title.c_str()) != 0)
        return TRUE;
    if (GetDlgItem(hWnd, kStatusId) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

HWND FindMainWindow() {
    HWND hWnd = nullptr;
    EnumWindows(MatchMain, reinterpret_cast<LPARAM>(&hWnd));
    return hWnd;
}

struct BoxSearch {
    DWORD pid;
    HWND main;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchBox(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == search->pid && hWnd != search->main && IsWindowVisible(hWnd))
        search->found.push_back(hWnd);
    return TRUE;
}

// The other visible top-level windows of the main window's process.
std::vector<HWND> OtherWindows(HWND hMain) {
    BoxSearch search = {0, hMain, {}};
    GetWindowThreadProcessId(hMain, &search.pid);
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The main window once it is shown, or once the program shows something
// else instead (a message box while it starts, say): the window exists,
// hidden, before its status line has a text.
HWND WaitForMainWindow(double waitSeconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitSeconds * 1000);
    for (;;) {
        HWND hWnd = FindMainWindow();
        if (hWnd != nullptr && (IsWindowVisible(hWnd) || !OtherWindows(hWnd).empty()))
            return hWnd;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(kPollMs);
    }
}

BOOL CALLBACK CollectStatics(HWND hWnd, LPARAM lParam) {
    wchar_t cls[16] = {};
    GetClassNameW(hWnd, cls, 16);
    std::wstring text;
    if (_wcsicmp(cls, L"Static") == 0 && ReadText(hWnd, text) && !text.empty()) {
        auto* all = reinterpret_cast<std::wstring*>(lParam);
        if (!all->empty())
            *all += L" | ";
        *all += text;
    }
    return TRUE;
}

// Prints, once each, the other visible top-level windows of the program
// (a message box it is waiting on, say), with their texts.
void ReportOtherWindows(HWND hMain, std::set<HWND>& seen) {
    for (HWND hWnd : OtherWindows(hMain)) {
        if (!seen.insert(hWnd).second)
            continue;
        std::wstring title, texts;
        ReadText(hWnd, title);
        EnumChildWindows(hWnd, CollectStatics, reinterpret_cast<LPARAM>(&texts));
        Stamp("[window \"" + Utf8(title) + "\"] " + Utf8(texts));
    }
}

int Watch(double seconds, double waitSeconds) {
    HWND hMain = WaitForMainWindow(waitSeconds);
    if (hMain == nullptr) {
        Say("no window \"%s\" within %.0f s", Utf8(g_title).c_str(), waitSeconds);
        return 1;
    }
    Say("window found after %.2f s", Elapsed());
    HWND hStatus = GetDlgItem(hMain, kStatusId);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    std::wstring last;
    bool first = true;
    std::set<HWND> seen;
    for (;;) {
        if (!IsWindow(hMain)) {
            Say("the window went away after %.2f s", Elapsed());
            return 3;
        }
        std::wstring text;
        if (ReadText(hStatus, text) && (first || text != last)) {
            Stamp(text.empty() ? "(empty)" : Utf8(text));
            last = text;
            first = false;
        }
        ReportOtherWindows(hMain, seen);
        if (GetTickCount64() >= deadline)
            break;
        Sleep(kPollMs);
    }
    RECT r;
    if (GetWindowRect(hMain, &r))
        Say("window at %ld,%ld size %ldx%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

int Close(double waitSeconds) {
    HWND hMain = FindMainWindow();
    if (hMain == nullptr) {
        Say("no window \"%s\"", Utf8(g_title).c_str());
        return 1;
    }
    // Posted, like a menu click: the program may open its own boxes meanwhile.
    PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(kCloseCommand, 0), 0);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitSeconds * 1000);
    while (IsWindow(hMain)) {
        if (GetTickCount64() >= deadline) {
            Say("the window is still there after %.0f s", waitSeconds);
            return 3;
        }
        Sleep(kPollMs);
    }
    Say("window closed after %.2f s", Elapsed());
    return 0;
}

bool ParseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0 && value < 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    LARGE_INTEGER t;
    QueryPerformanceFrequency(&t);
    g_ticksPerSecond = static_cast<double>(t.QuadPart);
    QueryPerformanceCounter(&t);
    g_start = t.QuadPart;
    SetConsoleOutputCP(CP_UTF8);
    // Plain line feeds: the output is read by scripts on the Linux side.
    _setmode(_fileno(stdout), _O_BINARY);

    double seconds = 30, waitSeconds = 30;
    bool close = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--seconds" || arg == "--wait") && i + 1 < argc) {
            if (!ParseSeconds(argv[++i], arg == "--seconds" ? seconds : waitSeconds)) {
                std::fprintf(stderr, "qm487-watch: bad number of seconds: %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--profile" && i + 1 < argc) {
            const std::string name = argv[++i];
            g_title = L"QM487 \x2013 " + std::wstring(name.begin(), name.end());  // names are ASCII
        } else if (arg == "--close") {
            close = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "qm487-watch: unknown option %s\n\n%s", argv[i], kUsage);
            return 2;
        }
    }
    return close ? Close(waitSeconds) : Watch(seconds, waitSeconds);
}
