#pragma once
// The link's figures, each against its baseline measured in the same call: UnitClient against the
// simulated unit over a pty and through the proxy server (unpaced, as fast as they go), and a
// whole configuration read and a monitor poll cycle against a unit paced like a 115200 baud line.
#include "bench/Report.h"

namespace jvo::bench {

// The unpaced figures run every thread of both sides on one CPU (the one the caller is on), so
// that where the scheduler happens to place the threads (a wake-up across CPUs costs far more
// than one on the same CPU, on a virtual machine most of all) decides neither side's figure. Their
// windows alternate between baseline and link; each side's best window counts, which takes out
// what other programs on the machine cost them.
struct LinkBenchOptions {
    double windowSeconds = 0.3;  // each timed window of the unpaced figures
    int rounds = 10;             // alternating baseline/link windows
    int readRuns = 5;            // whole configuration reads; the median counts
    int pollCycles = 5;          // poll cycles timed after the first; the median counts
    int baud = 115200;
};

Figure SerialUnpaced(const LinkBenchOptions& o);
Figure ProxyUnpaced(const LinkBenchOptions& o);
Figure ReadConfigPaced(const LinkBenchOptions& o);
Figure PollCyclePaced(const LinkBenchOptions& o);

}  // namespace jvo::bench
