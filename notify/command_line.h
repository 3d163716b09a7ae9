// A Windows command line that CommandLineToArgvW (and the C runtime's
// startup) splits back into exactly the arguments given: quotes, the
// backslashes before a quote or at the end, empty arguments. Bytes other
// than these pass as they are, so UTF-8 stays UTF-8.
#pragma once

#include <string>
#include <vector>

// One argument as the command line carries it.
std::string QuoteArgument(const std::string& arg);
// The program's path (in quotes: no quote can be in a path) and then the
// arguments, space-separated.
std::string BuildCommandLine(const std::string& path, const std::vector<std::string>& args);

// A full path ("X:\..." or "\\server\...", no quote) to a program file
// that takes its arguments as data: an .exe or .com, and no shell or script
// host (cmd, PowerShell, the Windows Script Host, mshta, WSL, rundll32),
// which would read the PC's name or the message as commands; or a
// PowerShell script (.ps1), to which PowerShell's -File hands the arguments
// as strings. A batch file is refused: it runs through cmd.exe, which reads
// its arguments as commands. Any 8-bit text (UTF-8, Windows-1250): only
// ASCII is looked at.
bool IsRunnableProgram(const std::string& path);
bool IsPowerShellScript(const std::string& path);
// The command line that runs a PowerShell script by the system's
// PowerShell, with no profile and no questions, the arguments bound as
// strings (-File).
std::string BuildScriptCommandLine(const std::string& powershellPath, const std::string& scriptPath,
                                   const std::vector<std::string>& args);
