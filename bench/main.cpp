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
#include "bench/SiteBench.h"

namespace {

const char* const kUsage =
    "Usage: jvo-bench [--quick] [--only NAME[,NAME...]] [--cpu-seconds N]\n"
    "Measures the link against a raw pty and a raw TCP ping-pong, a whole configuration read\n"
    "and a poll cycle against a unit paced at 115200 baud, the monitor's CPU use against a bare\n"
    "loop's and its event-loop lag, and the cost of a site: many units in one exporter, many\n"
    "clients on one proxy server. Prints a table, then one line per figure:\n"
    "  RESULT <name> <value> <op> <goal>[ info]\n"
    "  --quick          short windows (a smoke run: the figures are rough)\n"
    "  --only NAMES     only these figures (serial-unpaced, proxy-unpaced, readconfig-paced,\n"
    "                   pollcycle-paced, monitor-cpu-ratio, monitor-cpu, ui-lag-p99,\n"
    "                   exporter-per-unit, scrape-p99, exporter-unpaced-50, proxy-fanin)\n"
    "  --cpu-seconds N  the monitor's CPU windows together (default 60, --quick 2), and each\n"
    "                   exporter-per-unit window (default 60, --quick 5)\n"
    "Exit status: 0 every figure measured, 1 one could not be measured, 2 usage.\n";

// Whether one of `names` (a comma-separated list) was asked for.
bool Wanted(const std::string& only, const std::string& names) {
    if (only.empty()) return true;
    size_t start = 0;
    for (;;) {
        const size_t comma = names.find(',', start);
        const std::string name = names.substr(start, comma - start);
        if (("," + only + ",").find("," + name + ",") != std::string::npos) return true;
        if (comma == std::string::npos) return false;
        start = comma + 1;
    }
}

std::vector<jvo::bench::Figure> AsList(jvo::bench::Figure f) {
    return {std::move(f)};
}
std::vector<jvo::bench::Figure> AsList(std::vector<jvo::bench::Figure> f) {
    return f;
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
    SiteBenchOptions site;
    mon.self = site.self = argv[0];
    if (quick) {
        link.windowSeconds = 0.1;
        link.rounds = 3;
        link.readRuns = 1;
        link.pollCycles = 1;
        mon.cpuSeconds = 2;
        mon.windows = 2;
        mon.lagSeconds = 1;
        mon.settleSeconds = 1;
        site.cpuSeconds = 5;
        site.unpacedSeconds = 5;
        site.scrapeSeconds = 2;
        site.fanInSeconds = 3;
        site.settleSeconds = 1;
    }
    if (cpuSeconds > 0) mon.cpuSeconds = site.cpuSeconds = cpuSeconds;
    std::printf("jvo-bench%s\n", quick ? " --quick (short windows: rough figures)" : "");

    std::vector<Figure> figures;
    // `names`: the figures one measurement gives, any of which --only may ask for.
    auto run = [&](const char* names, auto&& measure) {
        if (!Wanted(only, names)) return;
        std::printf("measuring %s...\n", names);
        std::fflush(stdout);
        for (Figure& f : AsList(measure())) {
            std::printf("  %s %.3f (%s)\n", f.name.c_str(), f.value, f.detail.c_str());
            figures.push_back(std::move(f));
        }
        std::fflush(stdout);
    };
    run("serial-unpaced", [&] { return SerialUnpaced(link); });
    run("proxy-unpaced", [&] { return ProxyUnpaced(link); });
    run("readconfig-paced", [&] { return ReadConfigPaced(link); });
    run("pollcycle-paced", [&] { return PollCyclePaced(link); });
    run("monitor-cpu-ratio,monitor-cpu", [&] { return MonitorCpu(mon); });
    run("ui-lag-p99", [&] { return UiLagP99(mon); });
    run("exporter-per-unit,scrape-p99", [&] { return ExporterPerUnit(site); });
    run("exporter-unpaced-50", [&] { return ExporterUnpaced(site); });
    run("proxy-fanin,proxy-fanin-spread,proxy-fanin-latency", [&] { return ProxyFanIn(site); });

    PrintTable(figures);
    PrintResults(figures);
    for (const Figure& f : figures)
        if (!f.measured) return 1;
    return 0;
}
