#include "serial/com_port.h"

#include "framework/win_thread.h"
#include "framework/wnd.h"

#include <cstdio>
#include <cstring>

namespace {

const DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// After a read that failed for a reason other than a gone device the reader
// pauses this long, so that a port that fails every call is not circled
// without rest. At 300 baud a character takes about 33 ms; the receive queue
// keeps what arrives meanwhile.
const DWORD kFailedWaitPauseMs = 50;

// What Windows answers for a removed device; a broken pipe is what a
// pseudo-terminal under Wine gives once its other side has hung up.
bool IsDeviceGoneError(DWORD dwError) {
    switch (dwError) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_GEN_FAILURE:
    case ERROR_BROKEN_PIPE:
    case ERROR_HANDLE_EOF:
    case ERROR_IO_DEVICE:
        return true;
    default:
        return false;
    }
}

// Ends an outstanding port wait and waits at most this long for its end.
const DWORD kWaitEndTimeoutMs = 1000;

void CloseIfOpen(HANDLE& h) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    h = nullptr;
}

}  // namespace

CComPort::CComPort()
    : m_nBaudRate(0),
      m_nPortNumber(0),
      m_dwTransmitLength(0),
      m_abTransmitBuffer(),
      m_pThread(nullptr),
      m_csPort(),
      m_hShutdownEvent(nullptr),
      m_hPort(nullptr),
      m_hTransmitEvent(nullptr),
      m_ahWaitEvents(),
      m_ov(),
      m_timeouts(),
      m_dcb(),
      m_pOwner(nullptr),
      m_dwCommEvents(0),
      m_nReaderTurns(0),
      m_bReadMode(FALSE),
      m_byRead(0),
      m_bGone(FALSE) {}

BOOL CComPort::Open(CWnd* pOwner, int nPortNumber, int nBaudRate, char cParity, int nDataBits, int nStopBits,
                    DWORD dwCommEvents) {
    m_ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hTransmitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hShutdownEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_ahWaitEvents[0] = m_hShutdownEvent;
    m_ahWaitEvents[1] = m_ov.hEvent;
    m_ahWaitEvents[2] = m_hTransmitEvent;

    InitializeCriticalSection(&m_csPort);
    m_pOwner = pOwner;
    m_nPortNumber = nPortNumber;
    m_nBaudRate = nBaudRate;
    m_dwCommEvents = dwCommEvents;
    char szPath[50];
    char szMode[50];

    EnterCriticalSection(&m_csPort);
    std::snprintf(szPath, sizeof szPath, "\\\\.\\COM%d", nPortNumber);
    std::snprintf(szMode, sizeof szMode, "baud=%d parity=%c data=%d stop=%d", nBaudRate, cParity, nDataBits,
                  nStopBits);
    m_hPort = CreateFileA(szPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                          nullptr);
    if (m_hPort == INVALID_HANDLE_VALUE) {
        LeaveCriticalSection(&m_csPort);
        return FALSE;
    }

    // Reads return at once with what is queued; writes have no time limit.
    m_timeouts.ReadIntervalTimeout = MAXDWORD;
    m_timeouts.ReadTotalTimeoutMultiplier = 0;
    m_timeouts.ReadTotalTimeoutConstant = 0;
    m_timeouts.WriteTotalTimeoutMultiplier = 0;
    m_timeouts.WriteTotalTimeoutConstant = 0;
    m_dcb.DCBlength = sizeof m_dcb;
    // A device that refuses a setting keeps the one it had; the port stays open.
    if (SetCommTimeouts(m_hPort, &m_timeouts) && SetCommMask(m_hPort, dwCommEvents) &&
        GetCommState(m_hPort, &m_dcb)) {
        m_dcb.fOutxCtsFlow = TRUE;
        m_dcb.fOutxDsrFlow = TRUE;
        m_dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        m_dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        m_dcb.fOutX = FALSE;
        m_dcb.fInX = FALSE;
        if (BuildCommDCBA(szMode, &m_dcb))
            SetCommState(m_hPort, &m_dcb);
    }

    PurgeComm(m_hPort, kPurgeAll);
    LeaveCriticalSection(&m_csPort);
    return TRUE;
}

BOOL CComPort::StartMonitoring() {
    m_pThread = AfxBeginThread(ReaderThread, this);
    if (m_pThread == nullptr)
        return FALSE;
    // The reader ends only on the shutdown event, which the destructor
    // signals after this, so the object cannot delete itself before.
    m_pThread->m_bAutoDelete = FALSE;
    return TRUE;
}

