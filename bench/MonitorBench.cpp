#include "bench/MonitorBench.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/FormatStr.h"
#include "bench/BareClient.h"
#include "bench/Child.h"
#include "bench/Scratch.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

#ifndef JVO_BENCH_SIM
#define JVO_BENCH_SIM ""
#endif
#ifndef JVO_BENCH_MONITOR
#define JVO_BENCH_MONITOR ""
#endif
#ifndef JVO_BENCH_UI
#define JVO_BENCH_UI ""
#endif

namespace jvo::bench {

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Figure Failed(const char* name, double goal, const std::string& why) {
    std::fprintf(stderr, "jvo-bench: %s: %s\n", name, why.c_str());
    return {name, 0, true, goal, why, false};
}

// The transaction rate of jvo-sim's latest status line ("..., N transactions/s"); -1 when none.
long LastSimRate(const std::string& output) {
    const size_t at = output.rfind(" transactions/s");
    if (at == std::string::npos) return -1;
    const size_t comma = output.rfind(", ", at);
    if (comma == std::string::npos) return -1;
    return std::strtol(output.c_str() + comma + 2, nullptr, 10);
}

// Starts jvo-sim on COM 1 of the scratch port directory and waits for its pin.
bool StartSim(Child& sim, const Scratch& scratch) {
    return sim.Started() &&
           WaitFor([&] { return std::filesystem::exists(scratch.Path("com1")) || !sim.Running(); },
                   10) &&
           sim.Running();
}

}  // namespace

std::vector<Figure> MonitorCpu(const MonitorBenchOptions& o) {
    const char* ratioName = "monitor-cpu-ratio";
    const char* name = "monitor-cpu";
    auto failed = [&](const std::string& why) {
        std::vector<Figure> f{Failed(ratioName, 1.5, why), Failed(name, 2, why)};
        f[1].info = true;
        return f;
    };
    const std::string monPath = FindProgram(o.self, "jvo-monitor", JVO_BENCH_MONITOR);
    if (monPath.empty()) return failed("jvo-monitor not found");
    Scratch scratch;
    if (!scratch.Ok()) return failed("no scratch directory");
    // Two units paced at 115200 baud, each on its own pty: COM 1 for the monitor, the other for
    // the bare loop.
    sim::SerialOptions paced;
    paced.baud = 115200;
    sim::SimUnit monUnit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SimUnit bareUnit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SimSerialPort monPort(monUnit, paced), barePort(bareUnit, paced);
    if (!monPort.Start() || !barePort.Start() || !monPort.Pin(1, scratch.Dir()))
        return failed("cannot set up the simulated units");
    Child mon(monPath, {"--com", "1"}, scratch.Path("monitor.out"), scratch.Env());
    // Polling once the unit sees steady traffic; then the window settles (first fills, layout).
    const bool polling = WaitFor([&] { return monPort.RepliesSent() > 500 || !mon.Running(); }, 30);
    if (!polling || !mon.Running())
        return failed("jvo-monitor did not start polling: " + mon.Output());
    std::this_thread::sleep_for(std::chrono::duration<double>(o.settleSeconds));
    // Alternating windows, the monitor's and the bare loop's, so that both see the host's same
    // moods; each side's median of CPU seconds per request counts.
    const int windows = std::max(1, o.windows);
    const double seconds = o.cpuSeconds / windows;
    std::vector<double> monPerRequest, barePerRequest;
    double monCpu = 0, monWall = 0, monRequests = 0, bareCpu = 0, bareRequests = 0;
    for (int i = 0; i < windows; ++i) {
        const double cpu0 = ProcessCpuSeconds(mon.Pid());
        const uint64_t r0 = monPort.RepliesSent();
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu1 = ProcessCpuSeconds(mon.Pid());
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const auto requests = static_cast<double>(monPort.RepliesSent() - r0);
        if (!mon.Running()) return failed("jvo-monitor ended: " + mon.Output());
        if (cpu0 < 0 || cpu1 < 0 || requests <= 0) return failed("no CPU times or no requests");
        monPerRequest.push_back((cpu1 - cpu0) / requests);
        monCpu += cpu1 - cpu0;
        monWall += wall;
        monRequests += requests;
        const BareClientLoad bare = MeasureBareClient(barePort.DevicePath(), seconds);
        if (bare.cpuPercent < 0) return failed("the bare loop got no replies");
        barePerRequest.push_back(bare.cpuPercent / 100 / bare.exchangesPerSecond);
        bareCpu += bare.cpuPercent / 100 * seconds;
        bareRequests += bare.exchangesPerSecond * seconds;
        if (std::getenv("JVO_BENCH_VERBOSE"))
            std::fprintf(stderr, "  window %d: monitor %.1f us, bare loop %.1f us a request\n",
                         i + 1, monPerRequest.back() * 1e6, barePerRequest.back() * 1e6);
    }
    mon.Stop();
    monPort.Stop();
    barePort.Stop();
    const double monMedian = Median(monPerRequest), bareMedian = Median(barePerRequest);
    std::vector<Figure> figures;
    figures.push_back(
        {ratioName, monMedian / bareMedian, true, 1.5,
         FormatStr("jvo-monitor --com 1 (windows on %s) against a unit at 115200 baud: median "
                   "%.1f us CPU a request; a bare write/poll/read loop against its own such "
                   "unit: %.1f us; %d alternating windows of %.0f s each",
                   std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen",
                   monMedian * 1e6, bareMedian * 1e6, windows, seconds)});
    Figure absolute{
        name, monCpu / monWall * 100, true, 2,
        FormatStr("percent of a core, for reading (the goal is information only): "
                  "%.2f s CPU in %.0f s, %.0f requests/s; the bare loop %.2f %% at "
                  "%.0f requests/s",
                  monCpu, monWall, monRequests / monWall, bareCpu / (seconds * windows) * 100,
                  bareRequests / (seconds * windows))};
    absolute.info = true;
    figures.push_back(absolute);
    return figures;
}

