#pragma once
// The monitor's figures, measured on the real programs in child processes: jvo-sim serves the
// unit on a pty, the monitor's windows run on Qt's offscreen platform (unless a display is set).
// - monitor-cpu-ratio: the jvo-monitor process's CPU time (from /proc/<pid>/stat) a request
//   while it polls a unit paced at 115200 baud, over the same of a bare loop (BareClient.h)
//   against a unit of its own, in alternating windows; each side's median window counts.
// - monitor-cpu: the monitor's windows in percent of one core, for reading (a system call costs
//   what the host lets it cost, so its goal is information only).
// - ui-lag-p99: jvo-bench-ui runs the monitor's window with a 10 ms timer probe on its event loop
//   while it polls an unpaced unit, and reports how late the probe fired.
// The programs are looked for next to jvo-bench, then where the build tree puts them.
#include <string>
#include <vector>

#include "bench/Report.h"

namespace jvo::bench {

struct MonitorBenchOptions {
    std::string self;          // argv[0] of jvo-bench
    double cpuSeconds = 60;    // the monitor's CPU windows together
    int windows = 6;           // monitor windows, each followed by a bare loop's
    double lagSeconds = 10;    // the lag probe's window
    double settleSeconds = 3;  // after the first readings, before measuring
};

// monitor-cpu-ratio and monitor-cpu.
std::vector<Figure> MonitorCpu(const MonitorBenchOptions& o);
Figure UiLagP99(const MonitorBenchOptions& o);

}  // namespace jvo::bench