BOOL CComPort::HasThreadEnded() const {
    if (m_pThread == nullptr)
        return TRUE;
    DWORD dwExitCode = 0;
    // A thread that cannot be asked is not waited for.
    if (!GetExitCodeThread(m_pThread->m_hThread, &dwExitCode))
        return TRUE;
    return dwExitCode != STILL_ACTIVE;
}

UINT CComPort::ReaderThread(LPVOID pParam) {
    CComPort* pPort = static_cast<CComPort*>(pParam);
    if (pPort->m_hPort != nullptr)
        PurgeComm(pPort->m_hPort, kPurgeAll);  // what came before monitoring began is not wanted

    for (;;) {
        InterlockedIncrement(&pPort->m_nReaderTurns);
        if (pPort->m_bReadMode) {
            pPort->ReadOneByte();
            continue;
        }
        DWORD dwEvents = 0;  // written when the wait ends; see EndReaderThread
        if (WaitCommEvent(pPort->m_hPort, &dwEvents, &pPort->m_ov)) {
            COMSTAT comstat = {};
            DWORD dwErrors = 0;
            ClearCommError(pPort->m_hPort, &dwErrors, &comstat);
            if (comstat.cbInQue == 0)
                continue;
        } else if (GetLastError() != ERROR_IO_PENDING) {
            // The port cannot wait for events (or its device is gone, which
            // the first read then tells).
            pPort->SwitchToReading();
            continue;
        }

        switch (WaitForMultipleObjects(3, pPort->m_ahWaitEvents, FALSE, INFINITE)) {
        case WAIT_OBJECT_0:
            pPort->EndReaderThread();
        case WAIT_OBJECT_0 + 1: {
            DWORD dwTransferred = 0;
            // A wait that fails or ends with no event will not work better
            // next time (under Wine every wait on a pseudo-terminal does so
            // after about 2 ms): read instead. What is queued stays in order.
            if (!GetOverlappedResult(pPort->m_hPort, &pPort->m_ov, &dwTransferred, FALSE) || dwEvents == 0) {
                pPort->SwitchToReading();
                break;
            }
            DWORD dwMask = 0;
            GetCommMask(pPort->m_hPort, &dwMask);
            if (dwMask & EV_RXCHAR)
                pPort->ReceiveChars();
            break;
        }
        case WAIT_OBJECT_0 + 2:
            // Nothing is ever transmitted on this receive-only link.
            ResetEvent(pPort->m_hTransmitEvent);
            break;
        default:
            break;
        }
    }
}

void CComPort::SwitchToReading() {
    m_bReadMode = TRUE;
    SetWaitingReads(TRUE);
}

void CComPort::SetWaitingReads(BOOL bWait) {
    // Waiting reads have no interval or total time-outs: they end with a
    // byte. The others return at once with what is queued.
    COMMTIMEOUTS timeouts = m_timeouts;
    if (bWait)
        timeouts.ReadIntervalTimeout = 0;
    EnterCriticalSection(&m_csPort);
    SetCommTimeouts(m_hPort, &timeouts);
    LeaveCriticalSection(&m_csPort);
}

void CComPort::ReadOneByte() {
    ResetEvent(m_ov.hEvent);
    EnterCriticalSection(&m_csPort);
    const BOOL bIssued = ReadFile(m_hPort, &m_byRead, 1, nullptr, &m_ov);
    const DWORD dwIssueError = bIssued ? ERROR_SUCCESS : GetLastError();
    LeaveCriticalSection(&m_csPort);
    if (!bIssued && dwIssueError != ERROR_IO_PENDING) {
        ReadFailed(dwIssueError);
        return;
    }
    // Sleeps until the byte comes or the driver is shut down.
    const HANDLE ahEvents[2] = {m_hShutdownEvent, m_ov.hEvent};
    if (WaitForMultipleObjects(2, ahEvents, FALSE, INFINITE) == WAIT_OBJECT_0)
        EndReaderThread();
    DWORD dwRead = 0;
    if (!GetOverlappedResult(m_hPort, &m_ov, &dwRead, FALSE)) {
        ReadFailed(GetLastError());
        return;
    }
    // With no time-outs a read ends without a byte only at the end of the data.
    if (dwRead != 1) {
        ReadFailed(ERROR_HANDLE_EOF);
        return;
    }
    SendMessageA(m_pOwner != nullptr ? m_pOwner->GetSafeHwnd() : nullptr, WM_PORT_CHAR, m_byRead, 0);
    // What came meanwhile is read at once, in order: a waiting read per byte
    // costs Wine far more than one that returns with what is queued.
    SetWaitingReads(FALSE);
    ReceiveChars();
    SetWaitingReads(TRUE);
}

