// Driver of the COM port the instrument sends on. It opens the port with the
// instrument's line settings and runs a reader thread that hands every
// received byte, one at a time and in order, to the owner window.
#pragma once

#include <windows.h>

class CWinThread;
class CWnd;

// Sent (not posted) by the reader thread for each received byte: wParam is
// the byte (0 to 255), lParam is 0. The reader waits until it is handled.
constexpr UINT WM_PORT_CHAR = WM_USER + 4;
// Posted once by the reader when the port's device has gone (a USB adapter
// pulled): wParam is the port number. The reader no longer uses the port;
// only a new driver on a reopened port reads again.
constexpr UINT WM_PORT_GONE = WM_USER + 5;

class CComPort {
public:
    CComPort();
    // Drops DTR and RTS, ends the reader thread and closes the port. Runs on
    // the owner's thread and dispatches the owner's messages while it waits.
    virtual ~CComPort();

    // Opens COM<nPortNumber> with the definition "baud=.. parity=.. data=..
    // stop=..". FALSE only when the device cannot be opened; settings the
    // device refuses are left as they were.
    BOOL Open(CWnd* pOwner, int nPortNumber, int nBaudRate, char cParity, int nDataBits, int nStopBits,
              DWORD dwCommEvents);
    // Starts the reader thread; FALSE if it could not be created.
    BOOL StartMonitoring();
    // TRUE when there is no reader thread or it is no longer running.
    BOOL HasThreadEnded() const;

    int GetPortNumber() const { return m_nPortNumber; }
    // TRUE once the reader has found the device gone.
    BOOL IsGone() const { return m_bGone; }

protected:
    static UINT __cdecl ReaderThread(LPVOID pParam);
    void ReceiveChars();
    // Where port waits do not work: one pending one-byte read at a time.
    void SwitchToReading();
    void SetWaitingReads(BOOL bWait);
    void ReadOneByte();
    void ReadFailed(DWORD dwError);
    [[noreturn]] void EndReaderThread();

    int m_nBaudRate;
    int m_nPortNumber;  // 3 for COM3; 0 before Open
    DWORD m_dwTransmitLength;
    BYTE m_abTransmitBuffer[256];
    CWinThread* m_pThread;
    CRITICAL_SECTION m_csPort;  // guards the use of m_hPort by the reader thread
    HANDLE m_hShutdownEvent;
    HANDLE m_hPort;  // nullptr before Open, INVALID_HANDLE_VALUE after a failed Open
    HANDLE m_hTransmitEvent;
    HANDLE m_ahWaitEvents[3];  // shutdown, port I/O, transmit: a lower index wins
    OVERLAPPED m_ov;           // shared by all overlapped calls; hEvent is the port I/O event
    COMMTIMEOUTS m_timeouts;
    DCB m_dcb;
    CWnd* m_pOwner;
    DWORD m_dwCommEvents;
    // Turns of the reader's loop so far. A reader that rests after failed
    // waits makes at most one every 50 ms while nothing arrives; one that
    // circles makes many more.
    volatile LONG m_nReaderTurns;
    BOOL m_bReadMode;        // the reader reads instead of waiting for port events
    BYTE m_byRead;           // target of the pending read
    volatile BOOL m_bGone;   // set by the reader, read by the owner

private:
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;
};
