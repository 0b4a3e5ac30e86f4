#include "bench/LinkBench.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/FormatStr.h"
#include "bench/FullConfig.h"
#include "bench/RawPingPong.h"
#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "monitor/PollWorker.h"
#include "proxy/ProxyServer.h"
#include "sim/SimConfigs.h"
#include "sim/SimProxy.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace jvo::bench {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Figure Failed(const char* name, bool atMost, double goal, const std::string& why) {
    std::fprintf(stderr, "jvo-bench: %s: %s\n", name, why.c_str());
    Figure f{name, 0, atMost, goal, why, false};
    return f;
}

// A CT reading's request and reply payloads as the simulated unit gives them.
struct CtExchange {
    std::vector<uint8_t> request{CMD_GET_CT_READING, 0};
    std::vector<uint8_t> reply;
};

CtExchange MakeCtExchange(sim::SimUnit& unit) {
    CtExchange x;
    unit.Handle(x.request.data(), static_cast<int32_t>(x.request.size()), x.reply);
    return x;
}

// Bytes of one frame on the line: header (sequence 0), payload, check sequence, escapes, flags.
size_t SerialBytes(uint8_t to, uint8_t from, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> body{to, from, 0, kProtocolByte};
    body.insert(body.end(), payload.begin(), payload.end());
    return static_cast<size_t>(sim::FrameWireBytes(body.data(), body.size()));
}

// CT readings per second through `client` for `seconds`; 0 when one fails.
double CtRate(UnitClient& client, double seconds) {
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    uint64_t n = 0;
    auto now = start;
    CtReading r;
    while (now < end) {
        if (!client.GetCtReading(static_cast<uint8_t>(n % kCtCount), r)) return 0;
        ++n;
        now = Clock::now();
    }
    return static_cast<double>(n) / Seconds(now - start);
}

// Alternates baseline and link windows; each side's best rate.
template <class Base, class Link>
bool Alternate(const LinkBenchOptions& o, Base&& base, Link&& link, double& ratio, double& baseRate,
               double& linkRate) {
    baseRate = linkRate = 0;
    for (int r = 0; r < o.rounds; ++r) {
        const double b = base(o.windowSeconds);
        const double l = link(o.windowSeconds);
        if (b <= 0 || l <= 0) return false;
        baseRate = std::max(baseRate, b);
        linkRate = std::max(linkRate, l);
        if (std::getenv("JVO_BENCH_VERBOSE"))
            std::fprintf(stderr, "  round %d: baseline %.0f/s, link %.0f/s\n", r + 1, b, l);
    }
    ratio = linkRate / baseRate;
    return true;
}

// Keeps the calling thread, and every thread it starts meanwhile, on the CPU it runs on now.
class OneCpu {
public:
    OneCpu() {
        m_Saved = ::pthread_getaffinity_np(::pthread_self(), sizeof m_Old, &m_Old) == 0;
        const int cpu = ::sched_getcpu();
        if (!m_Saved || cpu < 0) return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        ::pthread_setaffinity_np(::pthread_self(), sizeof one, &one);
    }
    ~OneCpu() {
        if (m_Saved) ::pthread_setaffinity_np(::pthread_self(), sizeof m_Old, &m_Old);
    }
    OneCpu(const OneCpu&) = delete;
    OneCpu& operator=(const OneCpu&) = delete;

private:
    cpu_set_t m_Old;
    bool m_Saved = false;
};

// An unpaced figure: our rate over the raw ping-pong's, with both rates in its text.
Figure UnpacedFigure(const char* name, double goal, const char* raw, double ratio, double rate,
                     double base, size_t out, size_t in, int rounds) {
    return {name, ratio, false, goal,
            FormatStr("CT readings %.0f/s; raw %s ping-pong (%d out, %d back) %.0f/s; one CPU, "
                      "best of %d",
                      rate, raw, static_cast<int>(out), static_cast<int>(in), base, rounds)};
}

}  // namespace

Figure SerialUnpaced(const LinkBenchOptions& o) {
    const char* name = "serial-unpaced";
    const OneCpu pin;
    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    const CtExchange x = MakeCtExchange(unit);
    const size_t out = SerialBytes(0, kHostAddress, x.request);
    const size_t in = SerialBytes(kHostAddress, 0, x.reply);
    sim::SimSerialPort port(unit);
    UnitLink link;
    if (!port.Start() || !link.OpenSerialDevice(port.DevicePath(), kDefaultBaud))
        return Failed(name, false, 0.5, "cannot set up the simulated unit on a pty");
    UnitClient client(&link, 0);
    if (CtRate(client, 0.05) <= 0) return Failed(name, false, 0.5, "the unit does not answer");
    double ratio = 0, base = 0, rate = 0;
    if (!Alternate(
            o, [&](double s) { return PtyPingPong(out, in, s); },
            [&](double s) { return CtRate(client, s); }, ratio, base, rate))
        return Failed(name, false, 0.5, "a window failed");
    link.Disconnect();
    port.Stop();
    return UnpacedFigure(name, 0.5, "pty", ratio, rate, base, out, in, o.rounds);
}

