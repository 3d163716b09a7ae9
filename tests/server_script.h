// A test server run by a script of the build tree (a Linux program started
// through /bin/bash, see server_script.sh): as Wine cannot wait for a Unix
// process, each command leaves DIR/<command>.done with its exit status.
// Every wait is bounded.
#pragma once

#include "tests/app/child_process.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qm487test {

class ServerScript {
public:
    ServerScript(const std::string& script, const std::string& dir) : m_script(script), m_dir(dir) {}

    // "script cmd DIR arg"; true once it reported success within timeoutMs.
    bool Run(const std::string& cmd, DWORD timeoutMs, const std::string& arg = std::string()) const {
        std::error_code ec;
        std::filesystem::create_directories(WindowsPath(m_dir), ec);
        std::filesystem::remove(WindowsPath(m_dir + "/" + cmd + ".done"), ec);
        std::string line = "/bin/bash " + m_script + " " + cmd + " " + m_dir + " " + arg;
        std::wstring wline(line.begin(), line.end());
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(L"Z:\\bin\\bash", &wline[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!std::filesystem::exists(WindowsPath(m_dir + "/" + cmd + ".done"), ec)) {
            if (GetTickCount64() >= deadline)
                return false;
            Sleep(20);
        }
        return ReadText(cmd + ".done").substr(0, 1) == "0";
    }
    // A file of DIR, as it is.
    std::string ReadText(const std::string& name) const {
        std::ifstream in(WindowsPath(m_dir + "/" + name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // DIR/name as Windows sees it.
    std::string Path(const std::string& name) const { return WindowsPath(m_dir + "/" + name); }

private:
    std::string m_script;
    std::string m_dir;
};

}  // namespace qm487test
