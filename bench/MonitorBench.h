#pragma once
// The monitor's figures, measured on the real programs in child processes: jvo-sim serves the
// unit on a pty, the monitor's windows run on Qt's offscreen platform (unless a display is set).
// - monitor-cpu: the jvo-monitor process's CPU time (from /proc/<pid>/stat) while it polls a
//   unit paced at 115200 baud, in percent of one core; next to it the floor of a bare loop
//   against the same unit (BareClient.h).
// - ui-lag-p99: jvo-bench-ui runs the monitor's window with a 10 ms timer probe on its event loop
//   while it polls an unpaced unit, and reports how late the probe fired.
// The programs are looked for next to jvo-bench, then where the build tree puts them.
#include <string>

#include "bench/Report.h"

namespace jvo::bench {

struct MonitorBenchOptions {
    std::string self;          // argv[0] of jvo-bench
    double cpuSeconds = 60;    // the CPU window
    double lagSeconds = 10;    // the lag probe's window
    double settleSeconds = 3;  // after the first readings, before measuring
};

Figure MonitorCpu(const MonitorBenchOptions& o);
Figure UiLagP99(const MonitorBenchOptions& o);

}  // namespace jvo::bench
