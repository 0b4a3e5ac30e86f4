// jvo-sim: a simulated JVO unit for demonstrations, training and tests. It serves one unit on a
// pseudo-terminal (optionally pinned as COM N) and, on request, through a proxy server on TCP.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/CmdLine.h"
#include "base/Files.h"
#include "config/ConfigFile.h"
#include "link/OpenProblems.h"
#include "link/PortDirectory.h"
#include "link/StopRequest.h"
#include "link/TcpBase.h"
#include "proxy/ProgramOptions.h"
#include "proxy/ProxyServer.h"
#include "sim/SimConfigs.h"
#include "sim/SimProxy.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace {

const char kUsage[] =
    "Usage: jvo-sim [--com N] [--listen [ADDR:]PORT] [--config FILE] [options]\n"
    "\n"
    "Serves a simulated JVO unit on a pseudo-terminal, pinned as COM N when asked (a symlink\n"
    "com<N> in $JVO_PORT_DIR or ~/.config/jvo/ports, removed on exit), and through a proxy\n"
    "server on TCP when asked. Both serve the same unit.\n"
    "\n"
    "  --com N            pin the unit as COM N (1..32); without it the device path is printed\n"
    "  --listen [ADDR:]PORT  serve the unit as a proxy server on ADDR (default 127.0.0.1; \".\"\n"
    "                     is this machine) and PORT (0..65535; 0 picks a free one, printed at\n"
    "                     start); clients connect with --proxy HOST[:PORT], e.g. --proxy .\n"
    "  --proxy [[ADDR:]PORT]  the former name of --listen (default 127.0.0.1:43015)\n"
    "  --config FILE      start from a *.jvo.cfg file instead of the built-in cabinet\n"
    "  --baud BAUD        pace replies at BAUD (e.g. 115200) like a real line; default: no pacing\n"
    "  --dip N            DIP switch address reported (default 0)\n"
    "  --schema N         schema version reported (default 4)\n"
    "  --seed N           seed of the simulated loads and noise (default 1)\n"
    "  --day SECONDS      length of the daily load swing (default 86400)\n"
    "  --overload NAME    force the breaker, subfeed or main feed NAME into overload (repeatable)\n"
    "  --voltage P:PCT    run panel P (A or B) at PCT percent of its voltage rating\n"
    "Unit faults (both transports):\n"
    "  --late F:MS        answer a fraction F of requests MS milliseconds late\n"
    "  --silent           never answer\n"
    "  --refuse CODE      refuse command CODE (reply code 'n')\n"
    "Line faults (serial only):\n"
    "  --drop F           drop a fraction F (0..1) of replies\n"
    "  --corrupt F        flip a bit in a fraction F of replies\n"
    "  --stale F          send the previous reply again before a fraction F of replies\n"
    "  --foreign F        send replies from another address before a fraction F of replies\n"
    "  --duplicate F      send a fraction F of replies twice\n"
    "  --reorder F        hold a fraction F of replies back until after the next reply\n"
    "  --help             this text\n"
    "Options take their value as the next argument or after '=' (--com=5).\n"
    "\n"
    "Exit status: 0 stopped by SIGINT or SIGTERM, 1 the unit could not be served, 3 the\n"
    "configuration file could not be loaded, 64 bad command line, 74 the output could not be\n"
    "written.\n"
    "\n"
    "A status line on standard error shows the clients and the transactions per second.\n"
    "SIGINT or SIGTERM stops the unit, removes the COM pin and closes the connections.\n";

bool ParseFraction(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && out >= 0 && out <= 1;
}

bool ParseInt(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && out >= lo && out <= hi;
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
};

