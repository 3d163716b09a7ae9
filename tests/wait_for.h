// The one bounded wait of the Windows tests: polls until done() or the time
// is up (false then), dispatching nothing of its own.
#pragma once

#include <windows.h>

namespace qm487test {

template <class Done>
bool WaitFor(Done done, DWORD timeoutMs = 15000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
    return true;
}

}  // namespace qm487test
