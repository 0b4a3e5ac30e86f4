#pragma once
// How the operating system asks a program to stop, the process part of the platform layer:
// SIGINT or SIGTERM on POSIX; Ctrl+C, Ctrl+Break, closing the console or logging off on
// Windows.
#include <cstdint>
#include <string>

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

// While alive, a stop request does not end the program: the first one prints `notice` (one line,
// on standard error) and is remembered; the previous handling comes back at the end. For the steps
// that must not be cut off halfway: an install or a reset, from its first write to the unit until
// the unit runs again. One at a time.
class HeldStopRequests {
public:
    explicit HeldStopRequests(std::string notice);
    ~HeldStopRequests();
    HeldStopRequests(const HeldStopRequests&) = delete;
    HeldStopRequests& operator=(const HeldStopRequests&) = delete;
    // True once a stop was asked for.
    bool Arrived() const;

private:
    std::string m_Notice;
};

// A write to a pipe or socket whose reader went away fails with an error instead of ending the
// program (standard output closed early is an output error, exit 74).
void IgnoreBrokenPipes();

}  // namespace jvo