// Parses the command line; 0 to go on, else the exit status (after printing what is wrong).
int ParseArgs(int argc, char** argv, Options& o) {
    auto bad = [](const std::string& what) {
        std::fprintf(stderr, "jvo-sim: %s\n\n%s", what.c_str(), kUsage);
        return jvo::cmdline::kExitUsage;
    };
    // "--option=value" is taken as "--option value".
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string_view name, value;
        if (jvo::cmdline::SplitInlineValue(argv[i], name, value)) {
            args.emplace_back(name);
            args.emplace_back(value);
        } else {
            args.emplace_back(argv[i]);
        }
    }
    argc = static_cast<int>(args.size()) + 1;
    std::vector<char*> list{argv[0]};
    for (std::string& a : args)
        list.push_back(a.data());
    argv = list.data();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            return jvo::cmdline::WriteAll(stdout, kUsage) ? -1 : jvo::cmdline::kExitOutput;
        }
        if (a == "--silent") {
            o.serial.faults.silent = true;
            continue;
        }
        if (a == "--proxy") {
            // The former name of --listen, whose value was optional: the default address and
            // port.
            std::fprintf(stderr,
                         "jvo-sim: note: --proxy is now called --listen (in every program, "
                         "--proxy HOST[:PORT] connects to a proxy server)\n");
            o.proxy = true;
            std::string error;
            if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0 &&
                !jvo::cmdline::ParseListenAddress(argv[++i], o.proxyAddress, o.proxyPort, error))
                return bad("--proxy: " + error);
            continue;
        }
        if (a == "--listen") {
            if (i + 1 >= argc) return bad("--listen needs [ADDR:]PORT");
            o.proxy = true;
            std::string error;
            if (!jvo::cmdline::ParseListenAddress(argv[++i], o.proxyAddress, o.proxyPort, error))
                return bad("--listen: " + error);
            continue;
        }
        static const char* const kValued[] = {
            "--com",     "--config",    "--baud",    "--dip",  "--schema",  "--seed",
            "--day",     "--overload",  "--voltage", "--drop", "--corrupt", "--stale",
            "--foreign", "--duplicate", "--reorder", "--late", "--refuse"};
        if (std::find(std::begin(kValued), std::end(kValued), a) == std::end(kValued))
            return bad(a.size() > 1 && a[0] == '-' ? "unknown option " + a
                                                   : "unexpected argument " + a);
        if (i + 1 >= argc) return bad("missing value for " + a);
        const char* v = argv[++i];
        long n = 0;
        if (a == "--com") {
            if (!ParseInt(v, jvo::kMinComPort, jvo::kMaxComPort, o.com))
                return bad("--com needs 1..32");
        } else if (a == "--config") {
            o.configPath = v;
        } else if (a == "--baud") {
            if (!ParseInt(v, 300, 4000000, n)) return bad("--baud needs a baud rate");
            o.serial.baud = static_cast<int>(n);
        } else if (a == "--dip") {
            if (!ParseInt(v, 0, 255, n)) return bad("--dip needs 0..255");
            o.unit.dipAddress = static_cast<uint8_t>(n);
        } else if (a == "--schema") {
            if (!ParseInt(v, 0, 65535, n)) return bad("--schema needs 0..65535");
            o.unit.schemaVersion = static_cast<uint16_t>(n);
        } else if (a == "--seed") {
            if (!ParseInt(v, 0, 0x7FFFFFFF, n)) return bad("--seed needs a number");
            o.unit.meter.seed = static_cast<uint32_t>(n);
        } else if (a == "--day") {
            if (!ParseInt(v, 10, 10'000'000, n)) return bad("--day needs 10..10000000 seconds");
            o.unit.meter.dayLengthMs = static_cast<uint64_t>(n) * 1000;
        } else if (a == "--overload") {
            if (!*v) return bad("--overload needs a name");
            o.overloads.emplace_back(v);
        } else if (a == "--voltage") {
            const std::string s(v);
            if (s.size() < 3 || (s[0] != 'A' && s[0] != 'B') || s[1] != ':' ||
                !ParseInt(s.c_str() + 2, 0, 200, n))
                return bad("--voltage needs A:PCT or B:PCT (0..200)");
            o.voltagePanel = s[0] - 'A';
            o.voltageFactor = static_cast<double>(n) / 100.0;
        } else if (a == "--drop") {
            if (!ParseFraction(v, o.serial.faults.dropFraction)) return bad("--drop needs 0..1");
        } else if (a == "--corrupt") {
            if (!ParseFraction(v, o.serial.faults.corruptFraction))
                return bad("--corrupt needs 0..1");
        } else if (a == "--stale") {
            if (!ParseFraction(v, o.serial.faults.staleFraction)) return bad("--stale needs 0..1");
        } else if (a == "--foreign") {
            if (!ParseFraction(v, o.serial.faults.foreignFraction))
                return bad("--foreign needs 0..1");
        } else if (a == "--duplicate") {
            if (!ParseFraction(v, o.serial.faults.duplicateFraction))
                return bad("--duplicate needs 0..1");
        } else if (a == "--reorder") {
            if (!ParseFraction(v, o.serial.faults.reorderFraction))
                return bad("--reorder needs 0..1");
        } else if (a == "--late") {
            const std::string s(v);
            const auto colon = s.find(':');
            if (colon == std::string::npos ||
                !ParseFraction(s.substr(0, colon).c_str(), o.serial.faults.lateFraction) ||
                !ParseInt(s.substr(colon + 1).c_str(), 1, 60000, n))
                return bad("--late needs F:MS");
            o.serial.faults.lateMs = static_cast<uint32_t>(n);
        } else if (a == "--refuse") {
            if (!ParseInt(v, 0, 255, n)) return bad("--refuse needs a command code 0..255");
            o.serial.faults.refuseCommand = static_cast<int>(n);
        } else {
            return bad("unknown option " + a);
        }
    }
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

    sim::SimSerialPort port(unit, o.serial);
    if (!port.Start()) {
        std::fprintf(stderr, "jvo-sim: cannot create a pseudo-terminal\n");
        return cmdline::kExitFailed;
    }
    std::string serialName = port.DevicePath();
    if (o.com > 0) {
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
        std::string status = serialName + (port.IdleMs() < 3000 ? " active" : " idle");
        if (server)
            status += ", proxy " + std::to_string(server->Stats().clients) + " client" +
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
    port.Stop();
    return 0;
}
