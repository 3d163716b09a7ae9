// Where the simulator's bytes go, and the few operating-system services its
// loop needs (stop request, sleeping). One implementation per platform.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace qm487sim {

class COutput {
public:
    virtual ~COutput() {}
    // All n bytes, or false with a message.
    virtual bool Write(const unsigned char* data, std::size_t n, std::string& error) = 0;
    // Returns when what was written has left (a port) or reached the file.
    virtual void Drain() = 0;
};

// A serial port at 300 baud 7N1, or null with a message. On Windows "COM5"
// and "5" name \\.\COM5, anything else is a device path; elsewhere a path to
// a terminal device (a real port or a pseudo-terminal).
std::unique_ptr<COutput> OpenPort(const std::string& name, std::string& error);

// A file, "-" for standard output; null with a message.
std::unique_ptr<COutput> OpenFileOutput(const std::string& path, std::string& error);

// Ctrl-C (and SIGTERM, or closing the console) asks the run to stop.
void InstallStopHandlers();
bool StopRequested();
// Tells a console-close handler that cleanup is over and Windows may end us.
void StopHandled();

// Sleeps until the deadline; false when a stop was requested first.
bool SleepUntil(std::chrono::steady_clock::time_point deadline);

}  // namespace qm487sim