void CComPort::ReadFailed(DWORD dwError) {
    if (IsDeviceGoneError(dwError)) {
        // The handle is of no use any more: tell the owner once and rest
        // until the driver is shut down.
        m_bGone = TRUE;
        PostMessageA(m_pOwner != nullptr ? m_pOwner->GetSafeHwnd() : nullptr, WM_PORT_GONE,
                     static_cast<WPARAM>(m_nPortNumber), 0);
        WaitForSingleObject(m_hShutdownEvent, INFINITE);
        EndReaderThread();
    }
    if (WaitForSingleObject(m_hShutdownEvent, kFailedWaitPauseMs) == WAIT_OBJECT_0)
        EndReaderThread();
}

void CComPort::ReceiveChars() {
    COMSTAT comstat = {};
    DWORD dwErrors = 0;
    // Line errors are cleared and the bytes delivered all the same. A device
    // that has gone fails the call: then nothing is queued that could be read.
    EnterCriticalSection(&m_csPort);
    if (!ClearCommError(m_hPort, &dwErrors, &comstat))
        comstat.cbInQue = 0;
    LeaveCriticalSection(&m_csPort);

    while (comstat.cbInQue > 0) {
        BYTE byChar = 0;
        DWORD dwRead = 0;
        EnterCriticalSection(&m_csPort);
        BOOL bRead = ReadFile(m_hPort, &byChar, 1, &dwRead, &m_ov);
        if (!bRead && GetLastError() == ERROR_IO_PENDING)
            bRead = GetOverlappedResult(m_hPort, &m_ov, &dwRead, TRUE);
        LeaveCriticalSection(&m_csPort);
        if (!bRead || dwRead != 1)
            return;  // the next port event starts a new drain

        SendMessageA(m_pOwner != nullptr ? m_pOwner->GetSafeHwnd() : nullptr, WM_PORT_CHAR, byChar, 0);

        EnterCriticalSection(&m_csPort);
        if (!ClearCommError(m_hPort, &dwErrors, &comstat))
            comstat.cbInQue = 0;
        LeaveCriticalSection(&m_csPort);
    }
}

void CComPort::EndReaderThread() {
    // A port wait still outstanding ends later and then writes into m_ov and
    // into the reader's stack, after the thread and soon this object are gone
    // (Wine completes it from a helper thread, after the issuer has ended).
    // Changing the event mask ends such a wait; wait for that, but not forever.
    // The same holds for a pending read.
    // A pending read ends when this thread, its issuer, cancels it.
    if (!HasOverlappedIoCompleted(&m_ov)) {
        if (m_bReadMode)
            CancelIo(m_hPort);
        else
            SetCommMask(m_hPort, 0);
        WaitForSingleObject(m_ov.hEvent, kWaitEndTimeoutMs);
    }
    AfxEndThread(100);
}

CComPort::~CComPort() {
    // Drop DTR and RTS before the reader stops.
    m_dcb.DCBlength = sizeof m_dcb;
    if (GetCommState(m_hPort, &m_dcb)) {
        m_dcb.fOutxCtsFlow = FALSE;
        m_dcb.fOutxDsrFlow = FALSE;
        m_dcb.fOutX = FALSE;
        m_dcb.fInX = FALSE;
        m_dcb.fDtrControl = DTR_CONTROL_DISABLE;
        m_dcb.fRtsControl = RTS_CONTROL_DISABLE;
        SetCommState(m_hPort, &m_dcb);
    }

    SetEvent(m_hShutdownEvent);

    // The reader may be inside SendMessageA to the owner, which is handled
    // only while this thread takes messages: dispatch them until it has ended.
    while (!HasThreadEnded()) {
        // Once the owner's window is gone its handle is null and any message is taken.
        const HWND hWndFilter = m_pOwner != nullptr ? m_pOwner->GetSafeHwnd() : nullptr;
        MSG msg;
        if (PeekMessageA(&msg, hWndFilter, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        // Sleep until the thread ends or a message (a sent one included) comes.
        MsgWaitForMultipleObjects(1, &m_pThread->m_hThread, FALSE, INFINITE, QS_ALLINPUT);
    }
    delete m_pThread;
    m_pThread = nullptr;

    // Open never leaves the port handle null, and it initialises the lock first.
    const bool bOpened = m_hPort != nullptr;
    CloseIfOpen(m_ov.hEvent);
    CloseIfOpen(m_hTransmitEvent);
    CloseIfOpen(m_hPort);
    CloseIfOpen(m_hShutdownEvent);
    std::memset(m_ahWaitEvents, 0, sizeof m_ahWaitEvents);
    if (bOpened)
        DeleteCriticalSection(&m_csPort);
}
