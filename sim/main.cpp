// jvo-sim: a simulated JVO unit for demonstrations, training and tests. It serves one unit on a
// pseudo-terminal (optionally pinned as COM N) and, on request, through a proxy server on TCP.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/CmdLine.h"
#include "base/Files.h"
#include "base/OptionTable.h"
#include "config/ConfigFile.h"
#include "link/OpenProblems.h"
#include "link/PortDirectory.h"
#include "link/Pty.h"
#include "link/StopRequest.h"
#include "link/TcpBase.h"
#include "proxy/ProgramOptions.h"
#include "proxy/ProxyServer.h"
#include "sim/SimConfigs.h"
#include "sim/SimProxy.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace {

bool ParseFraction(std::string_view text, double& out) {
    const std::string s(text);
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end != s.c_str() && *end == '\0' && out >= 0 && out <= 1;
}

struct Options {
    long com = 0;
    bool proxy = false;
    std::string proxyAddress = "127.0.0.1";
    uint16_t proxyPort = 43015;
    std::string configPath;
    jvo::sim::SimOptions unit;
    jvo::sim::SerialOptions serial;
    std::vector<std::string> overloads;
    int voltagePanel = -1;
    double voltageFactor = 1.0;
    bool help = false;
    bool version = false;
};

using jvo::cmdline::Option;
using jvo::cmdline::Takes;
using jvo::cmdline::TakeValue;

// A whole number from lo to hi for `set`; `complaint` otherwise.
TakeValue Number(long lo, long hi, const char* complaint, std::function<void(long)> set) {
    return [=](std::string_view v, std::string& error) {
        long n = 0;
        if (!jvo::cmdline::ParseNumber(v, lo, hi, n)) {
            error = complaint;
            return false;
        }
        set(n);
        return true;
    };
}

// A fraction 0..1 kept in `out`; "--NAME needs 0..1" otherwise.
Option Fraction(const char* name, const char* help, double& out) {
    return {.name = name,
            .takes = Takes::VALUE,
            .meta = "F",
            .help = help,
            .take = [name, &out](std::string_view v, std::string& error) {
                if (ParseFraction(v, out)) return true;
                error = std::string(name) + " needs 0..1";
                return false;
            }};
}

