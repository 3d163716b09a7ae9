#include "framework/win_thread.h"

#include <process.h>

namespace {

// Each thread started here finds its own thread object through this slot.
DWORD CurrentThreadSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

unsigned __stdcall ThreadEntry(void* pv) {
    CWinThread* pThread = static_cast<CWinThread*>(pv);
    TlsSetValue(CurrentThreadSlot(), pThread);
    AfxEndThread(pThread->m_pfnThreadProc(pThread->m_pThreadParams));
}

}  // namespace

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(nullptr),
      m_nThreadID(0),
      m_bAutoDelete(TRUE),
      m_pfnThreadProc(pfnThreadProc),
      m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
    if (m_hThread != nullptr)
        CloseHandle(m_hThread);
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    CurrentThreadSlot();  // allocate the slot before any thread needs it
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    // Created suspended so that the handle and id are stored and the
    // priority is set before the thread runs.
    unsigned nThreadID = 0;
    const uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, ThreadEntry, pThread,
                                       dwCreateFlags | CREATE_SUSPENDED, &nThreadID);
    if (h == 0) {
        delete pThread;
        return nullptr;
    }
    pThread->m_hThread = reinterpret_cast<HANDLE>(h);
    pThread->m_nThreadID = nThreadID;
    SetThreadPriority(pThread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ResumeThread(pThread->m_hThread);
    return pThread;
}

void AfxEndThread(UINT nExitCode) {
    CWinThread* pThread = static_cast<CWinThread*>(TlsGetValue(CurrentThreadSlot()));
    if (pThread != nullptr && pThread->m_bAutoDelete)
        delete pThread;
    _endthreadex(nExitCode);
}
