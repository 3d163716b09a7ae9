#include "notify/program_starter_win.h"

#include "config/cp1250.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "notify/command_line.h"

#include <memory>

namespace {

// What the pool's wait owns: the job and the process, ended together.
struct RunWatch {
    CHandle job;
    CHandle process;
    std::string strPath;  // UTF-8, for the note
    CProgramStarterWin::Note note;
    std::function<void()> onEnded;
};

void CALLBACK OnRunEndOrLimit(PTP_CALLBACK_INSTANCE, PVOID pContext, PTP_WAIT pWait, TP_WAIT_RESULT result) {
    std::unique_ptr<RunWatch> watch(static_cast<RunWatch*>(pContext));
    if (result == WAIT_TIMEOUT) {
        if (!watch->job.IsValid() || !TerminateJobObject(watch->job.Get(), 1))
            TerminateProcess(watch->process.Get(), 1);
        if (watch->note)
            watch->note(Cp1250ToUtf8("Program powiadomie\xF1 zako\xF1"
                                     "czony po przekroczeniu czasu: ") +
                        watch->strPath);
    }
    if (watch->onEnded)
        watch->onEnded();
    // Freed once this callback has returned.
    CloseThreadpoolWait(pWait);
}

// The long name of each part, then the file's final path through links;
// empty when the file cannot be opened.
std::wstring LongFinalPath(const std::wstring& path) {
    std::wstring longPath(32768, L'\0');
    const DWORD n = GetLongPathNameW(path.c_str(), &longPath[0], static_cast<DWORD>(longPath.size()));
    if (n == 0 || n >= longPath.size())
        return std::wstring();
    longPath.resize(n);
    const CHandle file(CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid())
        return longPath;
    std::wstring finalPath(32768, L'\0');
    const DWORD m = GetFinalPathNameByHandleW(file.Get(), &finalPath[0], static_cast<DWORD>(finalPath.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (m == 0 || m >= finalPath.size())
        return longPath;
    finalPath.resize(m);
    // "\\?\C:\..." or "\\?\UNC\server\...", as the rule reads paths.
    if (finalPath.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + finalPath.substr(8);
    if (finalPath.compare(0, 4, L"\\\\?\\") == 0)
        return finalPath.substr(4);
    return finalPath;
}

}  // namespace

bool IsRunnableProgramFile(const std::wstring& path) {
    if (!IsRunnableProgram(afx::NarrowUtf8(path)))
        return false;
    const std::wstring resolved = LongFinalPath(path);
    return resolved.empty() || IsRunnableProgram(afx::NarrowUtf8(resolved));
}

bool CProgramStarterWin::Start(const std::string& strPath, const std::vector<std::string>& args, unsigned nRunLimitMs,
                               std::string* pError, std::function<void()> onEnded) {
    const std::wstring path = afx::WidenUtf8(strPath);
    if (!IsRunnableProgramFile(path)) {
        *pError = Cp1250ToUtf8("podaj pe\xB3n\xB9 \x9C"
                               "cie\xBFk\xEA programu .exe lub skryptu .ps1 (np. C:\\Narz\xEA"
                               "dzia\\powiadom.ps1)");
        return false;
    }
    // A script runs by the system's own PowerShell, by its full path.
    std::wstring program = path;
    std::wstring commandLine;
    if (IsPowerShellScript(strPath)) {
        wchar_t system[MAX_PATH] = {};
        const UINT n = GetSystemDirectoryW(system, MAX_PATH);
        program = std::wstring(system, n < MAX_PATH ? n : 0) + L"\\WindowsPowerShell\\v1.0\\powershell.exe";
        commandLine = afx::WidenUtf8(BuildScriptCommandLine(afx::NarrowUtf8(program), strPath, args));
    } else {
        commandLine = afx::WidenUtf8(BuildCommandLine(strPath, args));
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Suspended until it is in its job, so nothing it starts escapes it.
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &info)) {
        const DWORD error = GetLastError();
        *pError = Cp1250ToUtf8(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                                   ? "nie ma takiego programu"
                                   : "nie mo\xBFna uruchomi\xE6 programu (b\xB3\xB9"
                                     "d " +
                                         std::to_string(error) + ")");
        return false;
    }
    std::unique_ptr<RunWatch> watch(new RunWatch);
    watch->process.Attach(info.hProcess);
    const CHandle thread(info.hThread);
    watch->strPath = strPath;
    watch->note = m_note;
    watch->onEnded = std::move(onEnded);
    // Without a job (the program's own job may forbid one) the process
    // alone is ended.
    watch->job.Attach(CreateJobObjectW(nullptr, nullptr));
    if (watch->job.IsValid() && !AssignProcessToJobObject(watch->job.Get(), watch->process.Get()))
        watch->job.Close();
    ResumeThread(thread.Get());
    PTP_WAIT wait = CreateThreadpoolWait(OnRunEndOrLimit, watch.get(), nullptr);
    if (wait == nullptr) {
        if (watch->onEnded)
            watch->onEnded();  // started, only not watched: the next need not wait for it
        return true;
    }
    // Relative, in 100 ns units.
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(nRunLimitMs) * 10000;
    FILETIME dueTime;
    dueTime.dwLowDateTime = due.LowPart;
    dueTime.dwHighDateTime = static_cast<DWORD>(due.HighPart);
    SetThreadpoolWait(wait, watch->process.Get(), nRunLimitMs == 0 ? nullptr : &dueTime);
    watch.release();  // the callback's now
    return true;
}
