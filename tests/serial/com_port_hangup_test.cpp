// The farEnd end of the pair going away while the driver reads (a USB adapter
// pulled). Kept apart from the other driver tests: the bench's pair COM15 <->
// COM16 is pulled away here.
#include "port_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Kills the bench's relay behind COM<nPort> once: both ends see the other vanish.
bool HangUpPair(int nPort) {
    const char* state = std::getenv("QM487_WINE_STATE");
    if (state == nullptr)
        return false;
    std::string path = std::string("Z:") + state + "/tty/com" + std::to_string(nPort) + ".hangup";
    std::replace(path.begin(), path.end(), '/', '\\');
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

TEST(ComPortHangup, ReaderNeitherSpinsNorBlocksTheClose) {
    RecordingOwner owner;
    auto* port = new ProbedPort;
    {
        FarEnd farEnd(16);
        ASSERT_TRUE(farEnd.IsOpen());
        ASSERT_TRUE(port->Open(&owner, 15, 300, 'N', 7, 1, EV_RXCHAR));
        ASSERT_TRUE(port->StartMonitoring());
        ASSERT_TRUE(WaitUntilReaderListens(owner, farEnd));
        ASSERT_TRUE(farEnd.WriteNow("ok"));
        ASSERT_TRUE(PumpUntil([&] { return owner.bytes.size() == 2; }, 5000));
    }
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), port->m_reader.GetHandle(), GetCurrentProcess(), &thread, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));

    ASSERT_TRUE(HangUpPair(15));
    PumpUntil([] { return false; }, 300);
    const ReaderTurns gone = CountReaderTurnsWhilePumping(*port, 2000);
    EXPECT_LE(gone.turns, MostRestingReaderTurns(gone.elapsedMs)) << "in " << gone.elapsedMs << " ms";
    EXPECT_FALSE(port->HasThreadEnded());
    EXPECT_EQ(owner.bytes, "ok");

    {
        Watchdog guard(10000, "destroying the driver after the farEnd end went away");
        delete port;
    }
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 100u);
    CloseHandle(thread);
}

}  // namespace
