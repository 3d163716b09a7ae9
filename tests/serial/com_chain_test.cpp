// Proves the test bench itself: a COM port of the Wine environment is one
// end of a pseudo-terminal pair, and bytes written at the far end arrive.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

HANDLE OpenPort(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(ComChain, BytesWrittenAtTheFarEndArriveInOrder) {
    HANDLE reader = OpenPort("\\\\.\\COM13");
    ASSERT_NE(reader, INVALID_HANDLE_VALUE) << GetLastError();
    HANDLE writer = OpenPort("\\\\.\\COM14");
    ASSERT_NE(writer, INVALID_HANDLE_VALUE) << GetLastError();

    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(reader, &dcb));
    ASSERT_TRUE(BuildCommDCBA("baud=300 parity=N data=7 stop=1", &dcb));
    // A Linux pseudo-terminal refuses a change to 7 data bits once it has had
    // them, so a second run on the same pair fails here; the bytes are the same.
    if (!SetCommState(reader, &dcb))
        std::printf("SetCommState refused (%lu): the pair has had 7 data bits before\n", GetLastError());
    PurgeComm(reader, PURGE_RXCLEAR | PURGE_RXABORT);
    COMMTIMEOUTS t = {};
    t.ReadIntervalTimeout = 100;
    t.ReadTotalTimeoutConstant = 5000;  // bounded: a broken bench fails, never hangs
    ASSERT_TRUE(SetCommTimeouts(reader, &t));

    std::string sent;
    for (int i = 0; i < 256; ++i) sent += static_cast<char>(i & 0x7F);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(writer, sent.data(), static_cast<DWORD>(sent.size()), &n, nullptr));
    ASSERT_EQ(n, sent.size());

    std::string got;
    char buf[512];
    while (got.size() < sent.size()) {
        DWORD r = 0;
        ASSERT_TRUE(ReadFile(reader, buf, sizeof buf, &r, nullptr));
        if (r == 0) break;  // timed out
        got.append(buf, r);
    }
    EXPECT_EQ(got, sent);
    CloseHandle(writer);
    CloseHandle(reader);
}

TEST(ComChain, PortWithoutDeviceCannotBeOpened) {
    HANDLE h = OpenPort("\\\\.\\COM99");
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

}  // namespace
