// Worker threads the way the rest of the program expects them: a thread
// object that the starter may keep (and delete) after the thread has ended.
#pragma once

#include <windows.h>

typedef UINT(__cdecl* AFX_THREADPROC)(LPVOID);

class CWinThread {
public:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    virtual ~CWinThread();  // closes the thread handle; the thread itself is not stopped

    HANDLE m_hThread;
    DWORD m_nThreadID;
    // TRUE: the object deletes itself when its thread ends. An owner that
    // waits for the thread and deletes the object sets it to FALSE.
    BOOL m_bAutoDelete;

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;

private:
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
};

// Starts pfnThreadProc(pParam) on a new thread and returns its thread object,
// or nullptr when no thread could be created. Unless dwCreateFlags holds
// CREATE_SUSPENDED the thread is already running on return.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// Ends the calling thread with nExitCode; a thread object with m_bAutoDelete
// set is deleted first. Does not return. Objects on the thread's stack are
// not destroyed.
[[noreturn]] void AfxEndThread(UINT nExitCode);
