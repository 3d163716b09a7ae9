// The notification program's start on Windows: CreateProcessW with the full
// path as the program to run (never a shell, never a search along PATH),
// the command line built so that each argument arrives as given, no
// window. The program runs in a job of its own; a pool thread's wait ends
// the job (with whatever it started) once the run limit is up, and says so
// through the note, without anyone waiting for it.
#pragma once

#include "notify/notify_ports.h"

#include <functional>
#include <string>

class CProgramStarterWin : public IProgramStarter {
public:
    // Called on a pool thread, with UTF-8 text, when a program was
    // ended for running too long; may be empty. It must stay callable for
    // as long as a program started may run.
    using Note = std::function<void(const std::string& text)>;
    explicit CProgramStarterWin(Note note = Note()) : m_note(std::move(note)) {}

    // strPath and args are UTF-8; *pError (Polish, UTF-8) says why not.
    // nRunLimitMs 0: no limit.
    bool Start(const std::string& strPath, const std::vector<std::string>& args, unsigned nRunLimitMs,
               std::string* pError, std::function<void()> onEnded = nullptr) override;

private:
    Note m_note;
};

// The rule of IsRunnableProgram on the path as given and, where the file
// can be opened, on its long, final path (no 8.3 short name, links
// followed): the dialog's check and the start judge the same. A renamed
// copy of a shell still passes: its name is all there is to judge.
bool IsRunnableProgramFile(const std::wstring& path);
