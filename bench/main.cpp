// jvo-bench: every performance figure of the programs in one run, each next to its baseline
// measured in the same run. Prints a table, then one "RESULT <name> <value> <op> <goal>" line per
// figure. Exit status 0 when every figure was measured (met or not), 1 when one could not be.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/LinkBench.h"
#include "bench/MonitorBench.h"
#include "bench/Report.h"

namespace {

const char* const kUsage =
    "Usage: jvo-bench [--quick] [--only NAME[,NAME...]] [--cpu-seconds N]\n"
    "Measures the link against a raw pty and a raw TCP ping-pong, a whole configuration read\n"
    "and a poll cycle against a unit paced at 115200 baud, and the monitor's CPU use and\n"
    "event-loop lag. Prints a table, then one line per figure:\n"
    "  RESULT <name> <value> <op> <goal>\n"
    "  --quick          short windows (a smoke run: the figures are rough)\n"
    "  --only NAMES     only these figures (serial-unpaced, proxy-unpaced, readconfig-paced,\n"
    "                   pollcycle-paced, monitor-cpu, ui-lag-p99)\n"
    "  --cpu-seconds N  how long monitor-cpu watches the monitor (default 60, --quick 2)\n"
    "Exit status: 0 every figure measured, 1 one could not be measured, 2 usage.\n";

bool Wanted(const std::string& only, const char* name) {
    if (only.empty()) return true;
    return ("," + only + ",").find(std::string(",") + name + ",") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace jvo::bench;
    bool quick = false;
    std::string only;
    double cpuSeconds = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--quick") {
            quick = true;
        } else if (a == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (a == "--cpu-seconds" && i + 1 < argc) {
            cpuSeconds = std::strtod(argv[++i], nullptr);
            if (cpuSeconds < 1 || cpuSeconds > 3600) {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    LinkBenchOptions link;
    MonitorBenchOptions mon;
    mon.self = argv[0];
    if (quick) {
        link.windowSeconds = 0.1;
        link.rounds = 3;
        link.readRuns = 1;
        link.pollCycles = 1;
        mon.cpuSeconds = 2;
        mon.lagSeconds = 1;
        mon.settleSeconds = 1;
    }
    if (cpuSeconds > 0) mon.cpuSeconds = cpuSeconds;
    std::printf("jvo-bench%s\n", quick ? " --quick (short windows: rough figures)" : "");

    std::vector<Figure> figures;
    auto run = [&](const char* name, auto&& measure) {
        if (!Wanted(only, name)) return;
        std::printf("measuring %s...\n", name);
        std::fflush(stdout);
        figures.push_back(measure());
        std::printf("  %s %.3f (%s)\n", name, figures.back().value, figures.back().detail.c_str());
        std::fflush(stdout);
    };
    run("serial-unpaced", [&] { return SerialUnpaced(link); });
    run("proxy-unpaced", [&] { return ProxyUnpaced(link); });
    run("readconfig-paced", [&] { return ReadConfigPaced(link); });
    run("pollcycle-paced", [&] { return PollCyclePaced(link); });
    run("monitor-cpu", [&] { return MonitorCpu(mon); });
    run("ui-lag-p99", [&] { return UiLagP99(mon); });

    PrintTable(figures);
    PrintResults(figures);
    for (const Figure& f : figures)
        if (!f.measured) return 1;
    return 0;
}
