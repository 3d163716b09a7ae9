// Another process for a test: a program of the build started with its
// standard output and error in pipes, read while the test waits for lines.
// Every wait is bounded; a child still running at the end is ended.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qm487test {

// A file of the Linux build tree as Wine sees it (the Z: drive).
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() {
        if (m_pi.hProcess != nullptr && !HasEnded())
            TerminateProcess(m_pi.hProcess, 99);
        Close(m_pi.hProcess);
        Close(m_pi.hThread);
        Close(m_hOut);
        Close(m_hErr);
    }

    bool Start(const std::string& exe, const std::string& args) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE outWrite = nullptr, errWrite = nullptr;
        if (!CreatePipe(&m_hOut, &outWrite, &sa, 1 << 16) || !CreatePipe(&m_hErr, &errWrite, &sa, 1 << 16))
            return false;
        SetHandleInformation(m_hOut, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(m_hErr, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = outWrite;
        si.hStdError = errWrite;
        std::string cmd = "\"" + WindowsPath(exe) + "\" " + args;
        const BOOL ok = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                       nullptr, &si, &m_pi);
        if (ok)
            AssignProcessToJobObject(EndedWithTheTest(), m_pi.hProcess);
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        return ok != FALSE;
    }

    // Waits until a complete output line satisfies pred; the line, or
    // nothing (false) when the time is up or the child ended without it.
    bool WaitForLine(const std::function<bool(const std::string&)>& pred, DWORD timeoutMs,
                     std::string* found = nullptr) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            Drain();
            const std::vector<std::string> lines = Lines();
            while (m_nNextLine < lines.size()) {
                const std::string& line = lines[m_nNextLine++];
                if (pred(line)) {
                    if (found)
                        *found = line;
                    return true;
                }
            }
            if (HasEnded()) {
                Drain();
                if (m_nNextLine >= Lines().size())
                    return false;
                continue;
            }
            if (GetTickCount64() >= deadline)
                return false;
            Sleep(5);
        }
    }
    bool WaitForLine(const std::string& exact, DWORD timeoutMs) {
        return WaitForLine([&](const std::string& line) { return line == exact; }, timeoutMs);
    }

    // Whether any complete line so far is `exact`, waiting up to timeoutMs.
    bool WaitForAnyLine(const std::string& exact, DWORD timeoutMs) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            Drain();
            for (const std::string& line : Lines())
                if (line == exact)
                    return true;
            if (HasEnded() || GetTickCount64() >= deadline) {
                Drain();
                for (const std::string& line : Lines())
                    if (line == exact)
                        return true;
                return false;
            }
            Sleep(5);
        }
    }

    // Waits for the end; false when it did not end in time.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!HasEnded()) {
            Drain();
            if (GetTickCount64() >= deadline)
                return false;
            Sleep(5);
        }
        Drain();
        if (exitCode)
            GetExitCodeProcess(m_pi.hProcess, exitCode);
        return true;
    }

    const std::string& Output() { Drain(); return m_out; }
    const std::string& Errors() { Drain(); return m_err; }
    std::vector<std::string> Lines() const { return SplitLines(m_out); }
    HANDLE Process() const { return m_pi.hProcess; }

private:
    // A child left running when the test process dies (a crash) would hold
    // its pipes open, and CTest would wait for them until its timeout.
    static HANDLE EndedWithTheTest() {
        static HANDLE hJob = [] {
            HANDLE h = CreateJobObjectW(nullptr, nullptr);
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(h, JobObjectExtendedLimitInformation, &limits, sizeof limits);
            return h;
        }();
        return hJob;
    }
    static void Close(HANDLE& h) {
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = nullptr;
    }
    bool HasEnded() const { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }
    static void ReadAvailable(HANDLE pipe, std::string& into) {
        DWORD available = 0;
        while (pipe != nullptr && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::string chunk(available, '\0');
            DWORD got = 0;
            if (!ReadFile(pipe, &chunk[0], available, &got, nullptr) || got == 0)
                return;
            into.append(chunk.data(), got);
        }
    }
    void Drain() {
        ReadAvailable(m_hOut, m_out);
        ReadAvailable(m_hErr, m_err);
    }
    // Complete lines only, without their CR LF.
    static std::vector<std::string> SplitLines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
            std::string line = text.substr(start, nl - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    PROCESS_INFORMATION m_pi = {};
    HANDLE m_hOut = nullptr;
    HANDLE m_hErr = nullptr;
    std::string m_out;
    std::string m_err;
    std::size_t m_nNextLine = 0;
};

// Runs a program to its end (bounded) and gives its exit code and output.
struct ChildResult {
    bool ended = false;
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

inline ChildResult RunChild(const std::string& exe, const std::string& args, DWORD timeoutMs = 60000) {
    ChildResult result;
    ChildProcess child;
    if (!child.Start(exe, args))
        return result;
    result.ended = child.WaitForExit(timeoutMs, &result.exitCode);
    result.out = child.Output();
    result.err = child.Errors();
    return result;
}

}  // namespace qm487test
