// Driver of the COM port the instrument sends on. It opens the port with the
// instrument's line settings and runs a reader thread that hands every
// received byte, one at a time and in order, to the owner window.
//
// Threads: the owner's thread opens, starts and closes the driver; the
// reader thread alone uses the port, the overlapped record and the read
// state while it runs. The two share only the shutdown event and m_bStop
// (owner sets, reader waits or reads), m_bGone and m_nReaderTurns (reader
// writes, owner reads), and the owner window's handle, copied for the
// reader before it starts.
#pragma once

#include "framework/app_messages.h"
#include "framework/handles.h"
#include "framework/worker_thread.h"

#include <windows.h>

#include <atomic>

class CWnd;


class CComPort {
public:
    // The reader's exit code once it has returned after the shutdown.
    enum { kReaderExitCode = 100 };

    CComPort();
    // Closes the port if Close has not.
    virtual ~CComPort();

    // Opens COM<nPortNumber> with the definition "baud=.. parity=.. data=..
    // stop=..". FALSE only when the device cannot be opened; settings the
    // device refuses are left as they were.
    BOOL Open(CWnd* pOwner, int nPortNumber, int nBaudRate, char cParity, int nDataBits, int nStopBits,
              DWORD dwCommEvents);
    // Starts the reader thread, which sends to the owner's window as it is
    // now; FALSE if it could not be created.
    BOOL StartMonitoring();
    // TRUE when there is no reader thread or it is no longer running.
    BOOL HasThreadEnded() const { return m_reader.HasEnded(); }
    // Drops DTR and RTS, ends the reader thread and closes the port. While
    // it waits for the reader it handles only messages sent to this thread
    // (the reader's WM_PORT_CHAR), never posted ones or timers. Once closed
    // it does nothing.
    void Close();

    int GetPortNumber() const { return m_nPortNumber; }
    // TRUE once the reader has found the device gone.
    BOOL IsGone() const { return m_bGone.load() ? TRUE : FALSE; }

protected:
    UINT ReaderThread();
    // Each returns false when the reader is to end.
    bool WaitAndReceive();
    bool ReceiveChars();
    // Where port waits do not work: one pending one-byte read at a time.
    void SwitchToReading();
    void SetWaitingReads(BOOL bWait);
    bool ReadOneByte();
    bool ReadFailed(DWORD dwError);
    // Ends the overlapped call still outstanding and waits until it has.
    void FinishPendingIo();
    void Deliver(BYTE byChar) const;

    int m_nPortNumber;  // 3 for COM3; 0 before Open
    CHandle m_hShutdownEvent;  // set by Close, waited for by the reader
    CHandle m_hPort;
    CHandle m_hIoEvent;        // the event of m_ov
    OVERLAPPED m_ov;           // the reader's, shared by its overlapped calls
    COMMTIMEOUTS m_timeouts;
    DCB m_dcb;          // the line settings last asked for
    DWORD m_dwEvents;   // written by the reader's port wait when it ends
    HWND m_hWndOwner;  // copied by StartMonitoring; the reader sends here
    CWnd* m_pOwner;
    // Turns of the reader's loop so far. A reader that rests after failed
    // waits makes at most one every 50 ms while nothing arrives; one that
    // circles makes many more.
    std::atomic<long> m_nReaderTurns;
    BOOL m_bReadMode;  // the reader reads instead of waiting for port events
    BYTE m_byRead;     // target of the pending read
    std::atomic<bool> m_bGone;
    std::atomic<bool> m_bStop;  // set by Close with the shutdown event, read by the reader between bytes
    CWorkerThread m_reader;  // last: joined before the members it uses go

private:
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;
};