Figure ProxyUnpaced(const LinkBenchOptions& o) {
    const char* name = "proxy-unpaced";
    const OneCpu pin;
    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    const CtExchange x = MakeCtExchange(unit);
    // STREAM header (8), then address/status and length (3), then the payload.
    const size_t out = 8 + 3 + x.request.size();
    const size_t in = 8 + 3 + x.reply.size();
    sim::SimUnitBackend backend(unit);
    ProxyServerOptions so;
    so.port = 0;
    ProxyServer server(backend, so);
    UnitLink link;
    if (!server.Start() || !link.OpenProxy("127.0.0.1:" + std::to_string(server.Port())))
        return Failed(name, false, 0.8, "cannot set up the proxy server");
    UnitClient client(&link, 0);
    if (CtRate(client, 0.05) <= 0) return Failed(name, false, 0.8, "the unit does not answer");
    double ratio = 0, base = 0, rate = 0;
    const bool ok = Alternate(
        o, [&](double s) { return TcpPingPong(out, in, s); },
        [&](double s) { return CtRate(client, s); }, ratio, base, rate);
    link.Disconnect();
    backend.Cancel();
    server.Stop();
    if (!ok) return Failed(name, false, 0.8, "a window failed");
    return UnpacedFigure(name, 0.8, "TCP", ratio, rate, base, out, in, o.rounds);
}

Figure ReadConfigPaced(const LinkBenchOptions& o) {
    const char* name = "readconfig-paced";
    sim::SimUnit unit(SystemClock::Instance(), FullConfig());
    sim::SerialOptions options;
    options.baud = o.baud;
    sim::SimSerialPort port(unit, options);
    UnitLink link;
    if (!port.Start() || !link.OpenSerialDevice(port.DevicePath(), kDefaultBaud))
        return Failed(name, true, 1.05, "cannot set up the simulated unit on a pty");
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    if (!client.GetSchemaVersion(schema)) return Failed(name, true, 1.05, "no answer");
    std::vector<double> ratios;
    double lastMs = 0, lastWireMs = 0;
    uint64_t records = 0;
    for (int run = 0; run < o.readRuns; ++run) {
        const uint64_t bytes0 = port.BytesReceived() + port.BytesSent();
        const uint64_t txn0 = unit.Transactions();
        UnitConfig read;
        const auto start = Clock::now();
        const bool ok = ReadConfig(client, read, 0, 10, nullptr);
        const double ms = Seconds(Clock::now() - start) * 1000;
        if (!ok) return Failed(name, true, 1.05, "a read failed");
        const auto bytes = static_cast<int64_t>(port.BytesReceived() + port.BytesSent() - bytes0);
        records = unit.Transactions() - txn0;
        lastMs = ms;
        lastWireMs = static_cast<double>(sim::WireMicros(bytes, o.baud)) / 1000.0;
        ratios.push_back(ms / lastWireMs);
    }
    link.Disconnect();
    port.Stop();
    const double ratio = Median(ratios);
    return {name, ratio, true, 1.05,
            FormatStr("%d records at %d baud: %.1f ms against %.1f ms on the wire (last run), "
                      "%.0f us a record above it",
                      static_cast<int>(records), o.baud, lastMs, lastWireMs,
                      (lastMs - lastWireMs) * 1000 / static_cast<double>(records ? records : 1))};
}

Figure PollCyclePaced(const LinkBenchOptions& o) {
    const char* name = "pollcycle-paced";
    const UnitConfig config = FullConfig();
    sim::SimUnit unit(SystemClock::Instance(), config);
    sim::SerialOptions options;
    options.baud = o.baud;
    sim::SimSerialPort port(unit, options);
    UnitLink link;
    if (!port.Start() || !link.OpenSerialDevice(port.DevicePath(), kDefaultBaud))
        return Failed(name, true, 1.05, "cannot set up the simulated unit on a pty");

    monitor::CPolledIPC ipc;
    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::NotifyQueue notify;
    monitor::PollLimits limits;
    const int timed = std::max(1, o.pollCycles);
    limits.cycles = timed + 2;  // the first cycle warms up, the last one only ends the timing
    monitor::PollWorker worker(ipc, link, config, readings, logs, notify, SystemClock::Instance(),
                               {}, limits);
    // The start of every cycle: its first request, before it goes out.
    struct Mark {
        Clock::time_point at;
        uint64_t bytes;
        uint64_t transactions;
    };
    std::vector<Mark> marks;
    uint64_t seen = UINT64_MAX;
    worker.SetRequestHook([&](uint8_t command) {
        if (command != CMD_GET_CT_READING || worker.Cycles() == seen) return;
        seen = worker.Cycles();
        marks.push_back(
            {Clock::now(), port.BytesReceived() + port.BytesSent(), unit.Transactions()});
    });
    worker.Launch();
    ipc.Post(monitor::PollCmdStart, 0);
    worker.Join();
    link.Disconnect();
    port.Stop();
    if (marks.size() < static_cast<size_t>(timed + 2))
        return Failed(name, true, 1.05, "the worker did not finish its cycles");
    // Each timed cycle's own ratio; the median counts, so that one cycle the host held up (this
    // machine's other tenants) does not decide the figure.
    std::vector<double> ratios;
    double msSum = 0, wireSum = 0, requests = 0;
    for (size_t i = 1; i + 1 < marks.size() && ratios.size() < static_cast<size_t>(timed); ++i) {
        const Mark& a = marks[i];
        const Mark& b = marks[i + 1];
        const double ms = Seconds(b.at - a.at) * 1000;
        const double wireMs =
            static_cast<double>(sim::WireMicros(static_cast<int64_t>(b.bytes - a.bytes), o.baud)) /
            1000.0;
        ratios.push_back(ms / wireMs);
        msSum += ms;
        wireSum += wireMs;
        requests += static_cast<double>(b.transactions - a.transactions);
    }
    const double n = static_cast<double>(ratios.size());
    return {name, Median(ratios), true, 1.05,
            FormatStr("%.0f requests a cycle at %d baud: %.1f ms against %.1f ms on the wire "
                      "(mean of %d; the figure is their median ratio), %.0f us a request above it",
                      requests / n, o.baud, msSum / n, wireSum / n, timed,
                      (msSum - wireSum) * 1000 / requests)};
}

}  // namespace jvo::bench
