#pragma once
// The figures of a site: many units in one exporter, many clients on one proxy server. The
// simulated units run in this process (each on its own pty, or behind an in-process proxy
// server); jvo-exporter and jvo-proxy run as children, and their CPU time, memory and threads
// are read from /proc.
// - exporter-per-unit: the exporter's CPU per request with 50 units paced at 115200 baud over the
//   same with 1, each polled without a pause (--min-cycle 0, so the wire paces it).
// - scrape-p99: 10 scrapers at once against the 50-unit exporter; the 99th percentile in ms.
// - exporter-unpaced-50: percent of a core for 50 unpaced units behind one proxy server, at the
//   default --min-cycle.
// - proxy-fanin: 20 clients polling one paced unit through jvo-proxy: the most over the least
//   served client, and the mean request latency over 20 wire times.
#include <string>
#include <vector>

#include "bench/Report.h"

namespace jvo::bench {

struct SiteBenchOptions {
    std::string self;            // argv[0] of jvo-bench
    double cpuSeconds = 60;      // each exporter-per-unit window
    double unpacedSeconds = 30;  // the exporter-unpaced-50 window
    double scrapeSeconds = 10;   // the scrapers' window
    double fanInSeconds = 20;    // the proxy-fanin window
    double settleSeconds = 3;    // after every unit is up, before measuring
    int units = 50;
};

// exporter-per-unit and scrape-p99.
std::vector<Figure> ExporterPerUnit(const SiteBenchOptions& o);
Figure ExporterUnpaced(const SiteBenchOptions& o);
// proxy-fanin-spread (most over least served) and proxy-fanin-latency (over 20 wire times).
std::vector<Figure> ProxyFanIn(const SiteBenchOptions& o);

}  // namespace jvo::bench
