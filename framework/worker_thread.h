// A worker thread with one owner, which starts it and joins it. The thread
// function returns normally, so the objects on its stack are destroyed; the
// owner tells it to end (an event, an atomic flag) and joins it before the
// data the thread uses goes away. Nothing ends a thread from inside.
// Whatever the function throws is caught here, once for every thread: the
// thread ends with kFailed and the window set by ReportFailuresTo is told.
#pragma once

#include "framework/handles.h"

#include <windows.h>

#include <functional>

class CWorkerThread {
public:
    // The result of a thread whose function threw.
    static constexpr UINT kFailed = 0xFFFFFFFFu;
    // Where a thread that threw posts nMessage (wParam, lParam 0), for the
    // whole process; nullptr: nowhere.
    static void ReportFailuresTo(HWND hWnd, UINT nMessage);

    CWorkerThread() = default;
    // Joins a thread still running; its owner must have asked it to end.
    ~CWorkerThread();

    // Runs fn on a new thread at nPriority; FALSE when no thread could be
    // created, or one was started already.
    BOOL Start(std::function<UINT()> fn, int nPriority = THREAD_PRIORITY_NORMAL);
    BOOL IsStarted() const { return m_hThread.IsValid(); }
    // TRUE when no thread was started or it has returned.
    BOOL HasEnded() const;
    // The running thread's handle, for waits that also take messages.
    HANDLE GetHandle() const { return m_hThread.Get(); }
    // Waits for the thread to return and gives its result (0 when none
    // was started); afterwards a new one may be started.
    UINT Join();
    // Waits at most nMs for the thread to return; TRUE when it has (or none
    // was started). Join it then.
    BOOL WaitForEnd(DWORD nMs) const;
    // Lets the thread end on its own, no longer joined; afterwards a new one
    // may be started. Only for a thread that owns everything it touches
    // (shared_ptr, copies) and has been told to end, but may be inside a call
    // that nobody can cancel (a synchronous network request): its owner
    // waits a bounded time, then lets it go. Its function is the thread's
    // own, so the thread never touches this object again.
    void Release();

private:
    static unsigned __stdcall Entry(void* pv);

    CHandle m_hThread;

    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;
};
