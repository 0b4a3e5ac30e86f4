#pragma once
// The link's figures, each against its baseline measured in the same call: UnitClient against the
// simulated unit over a pty and through the proxy server (unpaced, as fast as they go), and a
// whole configuration read and a monitor poll cycle against a unit paced like a 115200 baud line.
#include "bench/Report.h"

namespace jvo::bench {

struct LinkBenchOptions {
    double windowSeconds = 1.0;  // each timed window of the unpaced figures
    int rounds = 5;              // alternating baseline/link windows; the median ratio counts
    int readRuns = 3;            // whole configuration reads; the median counts
    int pollCycles = 3;          // poll cycles timed after the first
    int baud = 115200;
};

Figure SerialUnpaced(const LinkBenchOptions& o);
Figure ProxyUnpaced(const LinkBenchOptions& o);
Figure ReadConfigPaced(const LinkBenchOptions& o);
Figure PollCyclePaced(const LinkBenchOptions& o);

}  // namespace jvo::bench
