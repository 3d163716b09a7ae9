// The built qm487-sim on a real port: a pseudo-terminal natively, COM18
// under Wine (its far end COM17 is read here). Every wait is bounded.
#include "sim_receiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifndef QM487_SIM_EXE
#error "QM487_SIM_EXE must name the simulator to run"
#endif

namespace {

using Clock = std::chrono::steady_clock;

const int kReadTimeoutMs = 20000;
const int kExitTimeoutMs = 15000;

void ExpectInTurn(const CReceiver& rx, const std::vector<int>& channels, int serial, bool fine) {
    for (std::size_t i = 0; i < rx.lines.size(); ++i) {
        const ReceivedLine& l = rx.lines[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(l.accepted);
        EXPECT_EQ(l.channel, channels[i % channels.size()]);
        EXPECT_EQ(l.serialNumber, serial);
        EXPECT_EQ(l.fine, fine);
    }
}

#ifndef _WIN32

struct SimRun {
    pid_t pid = -1;
    int errFd = -1;  // the child's standard error
};

SimRun Start(const std::vector<std::string>& args) {
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0)
        return SimRun();
    std::vector<std::string> all{QM487_SIM_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err[1], 2);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(err[1]);
    SimRun r;
    r.pid = pid;
    r.errFd = err[0];
    return r;
}

// Exit code, or -1 when it had to be killed or died of a signal.
int Finish(SimRun& r, std::string* errText = nullptr) {
    if (r.pid <= 0)
        return -1;
    int status = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kExitTimeoutMs);
    pid_t got;
    while ((got = ::waitpid(r.pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        ::usleep(10000);
    if (got == 0) {
        ADD_FAILURE() << "qm487-sim did not end";
        ::kill(r.pid, SIGKILL);
        ::waitpid(r.pid, &status, 0);
        status = -1;
    }
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(r.errFd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(r.errFd);
    r.pid = -1;
    if (errText)
        *errText = text;
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads until `lines` lines have been received or the time is up; with
// lines 0, until the link has been quiet for quietMs.
void Receive(int fd, CReceiver& rx, std::size_t lines, int timeoutMs, int quietMs = 0) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((lines == 0 || rx.lines.size() < lines) && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, quietMs ? quietMs : 100);
        if (ready == 0 && quietMs)
            return;
        if (ready <= 0)
            continue;
        unsigned char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return;
        rx.Feed(buf, static_cast<std::size_t>(n));
    }
}

class Pty {
public:
    int master = -1, slave = -1;
    char name[128] = {};
    Pty() {
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            ::fcntl(master, F_SETFD, FD_CLOEXEC);
            ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        }
    }
    // The slave stays open here too, so the master never sees a hangup when
    // the simulator closes it.
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

TEST(sim_end_to_end, LinesArriveOnAPseudoTerminal) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    SimRun run = Start({"--port", pty.name, "--fast", "--count", "27", "--form", "long", "--serial", "0x0102",
                        "--channels", "1-8,0", "--value", "5=-12.34"});
    CReceiver rx;
    Receive(pty.master, rx, 27, kReadTimeoutMs);
    EXPECT_EQ(Finish(run), 0);
    ASSERT_EQ(rx.lines.size(), 27u);
    ExpectInTurn(rx, {1, 2, 3, 4, 5, 6, 7, 8, 0}, 258, true);
    EXPECT_DOUBLE_EQ(rx.lines[4].value, -1234 * 0.01);
    EXPECT_EQ(rx.Pending(), 0);

    // Again at the instrument's pace, on a terminal that is already at 300
    // baud: a pseudo-terminal then refuses the request for 7 bits.
    run = Start({"--port", pty.name, "--count", "3", "--channels", "7"});
    CReceiver paced;
    Receive(pty.master, paced, 3, kReadTimeoutMs);
    std::string err;
    EXPECT_EQ(Finish(run, &err), 0) << err;
    ASSERT_EQ(paced.lines.size(), 3u);
    ExpectInTurn(paced, {7}, 4660, false);
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;
}

TEST(sim_end_to_end, InterruptStopsBetweenLines) {
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        Pty pty;
        ASSERT_GE(pty.master, 0);
        SimRun run = Start({"--port", pty.name});  // no end of its own
        CReceiver rx;
        Receive(pty.master, rx, 2, kReadTimeoutMs);
        ASSERT_EQ(rx.lines.size(), 2u);
        ::kill(run.pid, sig);
        std::string err;
        EXPECT_EQ(Finish(run, &err), 0);
        EXPECT_NE(err.find("stopped"), std::string::npos) << err;
        Receive(pty.master, rx, 0, 2000, 200);  // whatever was still on its way
        EXPECT_EQ(rx.Pending(), 0) << "no line cut short";
        EXPECT_EQ(rx.Accepted(), rx.lines.size());
    }
}

TEST(sim_end_to_end, InterruptEndsARunThatNobodyReads) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    SimRun run = Start({"--port", pty.name, "--fast"});
    ::usleep(500000);  // fast and unread: the terminal's buffer fills and the writes block
    ::kill(run.pid, SIGINT);
    std::string err;
    EXPECT_EQ(Finish(run, &err), 0) << "draining must give up on a link that takes nothing";
    EXPECT_NE(err.find("stopped"), std::string::npos) << err;
}

