#include "notify/command_line.h"

#include <cctype>
#include <string>

std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t nBackslashes = 0;
    for (char ch : arg) {
        if (ch == '\\') {
            ++nBackslashes;
            continue;
        }
        // Backslashes count as such only before a quote: there each one is
        // doubled, and the quote itself escaped.
        out.append(ch == '"' ? 2 * nBackslashes + 1 : nBackslashes, '\\');
        out += ch;
        nBackslashes = 0;
    }
    // Before the closing quote, too.
    out.append(2 * nBackslashes, '\\');
    out += '"';
    return out;
}

std::string BuildCommandLine(const std::string& path, const std::vector<std::string>& args) {
    std::string line = "\"" + path + "\"";
    for (const std::string& arg : args)
        line += " " + QuoteArgument(arg);
    return line;
}

namespace {

std::string LowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A program that runs what its arguments say: a shell, a script host or an
// interpreter, and the system's own runners of commands. A family matches
// its name alone or followed by a version or a variant ("python3.12",
// "pwsh-preview", "perl5.36").
bool IsInterpreterName(const std::string& stem) {
    static const char* const kFamilies[] = {
        "cmd",      "command", "powershell", "powershell_ise", "pwsh",     "wscript", "cscript",
        "mshta",    "wsl",     "wslhost",    "bash",           "sh",       "zsh",     "dash",
        "ksh",      "csh",     "tcsh",       "fish",           "ash",      "busybox", "python",
        "pythonw",  "py",      "pyw",        "perl",           "ruby",     "rubyw",   "node",
        "php",      "lua",     "tclsh",      "wish",           "java",     "javaw",   "rundll32",
        "regsvr32", "msiexec", "conhost",    "forfiles",       "explorer", "wmic",    "schtasks",
        "runas",    "hh",      "msbuild",    "installutil"};
    for (const char* family : kFamilies) {
        const std::size_t n = std::char_traits<char>::length(family);
        if (stem.compare(0, n, family) != 0)
            continue;
        if (stem.size() == n)
            return true;
        const char next = stem[n];
        if (std::isdigit(static_cast<unsigned char>(next)) || next == '.' || next == '-' || next == '_')
            return true;
    }
    return false;
}

}  // namespace

bool IsRunnableProgram(const std::string& path) {
    const bool bDrive = path.size() > 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                        (path[2] == '\\' || path[2] == '/');
    const bool bShare = path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    if (!(bDrive || bShare) || path.find('"') != std::string::npos)
        return false;
    for (char c : path)
        if (static_cast<unsigned char>(c) < ' ')
            return false;
    const std::string name = LowerAscii(path.substr(path.find_last_of("\\/") + 1));
    const std::size_t dot = name.rfind('.');
    // "~" may be a short (8.3) name standing for any other, POWERS~1.EXE
    // for powershell.exe: only the long name can be judged.
    if (dot == std::string::npos || name.find('~') != std::string::npos)
        return false;
    if (name.compare(dot, std::string::npos, ".ps1") == 0)
        return true;
    if (name.compare(dot, std::string::npos, ".exe") != 0 && name.compare(dot, std::string::npos, ".com") != 0)
        return false;
    return !IsInterpreterName(name.substr(0, dot));
}

bool IsPowerShellScript(const std::string& path) {
    return path.size() > 4 && LowerAscii(path.substr(path.size() - 4)) == ".ps1";
}

std::string BuildScriptCommandLine(const std::string& powershellPath, const std::string& scriptPath,
                                   const std::vector<std::string>& args) {
    std::vector<std::string> all = {"-NoProfile", "-NonInteractive", "-ExecutionPolicy", "Bypass", "-File",
                                    scriptPath};
    all.insert(all.end(), args.begin(), args.end());
    return BuildCommandLine(powershellPath, all);
}
