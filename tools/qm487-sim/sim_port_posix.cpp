#include "sim_port.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace qm487sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

std::string Errno() { return std::strerror(errno); }

// Unix98 pseudo-terminal slaves have majors 136 to 143.
bool IsPseudoTerminal(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

class CTerminalOutput : public COutput {
public:
    CTerminalOutput(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}
    ~CTerminalOutput() override { ::close(m_fd); }

    bool Write(const unsigned char* data, std::size_t n, std::string& error) override {
        while (n > 0) {
            const ssize_t w = ::write(m_fd, data, n);
            // A stop interrupts a write only when the link is held up; then
            // it may cut the line, or the blocked write would keep us forever.
            if (g_stop && (w < 0 ? errno == EINTR : static_cast<std::size_t>(w) < n))
                return true;
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                error = "cannot write to " + m_name + ": " + Errno();
                return false;
            }
            data += w;
            n -= static_cast<std::size_t>(w);
        }
        return true;
    }

    // Waits while the output queue keeps shrinking, and after Ctrl-C not
    // long: a fast run leaves minutes of 300 baud queued. tcdrain() would
    // also wait for good on a line that is held up.
    void Drain() override {
        using namespace std::chrono;
        int queued = 0, before = -1;
        const steady_clock::time_point start = steady_clock::now();
        steady_clock::time_point progress = start;
        while (::ioctl(m_fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
            const steady_clock::time_point now = steady_clock::now();
            if (queued != before) {
                before = queued;
                progress = now;
            }
            if (now - progress > seconds(1) || (g_stop && now - start > seconds(2))) {
                ::tcflush(m_fd, TCOFLUSH);
                return;
            }
            ::usleep(10000);
        }
        ::tcdrain(m_fd);  // the last few characters in the UART
    }

private:
    int m_fd;
    std::string m_name;
};

}  // namespace

std::unique_ptr<COutput> OpenPort(const std::string& name, std::string& error) {
    // Non-blocking so that a modem port without carrier does not hold the
    // open; CLOCAL below makes the carrier irrelevant from then on.
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + name + ": " + Errno();
        return nullptr;
    }
    termios t;
    if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
        error = "cannot use " + name + ": not a serial port or terminal (--output writes to files)";
        ::close(fd);
        return nullptr;
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS7 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    int rc = -1;
    if (::cfsetispeed(&t, B300) == 0 && ::cfsetospeed(&t, B300) == 0) {
        rc = ::tcsetattr(fd, TCSANOW, &t);
        // Pseudo-terminals are always 8 bits and refuse a request whose only
        // change is 7 bits. The bytes are the same: their top bit is clear.
        if (rc != 0 && errno == EINVAL) {
            t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS8;
            rc = ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    if (rc != 0) {
        error = "cannot set 300 baud 7N1 on " + name + ": " + Errno();
        ::close(fd);
        return nullptr;
    }
    termios now;
    if (::tcgetattr(fd, &now) == 0 && (now.c_cflag & CSIZE) != CS7 && !IsPseudoTerminal(fd))
        std::fprintf(stderr,
                     "qm487-sim: warning: %s does not take 7 data bits; sending 8N1 with the top bit "
                     "clear, which a 7N1 receiver sees with framing errors\n",
                     name.c_str());
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = "cannot set up " + name + ": " + Errno();
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<COutput>(new CTerminalOutput(fd, name));
}

void InstallStopHandlers() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocked write or drain returns
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    // A closed pipe on --output - is a write error with a message, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return g_stop != 0; }

void StopHandled() {}

bool SleepUntil(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        if (g_stop)
            return false;
        const auto left = deadline - steady_clock::now();
        if (left <= steady_clock::duration::zero())
            return true;
        // Short slices: a signal landing just before the sleep still ends it soon.
        const auto slice = std::min<steady_clock::duration>(left, milliseconds(100));
        const auto ns = duration_cast<nanoseconds>(slice).count();
        timespec ts;
        ts.tv_sec = static_cast<time_t>(ns / 1000000000);
        ts.tv_nsec = static_cast<long>(ns % 1000000000);
        ::nanosleep(&ts, nullptr);
    }
}

}  // namespace qm487sim
