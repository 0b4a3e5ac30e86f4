#pragma once
// The floor under monitor-cpu: what the kernel's side of one exchange at a time costs when the
// program does nothing else. A bare loop writes a CT reading request to the serial device, waits
// for the reply with poll and reads it, against the same paced unit the monitor polled. Its CPU
// time is the pty's and the scheduler's share, which no change to the programs can take away.
#include <string>

namespace jvo::bench {

struct BareClientLoad {
    double cpuPercent = -1;  // of one core, for the loop's thread
    double exchangesPerSecond = 0;
};

// Runs the loop on `device` (a serial device path) for `seconds`; cpuPercent is -1 when the
// device cannot be opened or the unit does not answer.
BareClientLoad MeasureBareClient(const std::string& device, double seconds);

}  // namespace jvo::bench
