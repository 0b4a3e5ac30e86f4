// jvo-bench-read: reads a whole configuration (237 records: 42 breakers and 16 subfeeds on each
// panel) from a simulated unit paced like a real line, as jvo-sim --baud paces it, and compares the
// time it takes with the time the bytes need on the wire. The difference is what the link, the
// pseudo-terminal and the threads add per record.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace {

// Every table entry in use: the demo cabinet with both panels filled to 42 breakers and 16
// subfeeds. (Channels are shared between entries; only the sizes of the records matter here.)
jvo::UnitConfig FullConfig() {
    using namespace jvo;
    UnitConfig c = sim::MakeDemoConfig();
    for (int p = 0; p < kPanelCount; ++p) {
        PanelRecord& panel = c.m_Panels[p];
        const BreakerRecord breaker = panel.m_Breakers[0];
        const SubfeedRecord subfeed = panel.m_Subfeeds[0];
        for (int i = panel.m_BreakerCnt; i < kMaxBreakers; ++i) {
            panel.m_Breakers[i] = breaker;
            panel.m_Breakers[i].m_Name = "BREAKER #" + std::to_string(i + 1);
        }
        for (int i = panel.m_SubfeedCnt; i < kMaxSubfeeds; ++i) {
            panel.m_Subfeeds[i] = subfeed;
            panel.m_Subfeeds[i].m_Name = "SUBFEED #" + std::to_string(i + 1);
            panel.m_Subfeeds[i].m_Position = static_cast<uint16_t>(i + 1);
        }
        panel.m_BreakerCnt = kMaxBreakers;
        panel.m_SubfeedCnt = kMaxSubfeeds;
    }
    return c;
}

int Usage(FILE* to, int status) {
    std::fprintf(
        to,
        "Usage: jvo-bench-read [--runs N] [--baud BAUD]\n"
        "Reads the whole configuration (237 records) N times (default 5) from a simulated\n"
        "unit paced at BAUD (default 115200) and prints the measured time against the\n"
        "wire time of the bytes carried.\n");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace jvo;
    int runs = 5;
    int baud = 115200;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout, 0);
        if (i + 1 >= argc) return Usage(stderr, 2);
        const long v = std::strtol(argv[++i], nullptr, 10);
        if (a == "--runs" && v >= 1 && v <= 1000) {
            runs = static_cast<int>(v);
        } else if (a == "--baud" && v >= 1200 && v <= 4'000'000) {
            baud = static_cast<int>(v);
        } else {
            return Usage(stderr, 2);
        }
    }

    sim::SimUnit unit(SystemClock::Instance(), FullConfig());
    sim::SerialOptions options;
    options.baud = baud;
    sim::SimSerialPort port(unit, options);
    UnitLink link;
    if (!port.Start() || !link.OpenSerialDevice(port.DevicePath(), kDefaultBaud)) {
        std::fprintf(stderr, "jvo-bench-read: cannot set up the simulated unit\n");
        return 1;
    }
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    if (!client.GetSchemaVersion(schema)) {  // warms up the link and both threads
        std::fprintf(stderr, "jvo-bench-read: the simulated unit does not answer\n");
        return 1;
    }

    std::printf("jvo-bench-read: whole configuration at %d baud, %d run%s\n", baud, runs,
                runs == 1 ? "" : "s");
    std::vector<double> ratios;
    double measuredSum = 0, wireSum = 0;
    for (int run = 1; run <= runs; ++run) {
        const uint64_t rx = port.BytesReceived(), tx = port.BytesSent();
        const uint64_t before = unit.Transactions();
        UnitConfig read;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = ReadConfig(client, read, 0, 10, nullptr);
        const auto took = std::chrono::steady_clock::now() - start;
        if (!ok) {
            std::fprintf(stderr, "jvo-bench-read: run %d: the read failed\n", run);
            return 1;
        }
        const uint64_t records = unit.Transactions() - before;
        const auto bytes = static_cast<int64_t>(port.BytesReceived() - rx + port.BytesSent() - tx);
        const double measuredMs = std::chrono::duration<double, std::milli>(took).count();
        const double wireMs = static_cast<double>(sim::WireMicros(bytes, baud)) / 1000.0;
        const double ratio = measuredMs / wireMs;
        ratios.push_back(ratio);
        measuredSum += measuredMs;
        wireSum += wireMs;
        std::printf(
            "run %d: %llu records, %lld bytes on the line, measured %.1f ms, wire time %.1f ms "
            "(%+.1f %%, %.0f us per record above the wire)\n",
            run, static_cast<unsigned long long>(records), static_cast<long long>(bytes),
            measuredMs, wireMs, (ratio - 1) * 100, (measuredMs - wireMs) * 1000 / records);
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    std::printf(
        "mean: measured %.1f ms, wire time %.1f ms; median excess %+.1f %% (aim: within "
        "10 %%)\n",
        measuredSum / runs, wireSum / runs, (median - 1) * 100);
    link.Disconnect();
    port.Stop();
    return 0;
}