TEST(sim_end_to_end, CaptureFileDecodes) {
    const std::string path = testing::TempDir() + "qm487-sim-capture.bin";
    SimRun run = Start({"--output", path, "--fast", "--count", "9", "--form", "long16", "--bad-parity", "9"});
    EXPECT_EQ(Finish(run), 0);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> bytes(64 * 1024);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    CReceiver rx;
    rx.Feed(bytes);
    std::remove(path.c_str());
    ASSERT_EQ(rx.lines.size(), 9u);
    EXPECT_EQ(rx.Accepted(), 8u);
    EXPECT_EQ(rx.lines[0].length, 16);
    EXPECT_FALSE(rx.lines[8].accepted);
}

TEST(sim_end_to_end, BadInputExitsWithTwoAndSaysWhy) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--port", "/nonexistent/ttyQM0"}, "cannot open /nonexistent/ttyQM0: No such file or directory"},
        {{"--port", "/dev/null"}, "not a serial port or terminal"},
        {{"--output", "/nonexistent/dir/capture.bin", "--count", "1"}, "cannot create /nonexistent/dir/capture.bin"},
        {{"--port", "/dev/null", "--frobnicate"}, "unknown option --frobnicate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SimRun run = Start(c.args);
        std::string err;
        EXPECT_EQ(Finish(run, &err), 2);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
}

#else  // _WIN32

// The simulator is built on the Linux side; Wine sees that file system as Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/')
            ch = '\\';
    return path;
}

PROCESS_INFORMATION Start(const std::string& args) {
    std::string cmd = "\"" + WindowsPath(QM487_SIM_EXE) + "\" " + args;
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << cmd << ": error " << GetLastError();
        return pi;
    }
    CloseHandle(pi.hThread);
    return pi;
}

// Exit code, or -1 when it did not start or had to be ended.
int Finish(PROCESS_INFORMATION& pi) {
    if (!pi.hProcess)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "qm487-sim did not end";
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    } else {
        GetExitCodeProcess(pi.hProcess, &code);
    }
    CloseHandle(pi.hProcess);
    pi.hProcess = nullptr;
    return static_cast<int>(code);
}

int RunSim(const std::string& args) {
    PROCESS_INFORMATION pi = Start(args);
    return Finish(pi);
}

// COM17, the far end of the simulator's COM18. A pseudo-terminal underneath:
// line settings make no difference to what arrives.
class Com17 {
public:
    HANDLE h = INVALID_HANDLE_VALUE;
    Com17() {
        h = CreateFileA("\\\\.\\COM17", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return;
        // A read returns what has come within 100 ms, so the loop below is bounded.
        COMMTIMEOUTS t;
        ZeroMemory(&t, sizeof t);
        t.ReadIntervalTimeout = MAXDWORD;
        t.ReadTotalTimeoutMultiplier = MAXDWORD;
        t.ReadTotalTimeoutConstant = 100;
        SetCommTimeouts(h, &t);
        PurgeComm(h, PURGE_RXCLEAR);
    }
    ~Com17() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    void Receive(CReceiver& rx, std::size_t lines) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
        while (rx.lines.size() < lines && Clock::now() < deadline) {
            unsigned char buf[512];
            DWORD n = 0;
            if (!ReadFile(h, buf, sizeof buf, &n, nullptr))
                return;
            rx.Feed(buf, n);
        }
    }
};

TEST(sim_end_to_end, LinesArriveOnComPort) {
    Com17 com;
    ASSERT_NE(com.h, INVALID_HANDLE_VALUE) << "COM17 missing: error " << GetLastError();
    PROCESS_INFORMATION pi = Start("--port COM18 --fast --count 27 --form long --serial 0x0102 "
                                   "--channels 1-8,0 --value 5=-12.34");
    CReceiver rx;
    com.Receive(rx, 27);
    EXPECT_EQ(Finish(pi), 0);
    ASSERT_EQ(rx.lines.size(), 27u);
    ExpectInTurn(rx, {1, 2, 3, 4, 5, 6, 7, 8, 0}, 258, true);
    EXPECT_DOUBLE_EQ(rx.lines[4].value, -1234 * 0.01);

    // Again, the port by its number and at the instrument's pace.
    pi = Start("--port 18 --count 3 --channels 7");
    CReceiver paced;
    com.Receive(paced, 3);
    EXPECT_EQ(Finish(pi), 0);
    ASSERT_EQ(paced.lines.size(), 3u);
    ExpectInTurn(paced, {7}, 4660, false);
}

TEST(sim_end_to_end, BadInputExitsWithTwo) {
    EXPECT_EQ(RunSim("--port COM99 --count 1"), 2);
    EXPECT_EQ(RunSim("--port COM18 --frobnicate"), 2);
    EXPECT_EQ(RunSim("--output Z:\\nonexistent\\dir\\capture.bin --count 1"), 2);
}

#endif

}  // namespace
