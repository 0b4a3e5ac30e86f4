#include "bench/SiteBench.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "base/FormatStr.h"
#include "bench/Child.h"
#include "bench/Scratch.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "proxy/ProxyServer.h"
#include "sim/SimConfigs.h"
#include "sim/SimProxy.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

#ifndef JVO_BENCH_EXPORTER
#define JVO_BENCH_EXPORTER ""
#endif
#ifndef JVO_BENCH_PROXY
#define JVO_BENCH_PROXY ""
#endif

namespace jvo::bench {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

Figure Failed(const char* name, double goal, const std::string& why) {
    std::fprintf(stderr, "jvo-bench: %s: %s\n", name, why.c_str());
    return {name, 0, true, goal, why, false};
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    return v[i];
}

// GET /metrics from the exporter on loopback: the whole answer, empty when it failed.
std::string Scrape(uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return {};
    timeval tv{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    static const char kRequest[] =
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::send(s, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) ==
            static_cast<ssize_t>(sizeof kRequest - 1)) {
        char buffer[65536];
        ssize_t n;
        while ((n = ::recv(s, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(s);
    return answer.rfind("HTTP/1.1 200", 0) == 0 ? answer : std::string();
}

// Units the exporter shows as up.
int UnitsUp(uint16_t port) {
    const std::string text = Scrape(port);
    int up = 0;
    for (size_t at = text.find("\njvo_up{"); at != std::string::npos;
         at = text.find("\njvo_up{", at + 1)) {
        const size_t end = text.find('\n', at + 1);
        if (end != std::string::npos && text.compare(end - 2, 2, " 1") == 0) ++up;
    }
    return up;
}

// jvo-exporter on a free port with `units`, waited for until every unit is up.
class ExporterRun {
public:
    ExporterRun(const SiteBenchOptions& o, const Scratch& scratch, int minCycleMs,
                const std::vector<std::string>& units) {
        const std::string path = FindProgram(o.self, "jvo-exporter", JVO_BENCH_EXPORTER);
        if (path.empty()) {
            m_Problem = "jvo-exporter not found";
            return;
        }
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--min-cycle",
                                         std::to_string(minCycleMs)};
        args.insert(args.end(), units.begin(), units.end());
        m_Child = std::make_unique<Child>(path, args, scratch.Path("exporter.out"), scratch.Env());
        const bool listening = WaitFor(
            [&] {
                return NumberAfter(m_Child->Output(), "/127.0.0.1:") > 0 || !m_Child->Running();
            },
            10);
        const long port = NumberAfter(m_Child->Output(), "/127.0.0.1:");
        if (!listening || port <= 0) {
            m_Problem = "jvo-exporter did not start: " + m_Child->Output();
            return;
        }
        m_Port = static_cast<uint16_t>(port);
        const int n = static_cast<int>(units.size());
        if (!WaitFor([&] { return UnitsUp(m_Port) == n || !m_Child->Running(); }, 60) ||
            !m_Child->Running())
            m_Problem = FormatStr("not every unit came up (%d of %d)", UnitsUp(m_Port), n);
        std::this_thread::sleep_for(std::chrono::duration<double>(o.settleSeconds));
    }
    const std::string& Problem() const { return m_Problem; }
    uint16_t Port() const { return m_Port; }
    pid_t Pid() const { return m_Child->Pid(); }

private:
    std::unique_ptr<Child> m_Child;
    uint16_t m_Port = 0;
    std::string m_Problem;
};

// Paced simulated units, each on its own pty.
struct PacedUnits {
    explicit PacedUnits(int n) {
        sim::SerialOptions options;
        options.baud = 115200;
        for (int i = 0; i < n; ++i) {
            units.push_back(
                std::make_unique<sim::SimUnit>(SystemClock::Instance(), sim::MakeDemoConfig()));
            ports.push_back(std::make_unique<sim::SimSerialPort>(*units.back(), options));
            ok = ports.back()->Start() && ok;
        }
    }
    ~PacedUnits() {
        for (auto& p : ports)
            p->Stop();
    }
    uint64_t Replies() const {
        uint64_t n = 0;
        for (const auto& p : ports)
            n += p->RepliesSent();
        return n;
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> e;
        for (size_t i = 0; i < ports.size(); ++i)
            e.push_back(FormatStr("u%d=device:%s", static_cast<int>(i + 1),
                                  ports[i]->DevicePath().c_str()));
        return e;
    }
    std::vector<std::unique_ptr<sim::SimUnit>> units;
    std::vector<std::unique_ptr<sim::SimSerialPort>> ports;
    bool ok = true;
};

struct CpuWindow {
    double percent = -1;  // of one core
    double requests = 0;  // answered by the units in the window
    double seconds = 0;
    long rssKb = -1;
    long threads = -1;
};

template <class Requests>
CpuWindow MeasureCpu(pid_t pid, double seconds, Requests&& requests) {
    CpuWindow w;
    const double cpu0 = ProcessCpuSeconds(pid);
    const uint64_t r0 = requests();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu1 = ProcessCpuSeconds(pid);
    w.requests = static_cast<double>(requests() - r0);
    w.seconds = Seconds(Clock::now() - t0);
    w.rssKb = ProcessStatus(pid, "VmRSS");
    w.threads = ProcessStatus(pid, "Threads");
    if (cpu0 >= 0 && cpu1 >= 0) w.percent = (cpu1 - cpu0) / w.seconds * 100;
    return w;
}

// Ten scrapers at once for `seconds`; the scrape times in ms (-1 for a failed one).
std::vector<double> ScrapeTimes(uint16_t port, double seconds) {
    std::mutex lock;
    std::vector<double> times;
    std::vector<std::thread> scrapers;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (int i = 0; i < 10; ++i)
        scrapers.emplace_back([&] {
            while (Clock::now() < end) {
                const auto t0 = Clock::now();
                const bool ok = !Scrape(port).empty();
                const double ms = ok ? Seconds(Clock::now() - t0) * 1000 : -1;
                std::lock_guard<std::mutex> guard(lock);
                times.push_back(ms);
            }
        });
    for (std::thread& t : scrapers)
        t.join();
    return times;
}

}  // namespace

std::vector<Figure> ExporterPerUnit(const SiteBenchOptions& o) {
    const char* name = "exporter-per-unit";
    const char* scrapeName = "scrape-p99";
    const double goal = 1.2, scrapeGoal = 100;
    auto failed = [&](const std::string& why) {
        return std::vector<Figure>{Failed(name, goal, why), Failed(scrapeName, scrapeGoal, why)};
    };
    CpuWindow w[2];
    const int counts[2] = {1, o.units};
    std::vector<double> times;
    for (int k = 0; k < 2; ++k) {
        Scratch scratch;
        PacedUnits units(counts[k]);
        if (!scratch.Ok() || !units.ok) return failed("cannot set up the simulated units");
        ExporterRun exporter(o, scratch, 0, units.Entries());
        if (!exporter.Problem().empty()) return failed(exporter.Problem());
        w[k] = MeasureCpu(exporter.Pid(), o.cpuSeconds, [&] { return units.Replies(); });
        if (w[k].percent < 0 || w[k].requests <= 0) return failed("no CPU times or no requests");
        if (k == 1) times = ScrapeTimes(exporter.Port(), o.scrapeSeconds);
    }
    // CPU per request, so that a unit the loaded host served more slowly does not look cheap.
    const double perRequest1 = w[0].percent / w[0].requests * w[0].seconds;
    const double perRequestN = w[1].percent / w[1].requests * w[1].seconds;
    const double n = counts[1];
    std::vector<Figure> figures;
    figures.push_back(
        {name, perRequestN / perRequest1, true, goal,
         FormatStr("CPU per request at %d units over at 1, each polled without a pause at 115200 "
                   "baud for %.0f s: 1 unit %.2f %% of a core at %.0f requests/s; %d units "
                   "%.2f %% (%.3f %% a unit) at %.0f requests/s a unit; RSS %.0f kB and %ld "
                   "threads at 1, %.0f kB and %.2f threads a unit at %d",
                   counts[1], o.cpuSeconds, w[0].percent, w[0].requests / w[0].seconds, counts[1],
                   w[1].percent, w[1].percent / n, w[1].requests / w[1].seconds / n,
                   static_cast<double>(w[0].rssKb), w[0].threads,
                   static_cast<double>(w[1].rssKb) / n, static_cast<double>(w[1].threads) / n,
                   counts[1])});
    const long failures = std::count(times.begin(), times.end(), -1.0);
    if (times.empty() || failures > 0) {
        figures.push_back(Failed(scrapeName, scrapeGoal,
                                 FormatStr("%ld of %zu scrapes failed", failures, times.size())));
        return figures;
    }
    figures.push_back({scrapeName, Percentile(times, 0.99), true, scrapeGoal,
                       FormatStr("/metrics of %d units, 10 scrapers at once for %.0f s: %zu "
                                 "scrapes, p50 %.1f ms, max %.1f ms",
                                 counts[1], o.scrapeSeconds, times.size(), Percentile(times, 0.5),
                                 Percentile(times, 1.0))});
    return figures;
}

Figure ExporterUnpaced(const SiteBenchOptions& o) {
    const char* name = "exporter-unpaced-50";
    const double goal = 5;
    Scratch scratch;
    if (!scratch.Ok()) return Failed(name, goal, "no scratch directory");
    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SimUnitBackend backend(unit);
    ProxyServerOptions so;
    so.port = 0;
    ProxyServer server(backend, so);
    if (!server.Start()) return Failed(name, goal, "cannot start the proxy server");
    std::vector<std::string> entries;
    for (int i = 0; i < o.units; ++i)
        entries.push_back(
            FormatStr("u%d=proxy:127.0.0.1:%u", i + 1, static_cast<unsigned>(server.Port())));
    Figure f;
    {
        ExporterRun exporter(o, scratch, 1000, entries);
        if (!exporter.Problem().empty()) {
            f = Failed(name, goal, exporter.Problem());
        } else {
            const CpuWindow w = MeasureCpu(exporter.Pid(), o.unpacedSeconds,
                                           [&] { return backend.Transactions(); });
            f = {name, w.percent, true, goal,
                 FormatStr("percent of a core: %d units through one in-process proxy server "
                           "serving an unpaced unit, --min-cycle 1000, %.0f s: %.0f requests/s "
                           "(%.0f us CPU a request), %ld threads, RSS %ld kB",
                           o.units, w.seconds, w.requests / w.seconds,
                           w.percent / 100 * w.seconds / std::max(w.requests, 1.0) * 1e6, w.threads,
                           w.rssKb)};
            if (w.percent < 0) f = Failed(name, goal, "no CPU times in /proc");
        }
    }
    backend.Cancel();
    server.Stop();
    return f;
}

std::vector<Figure> ProxyFanIn(const SiteBenchOptions& o) {
    const char* spreadName = "proxy-fanin-spread";
    const char* name = "proxy-fanin-latency";
    constexpr int kClients = 20;
    auto failed = [&](const std::string& why) {
        return std::vector<Figure>{Failed(spreadName, 1.5, why), Failed(name, 1.1, why)};
    };
    const std::string path = FindProgram(o.self, "jvo-proxy", JVO_BENCH_PROXY);
    if (path.empty()) return failed("jvo-proxy not found");
    Scratch scratch;
    PacedUnits unit(1);
    if (!scratch.Ok() || !unit.ok) return failed("cannot set up the simulated unit");
    Child proxy(path, {"--device", unit.ports[0]->DevicePath(), "--listen", "127.0.0.1:0"},
                scratch.Path("proxy.out"), scratch.Env());
    const char* prefix = "listening on 127.0.0.1:";
    if (!WaitFor([&] { return NumberAfter(proxy.Output(), prefix) > 0 || !proxy.Running(); }, 10) ||
        NumberAfter(proxy.Output(), prefix) <= 0)
        return failed("jvo-proxy did not start: " + proxy.Output());
    const std::string address = FormatStr("127.0.0.1:%ld", NumberAfter(proxy.Output(), prefix));

    struct Tally {
        std::atomic<uint64_t> requests{0};
        std::atomic<uint64_t> latencyUs{0};
        std::atomic<bool> failed{false};
    };
    std::vector<Tally> tallies(kClients);
    std::vector<std::unique_ptr<UnitLink>> links;
    for (int i = 0; i < kClients; ++i) {
        links.push_back(std::make_unique<UnitLink>());
        if (!links.back()->OpenProxy(address)) return failed("cannot connect to jvo-proxy");
    }
    std::atomic<bool> go{false}, stop{false};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            UnitClient client(links[static_cast<size_t>(i)].get(), 0);
            client.SetReplyTimeoutMs(2000);
            while (!go.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            CtReading r;
            Tally& t = tallies[static_cast<size_t>(i)];
            for (uint8_t ct = 0; !stop.load(); ct = static_cast<uint8_t>((ct + 1) % kCtCount)) {
                const auto t0 = Clock::now();
                if (!client.GetCtReading(ct, r)) {
                    t.failed = true;
                    return;
                }
                t.latencyUs += static_cast<uint64_t>(
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0)
                        .count());
                ++t.requests;
            }
        });
    // Every client has one request waiting before the counting starts.
    go = true;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::vector<uint64_t> startRequests, startLatencyUs;
    for (const Tally& t : tallies) {
        startRequests.push_back(t.requests.load());
        startLatencyUs.push_back(t.latencyUs.load());
    }
    const uint64_t bytes0 = unit.ports[0]->BytesReceived() + unit.ports[0]->BytesSent();
    const uint64_t replies0 = unit.Replies();
    std::this_thread::sleep_for(std::chrono::duration<double>(o.fanInSeconds));
    const uint64_t bytes1 = unit.ports[0]->BytesReceived() + unit.ports[0]->BytesSent();
    const uint64_t replies1 = unit.Replies();
    stop = true;
    for (std::thread& t : clients)
        t.join();
    for (auto& l : links)
        l->Disconnect();
    uint64_t most = 0, least = UINT64_MAX, requests = 0;
    double latency = 0;
    for (size_t i = 0; i < tallies.size(); ++i) {
        const Tally& t = tallies[i];
        if (t.failed) return failed("a client's request failed");
        const uint64_t n = t.requests.load() - startRequests[i];
        most = std::max(most, n);
        least = std::min(least, n);
        requests += n;
        latency += static_cast<double>(t.latencyUs.load() - startLatencyUs[i]) * 1e-6;
    }
    const uint64_t exchanges = replies1 - replies0;
    if (least == 0 || exchanges == 0) return failed("a client was not served at all");
    // One exchange's wire time, from the bytes the unit took and gave.
    const double wireMs = static_cast<double>(sim::WireMicros(
                              static_cast<int64_t>((bytes1 - bytes0) / exchanges), 115200)) /
                          1000.0;
    const double meanMs = latency / static_cast<double>(requests) * 1000;
    std::vector<Figure> figures;
    figures.push_back({spreadName, static_cast<double>(most) / static_cast<double>(least), true,
                       1.5,
                       FormatStr("%d clients polling CT readings of one unit at 115200 baud "
                                 "through jvo-proxy for %.0f s: the most served %llu requests, "
                                 "the least %llu",
                                 kClients, o.fanInSeconds, static_cast<unsigned long long>(most),
                                 static_cast<unsigned long long>(least))});
    figures.push_back(
        {name, meanMs / (kClients * wireMs), true, 1.1,
         FormatStr("mean request latency %.1f ms over %d x %.2f ms on the wire; "
                   "%.0f requests/s in all",
                   meanMs, kClients, wireMs, static_cast<double>(requests) / o.fanInSeconds)});
    return figures;
}

}  // namespace jvo::bench
