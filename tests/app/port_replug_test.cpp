// A USB adapter pulled and plugged back under the same number: the bench's
// hangup takes the pair COM17 <-> COM18 (COM7 for the program, see
// port_dialog_test.cpp) away once, and the program comes back by itself.
#include "tests/app/program_harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace qm487test;

namespace {

const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";

bool HangUpPair(int nPort) {
    const char* state = std::getenv("QM487_WINE_STATE");
    if (state == nullptr)
        return false;
    std::string path = std::string("Z:") + state + "/tty/com" + std::to_string(nPort) + ".hangup";
    std::replace(path.begin(), path.end(), '/', '\\');
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

HANDLE OpenInstrumentEnd() {
    HANDLE h = INVALID_HANDLE_VALUE;
    WaitFor([&] {
        h = CreateFileW(L"\\\\.\\COM18", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return h != INVALID_HANDLE_VALUE;
    }, 10000);
    return h;
}

// Sends the line until the status line shows it was heard.
bool SendUntilHeard(HANDLE instrument, const RunningProgram& program, double value, DWORD timeoutMs) {
    InstrumentReading r;
    r.channel = 3;
    r.value = value;
    r.serialNumber = 4660;
    const std::string line = Line(r);
    return WaitFor([&] {
        DWORD written = 0;
        WriteFile(instrument, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        Sleep(300);
        return program.Status().rfind(L"QM-487 nr 4660.", 0) == 0 &&
               std::abs(program.Dialog()->Instrument().Channels()[3].dValue - value) < 0.01;
    }, timeoutMs);
}

}  // namespace

// QM487_REPLUG_CYCLES sets the number of pulls: 2 by default, 20 in
// scripts/soak.sh.
TEST(PortReplug, APulledAdapterIsReopenedSilentlyWhenItComesBack) {
    const char* cycles = std::getenv("QM487_REPLUG_CYCLES");
    const int nCycles = cycles ? std::max(1, std::atoi(cycles)) : 2;
    RunningProgram program("[GENERAL]\r\nPORT_NR=7\r\n");
    ASSERT_TRUE(program.Start());
    HANDLE instrument = OpenInstrumentEnd();
    ASSERT_NE(instrument, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SendUntilHeard(instrument, program, 21.5, 10000));

    int nBack = 0;
    for (int cycle = 0; cycle < nCycles; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(HangUpPair(17));
        EXPECT_TRUE(program.WaitForStatus(kLostLink, 8000)) << testing::PrintToString(program.Status());
        CloseHandle(instrument);

        // The pair is back (the bench restarts it); lines flow again unasked.
        instrument = OpenInstrumentEnd();
        ASSERT_NE(instrument, INVALID_HANDLE_VALUE);
        const double value = 22.5 + cycle % 10;
        ASSERT_TRUE(SendUntilHeard(instrument, program, value, 20000)) << testing::PrintToString(program.Status());
        ++nBack;
    }
    CloseHandle(instrument);
    EXPECT_EQ(program.WaitForMessageBox(0), nullptr);
    ASSERT_TRUE(program.Close());
    std::printf("adapter pulled and back: %d of %d cycles\n", nBack, nCycles);
}
