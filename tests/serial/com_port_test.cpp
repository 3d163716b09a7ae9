// The serial port driver on the Wine bench's pair COM11 <-> COM12: what is
// written to COM12 must reach the driver's owner window on COM11.
#include "port_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const int kPort = 11;
const int kFarPort = 12;

BOOL OpenLikeTheProgram(CComPort& port, CWnd* pOwner, int nPort) {
    return port.Open(pOwner, nPort, 300, 'N', 7, 1, EV_RXCHAR);
}

TEST(ComPortWithoutReader, DestroyReturnsAtOnceAndClosesOnlyWhatWasOpened) {
    RecordingOwner owner;
    auto* missing = new ProbedPort;
    EXPECT_FALSE(OpenLikeTheProgram(*missing, &owner, 99));
    EXPECT_FALSE(missing->m_hPort.IsValid());
    const HANDLE missingEvents[] = {missing->m_hIoEvent.Get(), missing->m_hShutdownEvent.Get()};

    auto* idle = new ProbedPort;
    ASSERT_TRUE(OpenLikeTheProgram(*idle, &owner, kPort));
    COMMTIMEOUTS timeouts = {};
    ASSERT_TRUE(GetCommTimeouts(idle->m_hPort.Get(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);  // reads return at once with what is queued
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    DWORD mask = 0;
    ASSERT_TRUE(GetCommMask(idle->m_hPort.Get(), &mask));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_TRUE(idle->HasThreadEnded());
    const HANDLE idleHandles[] = {idle->m_hIoEvent.Get(), idle->m_hPort.Get(), idle->m_hShutdownEvent.Get()};

    {
        Watchdog guard(5000, "destroying drivers without a reader thread");
        delete missing;
        delete idle;
    }
    for (HANDLE h : missingEvents)
        EXPECT_FALSE(HandleIsOpen(h));
    for (HANDLE h : idleHandles)
        EXPECT_FALSE(HandleIsOpen(h));
}

class ComPortReception : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(farEnd.IsOpen());
        ASSERT_TRUE(OpenLikeTheProgram(*port, &owner, kPort));
    }
    void TearDown() override {
        Watchdog guard(10000, "destroying the driver");
        port.reset();
    }
    void StartListening() {
        ASSERT_TRUE(port->StartMonitoring());
        ASSERT_TRUE(WaitUntilReaderListens(owner, farEnd));
    }
    bool ReceiveAtLeast(size_t n, DWORD timeoutMs) {
        return PumpUntil([&] { return owner.bytes.size() >= n; }, timeoutMs);
    }

    RecordingOwner owner;
    FarEnd farEnd{kFarPort};
    std::unique_ptr<ProbedPort> port = std::make_unique<ProbedPort>();
};

TEST_F(ComPortReception, EveryByteIsOneMessageInOrder) {
    StartListening();
    const std::string line = "\x02T3 +0023.4 A0 12345\r";
    ASSERT_TRUE(farEnd.WriteNow(line));
    ASSERT_TRUE(ReceiveAtLeast(line.size(), 5000)) << "got " << owner.bytes.size();
    PumpUntil([] { return false; }, 200);  // nothing more may follow
    EXPECT_EQ(owner.bytes, line);
    EXPECT_EQ(owner.nonZeroLParams, 0);
}

TEST_F(ComPortReception, BurstArrivesWholeAndInOrderWithAllByteValues) {
    // A Linux pseudo-terminal keeps 8 data bits whatever is asked (7 bits are
    // dropped, or refused with EINVAL when nothing else changes), so bit 7
    // comes through unmasked.
    StartListening();
    std::string burst(10000, '\0');
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>(i * 7 % 256);
    farEnd.BeginWrite(burst);
    ASSERT_TRUE(ReceiveAtLeast(burst.size(), 60000)) << "got " << owner.bytes.size();
    EXPECT_TRUE(farEnd.Finish(5000));
    EXPECT_TRUE(owner.bytes == burst);  // not EXPECT_EQ: 10,000 bytes would flood the log
    EXPECT_EQ(owner.nonZeroLParams, 0);
}

TEST_F(ComPortReception, BytesBeforeMonitoringAreDiscarded) {
    ASSERT_TRUE(farEnd.WriteNow("stale"));
    auto queued = [&] {
        COMSTAT st = {};
        DWORD errors = 0;
        ClearCommError(port->m_hPort.Get(), &errors, &st);
        return st.cbInQue;
    };
    ASSERT_TRUE(PumpUntil([&] { return queued() == 5; }, 5000)) << "the stale bytes never arrived";
    ASSERT_TRUE(port->StartMonitoring());
    ASSERT_TRUE(PumpUntil([&] { return queued() == 0; }, 5000));
    ASSERT_TRUE(farEnd.WriteNow("M"));
    ASSERT_TRUE(ReceiveAtLeast(1, 5000));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(owner.bytes, "M");
}

