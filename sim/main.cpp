// jvo-sim: a simulated JVO unit for demonstrations, training and tests.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/ConfigFile.h"
#include "link/PortDirectory.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace {

volatile sig_atomic_t g_Stop = 0;
void OnSignal(int) {
    g_Stop = 1;
}

const char kUsage[] =
    "Usage: jvo-sim [--com N] [--config FILE] [--baud BAUD] [fault options]\n"
    "\n"
    "Serves a simulated JVO unit on a pseudo-terminal pinned as COM N (a symlink com<N> in\n"
    "$JVO_PORT_DIR or ~/.config/jvo/ports, removed on exit).\n"
    "\n"
    "  --com N            pin the unit as COM N (1..32); without it the device path is printed\n"
    "  --config FILE      start from a *.jvo.cfg file instead of the built-in cabinet\n"
    "  --baud BAUD        pace replies at BAUD (e.g. 115200) like a real line; default: no pacing\n"
    "  --dip N            DIP switch address reported (default 0)\n"
    "  --schema N         schema version reported (default 4)\n"
    "  --drop F           drop a fraction F (0..1) of replies\n"
    "  --corrupt F        flip a bit in a fraction F of replies\n"
    "  --late F:MS        answer a fraction F of requests MS milliseconds late\n"
    "  --stale F          send the previous reply again before a fraction F of replies\n"
    "  --foreign F        send replies from another address before a fraction F of replies\n"
    "  --silent           never answer\n"
    "  --refuse CODE      answer command CODE with a code other than 'd'\n"
    "  --help             this text\n";

bool ParseFraction(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && out >= 0 && out <= 1;
}

bool ParseInt(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace jvo;
    long com = 0;
    std::string configPath;
    sim::SimOptions options;
    sim::SerialOptions serial;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        double f = 0;
        auto bad = [&](const char* what) {
            std::fprintf(stderr, "jvo-sim: %s\n\n%s", what, kUsage);
            return 64;
        };
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!std::strcmp(a, "--silent")) {
            serial.faults.silent = true;
            continue;
        }
        if (!v) return bad("missing value");
        ++i;
        if (!std::strcmp(a, "--com")) {
            if (!ParseInt(v, 1, 32, com)) return bad("--com needs 1..32");
        } else if (!std::strcmp(a, "--config")) {
            configPath = v;
        } else if (!std::strcmp(a, "--baud")) {
            if (!ParseInt(v, 300, 4000000, n)) return bad("--baud needs a baud rate");
            serial.baud = static_cast<int>(n);
        } else if (!std::strcmp(a, "--dip")) {
            if (!ParseInt(v, 0, 255, n)) return bad("--dip needs 0..255");
            options.dipAddress = static_cast<uint8_t>(n);
        } else if (!std::strcmp(a, "--schema")) {
            if (!ParseInt(v, 0, 65535, n)) return bad("--schema needs 0..65535");
            options.schemaVersion = static_cast<uint16_t>(n);
        } else if (!std::strcmp(a, "--drop")) {
            if (!ParseFraction(v, serial.faults.dropFraction)) return bad("--drop needs 0..1");
        } else if (!std::strcmp(a, "--corrupt")) {
            if (!ParseFraction(v, serial.faults.corruptFraction))
                return bad("--corrupt needs 0..1");
        } else if (!std::strcmp(a, "--stale")) {
            if (!ParseFraction(v, serial.faults.staleFraction)) return bad("--stale needs 0..1");
        } else if (!std::strcmp(a, "--foreign")) {
            if (!ParseFraction(v, serial.faults.foreignFraction))
                return bad("--foreign needs 0..1");
        } else if (!std::strcmp(a, "--late")) {
            std::string s(v);
            auto colon = s.find(':');
            if (colon == std::string::npos ||
                !ParseFraction(s.substr(0, colon).c_str(), serial.faults.lateFraction) ||
                !ParseInt(s.substr(colon + 1).c_str(), 1, 60000, n))
                return bad("--late needs F:MS");
            serial.faults.lateMs = static_cast<uint32_t>(n);
        } else if (!std::strcmp(a, "--refuse")) {
            if (!ParseInt(v, 0, 255, n)) return bad("--refuse needs a command code 0..255");
            serial.faults.refuseCommand = static_cast<int>(n);
        } else {
            (void)f;
            return bad("unknown option");
        }
    }

    UnitConfig config = sim::MakeDemoConfig();
    if (!configPath.empty() && !LoadConfigFile(config, configPath)) {
        std::fprintf(stderr, "jvo-sim: Failed to load configuration from: %s\n",
                     configPath.c_str());
        return 3;
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    sim::SimUnit unit(SystemClock::Instance(), config, options);
    sim::SimSerialPort port(unit, serial);
    if (!port.Start()) {
        std::fprintf(stderr, "jvo-sim: cannot create a pseudo-terminal\n");
        return 1;
    }
    if (com > 0) {
        const std::string dir = PortRoots::Default().portDir;
        if (!port.Pin(static_cast<int>(com), dir)) {
            std::fprintf(stderr, "jvo-sim: cannot pin COM%ld in %s\n", com, dir.c_str());
            return 1;
        }
        std::fprintf(stderr, "jvo-sim: unit on COM%ld (%s)\n", com, port.DevicePath().c_str());
    } else {
        std::fprintf(stderr, "jvo-sim: unit on %s\n", port.DevicePath().c_str());
    }

    uint64_t last = unit.Transactions();
    while (!g_Stop) {
        ::sleep(1);
        const uint64_t now = unit.Transactions();
        std::fprintf(stderr, "\rjvo-sim: %llu transactions, %llu/s   ",
                     static_cast<unsigned long long>(now),
                     static_cast<unsigned long long>(now - last));
        last = now;
    }
    std::fprintf(stderr, "\njvo-sim: stopped\n");
    port.Stop();
    return 0;
}
