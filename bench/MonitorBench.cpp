#include "bench/MonitorBench.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/FormatStr.h"
#include "bench/BareClient.h"
#include "bench/Child.h"

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

Figure Failed(const char* name, double goal, const std::string& why) {
    std::fprintf(stderr, "jvo-bench: %s: %s\n", name, why.c_str());
    return {name, 0, true, goal, why, false};
}

// A private port directory (and log and settings home) for one measurement; removed at the end.
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/jvo-bench-XXXXXX";
        if (::mkdtemp(pattern)) m_Dir = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        if (!m_Dir.empty()) std::filesystem::remove_all(m_Dir, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool Ok() const { return !m_Dir.empty(); }
    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }
    // The children's environment: the port directory, log and settings here, and the offscreen
    // platform unless the caller chose one.
    std::vector<std::string> Env() const {
        std::vector<std::string> env = {"JVO_PORT_DIR=" + m_Dir, "XDG_STATE_HOME=" + m_Dir,
                                        "XDG_CONFIG_HOME=" + m_Dir};
        if (!std::getenv("QT_QPA_PLATFORM")) env.push_back("QT_QPA_PLATFORM=offscreen");
        return env;
    }

private:
    std::string m_Dir;
};

template <class Fn>
bool WaitFor(Fn&& done, double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
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

Figure MonitorCpu(const MonitorBenchOptions& o) {
    const char* name = "monitor-cpu";
    const double goal = 2;
    const std::string simPath = FindProgram(o.self, "jvo-sim", JVO_BENCH_SIM);
    const std::string monPath = FindProgram(o.self, "jvo-monitor", JVO_BENCH_MONITOR);
    if (simPath.empty() || monPath.empty())
        return Failed(name, goal, "jvo-sim or jvo-monitor not found");
    Scratch scratch;
    if (!scratch.Ok()) return Failed(name, goal, "no scratch directory");
    Child sim(simPath, {"--com", "1", "--baud", "115200"}, scratch.Path("sim.out"), scratch.Env());
    if (!StartSim(sim, scratch)) return Failed(name, goal, "jvo-sim did not start");
    Child mon(monPath, {"--com", "1"}, scratch.Path("monitor.out"), scratch.Env());
    // Polling once the unit sees steady traffic; then the window settles (first fills, layout).
    const bool polling =
        WaitFor([&] { return LastSimRate(sim.Output()) > 50 || !mon.Running(); }, 30);
    if (!polling || !mon.Running())
        return Failed(name, goal, "jvo-monitor did not start polling: " + mon.Output());
    std::this_thread::sleep_for(std::chrono::duration<double>(o.settleSeconds));
    const double cpu0 = ProcessCpuSeconds(mon.Pid());
    const auto t0 = Clock::now();
    const auto end = t0 + std::chrono::duration<double>(o.cpuSeconds);
    while (Clock::now() < end && mon.Running())
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!mon.Running()) return Failed(name, goal, "jvo-monitor ended: " + mon.Output());
    const double cpu1 = ProcessCpuSeconds(mon.Pid());
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const long rate = LastSimRate(sim.Output());
    mon.Stop();
    if (cpu0 < 0 || cpu1 < 0) return Failed(name, goal, "no CPU times in /proc");
    const double percent = (cpu1 - cpu0) / wall * 100;
    // The floor, against the same unit right after: what one exchange at a time costs in the
    // kernel alone. On a shared host it moves with the host's load, and the figure with it.
    const BareClientLoad bare = MeasureBareClient(scratch.Path("com1"), o.cpuSeconds / 3);
    sim.Stop();
    const std::string floor = bare.cpuPercent < 0
                                  ? std::string("the bare loop got no replies")
                                  : FormatStr(
                                        "a bare write/poll/read loop against the same unit "
                                        "right after: %.2f %% at %d requests/s",
                                        bare.cpuPercent, static_cast<int>(bare.exchangesPerSecond));
    return {name, percent, true, goal,
            FormatStr("jvo-monitor --com 1 (windows on %s) against jvo-sim --baud 115200: "
                      "%.2f s CPU in %.0f s, %d requests/s; %s",
                      std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen",
                      cpu1 - cpu0, wall, static_cast<int>(rate), floor.c_str())};
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
