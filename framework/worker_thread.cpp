#include "framework/worker_thread.h"

#include <process.h>

#include <atomic>
#include <memory>

namespace {

// Set by the window thread, read by any thread that fails.
std::atomic<HWND> g_hReportTo{nullptr};
std::atomic<UINT> g_nReportMessage{0};

}  // namespace

void CWorkerThread::ReportFailuresTo(HWND hWnd, UINT nMessage) {
    g_nReportMessage = nMessage;
    g_hReportTo = hWnd;
}

CWorkerThread::~CWorkerThread() { Join(); }

BOOL CWorkerThread::Start(std::function<UINT()> fn, int nPriority) {
    if (IsStarted() || !fn)
        return FALSE;
    // The thread owns its function, so Release may let it outlive this object.
    auto* pFn = new std::function<UINT()>(std::move(fn));
    // Suspended until the handle is stored and the priority set.
    const uintptr_t h = _beginthreadex(nullptr, 0, Entry, pFn, CREATE_SUSPENDED, nullptr);
    if (h == 0) {
        delete pFn;
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
    return dwCode;
}

BOOL CWorkerThread::WaitForEnd(DWORD nMs) const {
    return !IsStarted() || WaitForSingleObject(m_hThread.Get(), nMs) == WAIT_OBJECT_0;
}

void CWorkerThread::Release() { m_hThread.Close(); }

unsigned __stdcall CWorkerThread::Entry(void* pv) {
    const std::unique_ptr<std::function<UINT()>> fn(static_cast<std::function<UINT()>*>(pv));
    // Returning ends the thread; _beginthreadex passes the result on. An
    // exception would end the whole program, which records and reads the
    // port meanwhile: the thread's part stops, the program goes on.
    try {
        return (*fn)();
    } catch (...) {
        const HWND hWnd = g_hReportTo;
        if (hWnd != nullptr)
            PostMessageW(hWnd, g_nReportMessage, 0, 0);
        return kFailed;
    }
}
