#pragma once
// How the operating system asks a program to stop, the process part of the platform layer:
// SIGINT or SIGTERM on POSIX; Ctrl+C, Ctrl+Break, closing the console or logging off on
// Windows.
#include <cstdint>

namespace jvo {

class StopRequests {
public:
    // Takes the requests from now on, instead of their default action (ending the program at
    // once). Make it before starting threads: on POSIX the signals are blocked in the calling
    // thread and in every thread started later, and only Wait() takes them. One per program.
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // Waits up to timeoutMs (negative: no limit): true once a stop was asked for.
    bool Wait(int32_t timeoutMs);
};

// A write to a pipe or socket whose reader went away fails with an error instead of ending the
// program (standard output closed early is an output error, exit 74).
void IgnoreBrokenPipes();

}  // namespace jvo