Figure UiLagP99(const MonitorBenchOptions& o) {
    const char* name = "ui-lag-p99";
    const double goal = 50;
    const std::string simPath = FindProgram(o.self, "jvo-sim", JVO_BENCH_SIM);
    const std::string uiPath = FindProgram(o.self, "jvo-bench-ui", JVO_BENCH_UI);
    if (simPath.empty() || uiPath.empty())
        return Failed(name, goal, "jvo-sim or jvo-bench-ui not found");
    Scratch scratch;
    if (!scratch.Ok()) return Failed(name, goal, "no scratch directory");
    Child sim(simPath, {"--com", "1"}, scratch.Path("sim.out"), scratch.Env());
    if (!StartSim(sim, scratch)) return Failed(name, goal, "jvo-sim did not start");
    Child ui(uiPath,
             {"--com", "1", "--seconds", FormatStr("%.1f", o.lagSeconds), "--settle",
              FormatStr("%.1f", o.settleSeconds)},
             scratch.Path("ui.out"), scratch.Env());
    const int status = ui.Wait(o.lagSeconds + o.settleSeconds + 60);
    const std::string out = ui.Output();
    const long rate = LastSimRate(sim.Output());
    ui.Stop();
    sim.Stop();
    const size_t at = out.find("LAG ");
    if (status != 0 || at == std::string::npos)
        return Failed(name, goal, FormatStr("jvo-bench-ui failed (status %d): %s", status, out));
    int ticks = 0;
    double p50 = 0, p99 = 0, max = 0;
    unsigned long long cycles = 0;
    if (std::sscanf(out.c_str() + at, "LAG ticks=%d p50=%lf p99=%lf max=%lf cycles=%llu", &ticks,
                    &p50, &p99, &max, &cycles) != 5)
        return Failed(name, goal, "cannot read jvo-bench-ui's output: " + out);
    return {name, p99, true, goal,
            FormatStr("10 ms probe, %d ticks: p50 %.1f ms, max %.1f ms; %d poll cycles, "
                      "%d requests/s from an unpaced jvo-sim",
                      ticks, p50, max, static_cast<int>(cycles), static_cast<int>(rate))};
}

}  // namespace jvo::bench