// The options, one row each, with the headings of the help.
std::vector<Option> SimRows(Options& o) {
    jvo::sim::SerialFaults& f = o.serial.faults;
    return {
        {.name = "--com",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "pin the unit as COM N (1..32); without it the device path is printed",
         .take = Number(jvo::kMinComPort, jvo::kMaxComPort, "--com needs 1..32",
                        [&o](long n) { o.com = n; })},
        {.name = "--listen",
         .takes = Takes::VALUE,
         .meta = "[ADDR:]PORT",
         .help = "serve the unit as a proxy server on ADDR (default 127.0.0.1; \".\"\n"
                 "is this machine) and PORT (0..65535; 0 picks a free one, printed at\n"
                 "start); clients connect with --proxy HOST[:PORT], e.g. --proxy .",
         .take =
             [&o](std::string_view v, std::string& error) {
                 o.proxy = true;
                 if (jvo::cmdline::ParseListenAddress(v, o.proxyAddress, o.proxyPort, error))
                     return true;
                 error = "--listen: " + error;
                 return false;
             },
         .missing = "--listen needs [ADDR:]PORT"},
        {.name = "--proxy",
         .takes = Takes::OPTIONAL_VALUE,
         .meta = "[[ADDR:]PORT]",
         .help = "the former name of --listen (default 127.0.0.1:43015)",
         .take =
             [&o](std::string_view v, std::string& error) {
                 // The former name of --listen, whose value was optional: the default address
                 // and port.
                 std::fprintf(stderr,
                              "jvo-sim: note: --proxy is now called --listen (in every program, "
                              "--proxy HOST[:PORT] connects to a proxy server)\n");
                 o.proxy = true;
                 if (v.data() == nullptr ||
                     jvo::cmdline::ParseListenAddress(v, o.proxyAddress, o.proxyPort, error))
                     return true;
                 error = "--proxy: " + error;
                 return false;
             }},
        {.name = "--config",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "start from a *.jvo.cfg file instead of the built-in cabinet",
         .take = jvo::cmdline::KeepText(o.configPath)},
        {.name = "--baud",
         .takes = Takes::VALUE,
         .meta = "BAUD",
         .help = "pace replies at BAUD (e.g. 115200) like a real line; default: no pacing",
         .take = Number(300, 4000000, "--baud needs a baud rate",
                        [&o](long n) { o.serial.baud = static_cast<int>(n); })},
        {.name = "--dip",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "DIP switch address reported (default 0)",
         .take = Number(0, 255, "--dip needs 0..255",
                        [&o](long n) { o.unit.dipAddress = static_cast<uint8_t>(n); })},
        {.name = "--schema",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "schema version reported (default 4)",
         .take = Number(0, 65535, "--schema needs 0..65535",
                        [&o](long n) { o.unit.schemaVersion = static_cast<uint16_t>(n); })},
        {.name = "--seed",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "seed of the simulated loads and noise (default 1)",
         .take = Number(0, 0x7FFFFFFF, "--seed needs a number",
                        [&o](long n) { o.unit.meter.seed = static_cast<uint32_t>(n); })},
        {.name = "--day",
         .takes = Takes::VALUE,
         .meta = "SECONDS",
         .help = "length of the daily load swing (default 86400)",
         .take =
             Number(10, 10'000'000, "--day needs 10..10000000 seconds",
                    [&o](long n) { o.unit.meter.dayLengthMs = static_cast<uint64_t>(n) * 1000; })},
        {.name = "--overload",
         .takes = Takes::VALUE,
         .meta = "NAME",
         .help = "force the breaker, subfeed or main feed NAME into overload (repeatable)",
         .take =
             [&o](std::string_view v, std::string& error) {
                 if (v.empty())
                     error = "--overload needs a name";
                 else
                     o.overloads.emplace_back(v);
                 return !v.empty();
             }},
        {.name = "--voltage",
         .takes = Takes::VALUE,
         .meta = "P:PCT",
         .help = "run panel P (A or B) at PCT percent of its voltage rating",
         .take =
             [&o](std::string_view s, std::string& error) {
                 long n = 0;
                 if (s.size() < 3 || (s[0] != 'A' && s[0] != 'B') || s[1] != ':' ||
                     !jvo::cmdline::ParseNumber(s.substr(2), 0, 200, n)) {
                     error = "--voltage needs A:PCT or B:PCT (0..200)";
                     return false;
                 }
                 o.voltagePanel = s[0] - 'A';
                 o.voltageFactor = static_cast<double>(n) / 100.0;
                 return true;
             }},
        {.help = "Unit faults (both transports):"},
        {.name = "--late",
         .takes = Takes::VALUE,
         .meta = "F:MS",
         .help = "answer a fraction F of requests MS milliseconds late",
         .take =
             [&f](std::string_view s, std::string& error) {
                 const size_t colon = s.find(':');
                 long n = 0;
                 if (colon == std::string_view::npos ||
                     !ParseFraction(s.substr(0, colon), f.lateFraction) ||
                     !jvo::cmdline::ParseNumber(s.substr(colon + 1), 1, 60000, n)) {
                     error = "--late needs F:MS";
                     return false;
                 }
                 f.lateMs = static_cast<uint32_t>(n);
                 return true;
             }},
        {.name = "--silent", .help = "never answer", .take = jvo::cmdline::SetFlag(f.silent)},
        {.name = "--refuse",
         .takes = Takes::VALUE,
         .meta = "CODE",
         .help = "refuse command CODE (reply code 'n')",
         .take = Number(0, 255, "--refuse needs a command code 0..255",
                        [&f](long n) { f.refuseCommand = static_cast<int>(n); })},
        {.help = "Line faults (serial only):"},
        Fraction("--drop", "drop a fraction F (0..1) of replies", f.dropFraction),
        Fraction("--corrupt", "flip a bit in a fraction F of replies", f.corruptFraction),
        Fraction("--stale", "send the previous reply again before a fraction F of replies",
                 f.staleFraction),
        Fraction("--foreign", "send replies from another address before a fraction F of replies",
                 f.foreignFraction),
        Fraction("--duplicate", "send a fraction F of replies twice", f.duplicateFraction),
        Fraction("--reorder", "hold a fraction F of replies back until after the next reply",
                 f.reorderFraction),
        jvo::cmdline::HelpOption(o.help, "this text", true),
        jvo::cmdline::VersionOption(o.version, "the version of the program", true),
    };
}