TEST_F(ComPortReception, AnIdleReaderDoesNotSpin) {
    ASSERT_NO_FATAL_FAILURE(StartListening());
    const LONG turnsSoFar = port->m_nReaderTurns;
    EXPECT_GT(turnsSoFar, 0) << "the byte that came through took a turn of the reader";
    const ReaderTurns idle = CountReaderTurnsWhilePumping(*port, 2000);
    EXPECT_LE(idle.turns, MostRestingReaderTurns(idle.elapsedMs)) << "in " << idle.elapsedMs << " ms";
}

// Waits until the reader is inside its SendMessageA, which this thread has
// not yet taken.
bool ReaderIsSending() {
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && GetTickCount64() < deadline)
        Sleep(1);
    return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
}

TEST_F(ComPortReception, TheReaderSendsToTheWindowItStartedWith) {
    StartListening();
    // The owner's handle is cleared while its window goes; the reader keeps
    // the one it was given and does not read the owner's member meanwhile.
    const HWND hWnd = owner.m_hWnd;
    owner.m_hWnd = nullptr;
    farEnd.BeginWrite("abc");
    const bool received = ReceiveAtLeast(3, 10000);
    owner.m_hWnd = hWnd;
    ASSERT_TRUE(received) << "got " << owner.bytes;
    EXPECT_EQ(owner.bytes, "abc");
    EXPECT_TRUE(farEnd.Finish(5000));
}

// A close that dispatched the owner's posted messages and timers would run
// commands (a port change, a reopen) in the middle of the close, which
// could come back to close the same driver again.
TEST(ComPortShutdown, CloseTakesTheReadersByteButRunsNoPostedMessageAndMayBeRepeated) {
    RecordingOwner owner;
    FarEnd farEnd(kFarPort);
    ProbedPort port;
    ASSERT_TRUE(OpenLikeTheProgram(port, &owner, kPort));
    ASSERT_TRUE(port.StartMonitoring());
    ASSERT_TRUE(WaitUntilReaderListens(owner, farEnd));
    ASSERT_TRUE(farEnd.WriteNow("Z"));
    ASSERT_TRUE(ReaderIsSending()) << "the byte was never sent";
    PostMessageA(owner.m_hWnd, RecordingOwner::kPosted, 0, 0);
    {
        Watchdog guard(10000, "closing the driver during a send");
        port.Close();
        EXPECT_TRUE(port.HasThreadEnded());
        port.Close();  // a second close does nothing
    }
    EXPECT_EQ(owner.bytes, "Z");
    EXPECT_EQ(owner.posted, 0) << "a posted message ran inside the close";
    EXPECT_TRUE(PumpUntil([&] { return owner.posted == 1; }, 5000)) << "the posted message waits for the loop";
}

TEST(ComPortShutdown, DestroyDuringASendHandlesTheByteThenEndsTheReaderWithCode100) {
    RecordingOwner owner;
    FarEnd farEnd(kFarPort);
    auto* port = new ProbedPort;
    ASSERT_TRUE(OpenLikeTheProgram(*port, &owner, kPort));
    ASSERT_TRUE(port->StartMonitoring());
    EXPECT_FALSE(port->HasThreadEnded());
    ASSERT_TRUE(WaitUntilReaderListens(owner, farEnd));
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), port->m_reader.GetHandle(), GetCurrentProcess(), &thread, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));
    const HANDLE handles[] = {port->m_hIoEvent.Get(), port->m_hPort.Get(), port->m_hShutdownEvent.Get()};
    const DCB* dcb = &port->m_dcb;  // stays readable while the destructor runs

    bool shutdownSignalled = false;
    bool linesDropped = false;
    owner.onChar = [&] {
        shutdownSignalled = WaitForSingleObject(handles[2], 0) == WAIT_OBJECT_0;
        // On a pseudo-terminal the modem lines cannot be observed; what the
        // driver asked the port for can.
        linesDropped = dcb->fDtrControl == DTR_CONTROL_DISABLE && dcb->fRtsControl == RTS_CONTROL_DISABLE;
    };

    // Without dispatching, the reader stays inside its SendMessageA.
    ASSERT_TRUE(farEnd.WriteNow("X"));
    ASSERT_TRUE(ReaderIsSending()) << "the byte was never sent";
    ASSERT_TRUE(owner.bytes.empty());

    {
        Watchdog guard(10000, "destroying the driver during a send");
        delete port;
    }
    EXPECT_EQ(owner.bytes, "X");
    EXPECT_TRUE(shutdownSignalled) << "the byte was handled before the destructor's wait";
    EXPECT_TRUE(linesDropped) << "DTR and RTS were not dropped before the shutdown";
    DWORD exitCode = 0;
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 100u);
    CloseHandle(thread);
    for (HANDLE h : handles)
        EXPECT_FALSE(HandleIsOpen(h));
}

}  // namespace
