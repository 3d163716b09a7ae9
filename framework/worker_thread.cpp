#include "framework/worker_thread.h"

#include <process.h>

CWorkerThread::~CWorkerThread() { Join(); }

BOOL CWorkerThread::Start(std::function<UINT()> fn, int nPriority) {
    if (IsStarted() || !fn)
        return FALSE;
    m_fn = std::move(fn);
    // Suspended until the handle is stored and the priority set.
    const uintptr_t h = _beginthreadex(nullptr, 0, Entry, this, CREATE_SUSPENDED, nullptr);
    if (h == 0) {
        m_fn = nullptr;
        return FALSE;
    }
    m_hThread.Attach(reinterpret_cast<HANDLE>(h));
    SetThreadPriority(m_hThread.Get(), nPriority);
    ResumeThread(m_hThread.Get());
    return TRUE;
}

BOOL CWorkerThread::HasEnded() const {
    return !IsStarted() || WaitForSingleObject(m_hThread.Get(), 0) == WAIT_OBJECT_0;
}

UINT CWorkerThread::Join() {
    if (!IsStarted())
        return 0;
    WaitForSingleObject(m_hThread.Get(), INFINITE);
    DWORD dwCode = 0;
    GetExitCodeThread(m_hThread.Get(), &dwCode);
    m_hThread.Close();
    m_fn = nullptr;
    return dwCode;
}

unsigned __stdcall CWorkerThread::Entry(void* pv) {
    // Returning ends the thread; _beginthreadex passes the result on.
    return static_cast<CWorkerThread*>(pv)->m_fn();
}
