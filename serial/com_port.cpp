#include "serial/com_port.h"

#include "framework/wnd.h"
#include "serial/port_lines.h"

#include <cstdio>

namespace {

const DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// After a read that failed for a reason other than a gone device the reader
// pauses this long, so that a port that fails every call is not circled
// without rest. At 300 baud a character takes about 33 ms; the receive queue
// keeps what arrives meanwhile.
const DWORD kFailedWaitPauseMs = 50;

// Under Wine a wait for port events is a thread of Wine's own that polls
// the line and, on a pseudo-terminal, gives up after about 2 ms; the thread
// then leaves its stack (a megabyte) behind. There the reader reads at once.
bool PortEventsArePolled() {
    const HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

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

}  // namespace

CComPort::CComPort()
    : m_nPortNumber(0),
      m_ov(),
      m_timeouts(),
      m_dcb(),
      m_dwEvents(0),
      m_hWndOwner(nullptr),
      m_pOwner(nullptr),
      m_nReaderTurns(0),
      m_bReadMode(FALSE),
      m_byRead(0),
      m_bGone(false),
      m_bStop(false) {}

BOOL CComPort::Open(CWnd* pOwner, int nPortNumber, int nBaudRate, char cParity, int nDataBits, int nStopBits,
                    DWORD dwCommEvents) {
    m_hIoEvent.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_hShutdownEvent.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_ov.hEvent = m_hIoEvent.Get();
    m_pOwner = pOwner;
    m_nPortNumber = nPortNumber;

    char szPath[50];
    char szMode[50];
    std::snprintf(szPath, sizeof szPath, "\\\\.\\COM%d", nPortNumber);
    std::snprintf(szMode, sizeof szMode, "baud=%d parity=%c data=%d stop=%d", nBaudRate, cParity, nDataBits,
                  nStopBits);
    m_hPort.Attach(CreateFileA(szPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr));
    if (!m_hPort.IsValid())
        return FALSE;

    // Reads return at once with what is queued; writes have no time limit.
    m_timeouts.ReadIntervalTimeout = MAXDWORD;
    m_timeouts.ReadTotalTimeoutMultiplier = 0;
    m_timeouts.ReadTotalTimeoutConstant = 0;
    m_timeouts.WriteTotalTimeoutMultiplier = 0;
    m_timeouts.WriteTotalTimeoutConstant = 0;
    m_dcb.DCBlength = sizeof m_dcb;
    // A device that refuses a setting keeps the one it had; the port stays open.
    if (SetCommTimeouts(m_hPort.Get(), &m_timeouts) && SetCommMask(m_hPort.Get(), dwCommEvents) &&
        GetCommState(m_hPort.Get(), &m_dcb)) {
        SetPortLines(m_dcb, PortLines::Handshake);
        if (BuildCommDCBA(szMode, &m_dcb))
            SetCommState(m_hPort.Get(), &m_dcb);
    }
    PurgeComm(m_hPort.Get(), kPurgeAll);
    return TRUE;
}

BOOL CComPort::StartMonitoring() {
    if (!m_hPort.IsValid())
        return FALSE;
    // The reader's own copy: the owner's m_hWnd is cleared on the owner's
    // thread while the window goes.
    m_hWndOwner = m_pOwner != nullptr ? m_pOwner->GetSafeHwnd() : nullptr;
    if (!m_bReadMode && PortEventsArePolled())
        SwitchToReading();
    return m_reader.Start([this] { return ReaderThread(); });
}

UINT CComPort::ReaderThread() {
    PurgeComm(m_hPort.Get(), kPurgeAll);  // what came before monitoring began is not wanted
    for (;;) {
        ++m_nReaderTurns;
        if (!(m_bReadMode ? ReadOneByte() : WaitAndReceive()))
            break;
    }
    FinishPendingIo();
    return kReaderExitCode;
}

bool CComPort::WaitAndReceive() {
    m_dwEvents = 0;
    if (WaitCommEvent(m_hPort.Get(), &m_dwEvents, &m_ov)) {
        COMSTAT comstat = {};
        DWORD dwErrors = 0;
        ClearCommError(m_hPort.Get(), &dwErrors, &comstat);
        if (comstat.cbInQue == 0)
            return true;
    } else if (GetLastError() != ERROR_IO_PENDING) {
        // The port cannot wait for events (or its device is gone, which
        // the first read then tells).
        SwitchToReading();
        return true;
    }

    const HANDLE ahEvents[2] = {m_hShutdownEvent.Get(), m_hIoEvent.Get()};  // the shutdown wins
    if (WaitForMultipleObjects(2, ahEvents, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
        return false;  // the wait is ended by FinishPendingIo
    DWORD dwTransferred = 0;
    // A wait that fails or ends with no event will not work better next
    // time (under Wine every wait on a pseudo-terminal does so after about
    // 2 ms): read instead. What is queued stays in order.
    if (!GetOverlappedResult(m_hPort.Get(), &m_ov, &dwTransferred, FALSE) || m_dwEvents == 0) {
        SwitchToReading();
        return true;
    }
    DWORD dwMask = 0;
    GetCommMask(m_hPort.Get(), &dwMask);
    return !(dwMask & EV_RXCHAR) || ReceiveChars();
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
    SetCommTimeouts(m_hPort.Get(), &timeouts);
}

void CComPort::Deliver(BYTE byChar) const { SendMessageA(m_hWndOwner, WM_PORT_CHAR, byChar, 0); }

bool CComPort::ReadOneByte() {
    ResetEvent(m_hIoEvent.Get());
    if (!ReadFile(m_hPort.Get(), &m_byRead, 1, nullptr, &m_ov) && GetLastError() != ERROR_IO_PENDING)
        return ReadFailed(GetLastError());
    // Sleeps until the byte comes or the driver is shut down.
    const HANDLE ahEvents[2] = {m_hShutdownEvent.Get(), m_hIoEvent.Get()};
    if (WaitForMultipleObjects(2, ahEvents, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
        return false;  // the read is ended by FinishPendingIo
    DWORD dwRead = 0;
    if (!GetOverlappedResult(m_hPort.Get(), &m_ov, &dwRead, FALSE))
        return ReadFailed(GetLastError());
    // With no time-outs a read ends without a byte only at the end of the data.
    if (dwRead != 1)
        return ReadFailed(ERROR_HANDLE_EOF);
    Deliver(m_byRead);
    // What came meanwhile is read at once, in order: a waiting read per byte
    // costs Wine far more than one that returns with what is queued.
    SetWaitingReads(FALSE);
    const bool bGoOn = ReceiveChars();
    SetWaitingReads(TRUE);
    return bGoOn;
}

bool CComPort::ReadFailed(DWORD dwError) {
    if (IsDeviceGoneError(dwError)) {
        // The handle is of no use any more: tell the owner once and rest
        // until the driver is shut down.
        m_bGone = true;
        PostMessageA(m_hWndOwner, WM_PORT_GONE, static_cast<WPARAM>(m_nPortNumber), 0);
        WaitForSingleObject(m_hShutdownEvent.Get(), INFINITE);
        return false;
    }
    return WaitForSingleObject(m_hShutdownEvent.Get(), kFailedWaitPauseMs) != WAIT_OBJECT_0;
}

bool CComPort::ReceiveChars() {
    COMSTAT comstat = {};
    DWORD dwErrors = 0;
    // Line errors are cleared and the bytes delivered all the same. A device
    // that has gone fails the call: then nothing is queued that could be read.
    if (!ClearCommError(m_hPort.Get(), &dwErrors, &comstat))
        comstat.cbInQue = 0;
    while (comstat.cbInQue > 0) {
        if (m_bStop)
            return false;  // a stream that never pauses must not hold up the close
        BYTE byChar = 0;
        DWORD dwRead = 0;
        BOOL bRead = ReadFile(m_hPort.Get(), &byChar, 1, &dwRead, &m_ov);
        if (!bRead && GetLastError() == ERROR_IO_PENDING)
            bRead = GetOverlappedResult(m_hPort.Get(), &m_ov, &dwRead, TRUE);
        if (!bRead || dwRead != 1)
            return true;  // the next port event starts a new drain
        Deliver(byChar);
        if (!ClearCommError(m_hPort.Get(), &dwErrors, &comstat))
            comstat.cbInQue = 0;
    }
    return true;
}

void CComPort::FinishPendingIo() {
    if (HasOverlappedIoCompleted(&m_ov))
        return;
    // A port wait ends when the event mask changes, a read when its issuer
    // (this thread) cancels it. Either completes, and only then may m_ov and
    // the stack it writes to go: a late completion (Wine's comes from a
    // helper thread) would write into freed memory.
    if (m_bReadMode)
        CancelIo(m_hPort.Get());
    else
        SetCommMask(m_hPort.Get(), 0);
    DWORD dwDone = 0;
    GetOverlappedResult(m_hPort.Get(), &m_ov, &dwDone, TRUE);
}

CComPort::~CComPort() { Close(); }

void CComPort::Close() {
    if (m_hPort.IsValid()) {
        // Drop DTR and RTS before the reader stops.
        m_dcb.DCBlength = sizeof m_dcb;
        if (GetCommState(m_hPort.Get(), &m_dcb)) {
            SetPortLines(m_dcb, PortLines::Dropped);
            SetCommState(m_hPort.Get(), &m_dcb);
        }
    }
    m_bStop = true;
    if (m_hShutdownEvent.IsValid())
        SetEvent(m_hShutdownEvent.Get());

    // The reader may be inside SendMessageA to the owner, handled only while
    // this thread takes sent messages: take those (and only those) until it
    // has returned. Posted messages and timers wait for the owner's loop, so
    // no command or timer runs in here.
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs a waiting sent message
        if (m_reader.HasEnded())
            break;
        const HANDLE hThread = m_reader.GetHandle();
        MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE);
    }
    m_reader.Join();
    m_hPort.Close();
    m_hIoEvent.Close();
    m_hShutdownEvent.Close();
    m_ov.hEvent = nullptr;
}