std::string Usage() {
    Options unused;
    return "Usage: jvo-sim [--com N] [--listen [ADDR:]PORT] [--config FILE] [options]\n"
           "\n"
           "Serves a simulated JVO unit on a pseudo-terminal, pinned as COM N when asked (a "
           "symlink\n"
           "com<N> in $JVO_PORT_DIR or ~/.config/jvo/ports, removed on exit), and through a "
           "proxy\n"
           "server on TCP when asked. Both serve the same unit.\n"
           "\n" +
           jvo::cmdline::OptionHelp(SimRows(unused), 21) +
           "Options take their value as the next argument or after '=' (--com=5).\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 the unit could not be served, 3 the\n"
           "configuration file could not be loaded, 64 bad command line, 74 the output could not "
           "be\n"
           "written.\n"
           "\n"
           "A status line on standard error shows the clients and the transactions per second.\n"
           "SIGINT or SIGTERM stops the unit, removes the COM pin and closes the connections.\n";
}

// How jvo-sim words its complaints.
const jvo::cmdline::OptionStyle kSimStyle{.unknown = "unknown option %s",
                                          .unexpected = "unexpected argument %s",
                                          .needsValue = "missing value for %s",
                                          .splitFirst = true};

// Parses the command line; 0 to go on, else the exit status (after printing what is wrong), -1
// for 0 after --help or --version.
int ParseArgs(int argc, char** argv, Options& o) {
    std::vector<std::string> arguments;
    std::string error;
    if (!jvo::cmdline::ParseOptions(SimRows(o), kSimStyle, jvo::cmdline::ArgumentsOf(argc, argv),
                                    arguments, error)) {
        std::fprintf(stderr, "jvo-sim: %s\n\n%s", error.c_str(), Usage().c_str());
        return jvo::cmdline::kExitUsage;
    }
    if (o.help) return jvo::cmdline::WriteAll(stdout, Usage()) ? -1 : jvo::cmdline::kExitOutput;
    if (o.version)
        return jvo::cmdline::WriteAll(stdout, jvo::cmdline::VersionText("jvo-sim"))
                   ? -1
                   : jvo::cmdline::kExitOutput;
    o.serial.faults.seed = o.unit.meter.seed;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace jvo;
    IgnoreBrokenPipes();  // a closed standard output is an output error
    Options o;
    if (int status = ParseArgs(argc, argv, o); status != 0) return status < 0 ? 0 : status;

    UnitConfig config = sim::MakeDemoConfig();
    if (!o.configPath.empty() && !LoadConfigFile(config, o.configPath)) {
        std::fprintf(stderr, "jvo-sim: Failed to load configuration from: %s\n",
                     o.configPath.c_str());
        return cmdline::kExitFile;
    }

    // Stop requests are taken by the main thread alone, between status lines.
    StopRequests stop;

    sim::SimUnit unit(SystemClock::Instance(), config, o.unit);
    for (const std::string& name : o.overloads)
        if (unit.SetOverload(name, true) == 0) {
            std::fprintf(stderr, "jvo-sim: no breaker, subfeed or main feed is called \"%s\"\n",
                         name.c_str());
            return cmdline::kExitUsage;
        }
    if (o.voltagePanel >= 0) unit.SetVoltageFactor(o.voltagePanel, o.voltageFactor);

    // Windows has no pseudo-terminals: there the unit is served through the proxy listener only.
    const bool serial = Pty::Supported();
    if (!serial && (o.com > 0 || !o.proxy)) {
        std::fprintf(stderr,
                     "jvo-sim: this system has no pseudo-terminals: serve the unit with --listen "
                     "[ADDR:]PORT (and without --com)\n");
        return cmdline::kExitUsage;
    }
    sim::SimSerialPort port(unit, o.serial);
    if (serial && !port.Start()) {
        std::fprintf(stderr, "jvo-sim: cannot create a pseudo-terminal\n");
        return cmdline::kExitFailed;
    }
    std::string serialName = port.DevicePath();
    if (!serial) {
        serialName.clear();
    } else if (o.com > 0) {
        const std::string dir = PortRoots::Default().portDir;
        std::string why;
        if (!port.Pin(static_cast<int>(o.com), dir, &why)) {
            std::fprintf(stderr, "jvo-sim: cannot pin COM%ld: %s\n", o.com, why.c_str());
            return cmdline::kExitFailed;
        }
        serialName = "COM" + std::to_string(o.com);
        std::fprintf(stderr, "jvo-sim: unit on COM%ld (%s)\n", o.com, port.DevicePath().c_str());
    } else {
        std::fprintf(stderr, "jvo-sim: unit on %s\n", port.DevicePath().c_str());
    }

    TcpBase network;
    std::unique_ptr<sim::SimUnitBackend> backend;
    std::unique_ptr<ProxyServer> server;
    if (o.proxy) {
        backend =
            std::make_unique<sim::SimUnitBackend>(unit, o.serial.faults.Unit(), o.serial.baud);
        ProxyServerOptions so;
        so.address = o.proxyAddress;
        so.port = o.proxyPort;
        server = std::make_unique<ProxyServer>(*backend, so);
        if (!server->Start()) {
            std::fprintf(stderr, "jvo-sim: cannot listen on %s:%u\n", o.proxyAddress.c_str(),
                         static_cast<unsigned>(o.proxyPort));
            std::fprintf(stderr, "jvo-sim: %s\n",
                         cmdline::ListenFailure(o.proxyAddress, o.proxyPort).c_str());
            return cmdline::kExitFailed;
        }
        std::fprintf(stderr, "jvo-sim: proxy on %s:%u\n", o.proxyAddress.c_str(),
                     static_cast<unsigned>(server->Port()));
    }

    // The status line: rewritten in place on a terminal, a line per change otherwise.
    const bool tty = IsTerminal(stderr);
    std::string lastStatus;
    uint64_t last = unit.Transactions();
    for (;;) {
        if (stop.Wait(1000)) break;
        unit.Advance();  // alarm events carry their own time, polled or not
        const uint64_t now = unit.Transactions();
        std::string status =
            serial ? serialName + (port.IdleMs() < 3000 ? " active" : " idle") : std::string();
        if (server)
            status += std::string(serial ? ", " : "") + "proxy " +
                      std::to_string(server->Stats().clients) + " client" +
                      (server->Stats().clients == 1 ? "" : "s");
        const std::string rate = ", " + std::to_string(now - last) + " transactions/s";
        if (tty) {
            std::fprintf(stderr, "\rjvo-sim: %s%s, %llu in all   ", status.c_str(), rate.c_str(),
                         static_cast<unsigned long long>(now));
        } else if (status + rate != lastStatus) {
            std::fprintf(stderr, "jvo-sim: %s%s\n", status.c_str(), rate.c_str());
            lastStatus = status + rate;
        }
        last = now;
    }
    std::fprintf(stderr, "%sjvo-sim: stopping\n", tty ? "\n" : "");
    if (backend) backend->Cancel();
    if (server) server->Stop();
    if (serial) port.Stop();
    return 0;
}
