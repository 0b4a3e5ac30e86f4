// jvoctl info: identifies a unit. jvoctl ports: lists the COM ports that can be opened.
#include <cstdio>

#include "ctl/Commands.h"
#include "ctl/LinkOptions.h"
#include "link/PortDirectory.h"
#include "link/UnitClient.h"

namespace jvo::ctl {

namespace {
constexpr const char* kInfoUsage = "(--com N | --device PATH | --proxy HOST[:PORT])";
constexpr int kTries = 3;

template <class Fn>
bool Retry(Fn&& fn) {
    for (int i = 0; i < kTries; ++i)
        if (fn()) return true;
    return false;
}
}  // namespace

int RunInfo(int argc, char** argv) {
    Args args = ParseArgs(argc, argv, {"--com", "--device", "--proxy"});
    if (args.help)
        return PrintCommandHelp("info", kInfoUsage,
                                "Asks the unit for its schema version, version, firmware build, "
                                "hardware version, DIP switch address and status.\n"
                                "Exit status 4 when the unit does not answer.\n");
    if (!args.error.empty()) return UsageError("info", kInfoUsage, args.error);
    if (!args.positional.empty()) return UsageError("info", kInfoUsage, "unexpected argument");
    LinkTarget target;
    std::string error;
    if (!ParseLinkTarget(args, true, target, error)) return UsageError("info", kInfoUsage, error);

    UnitLink link;
    if (!OpenLinkTarget(link, target)) return kExitNoUnit;
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    if (!Retry([&] { return client.GetSchemaVersion(schema); })) {
        std::fprintf(stderr, "The unit on %s does not answer.\n", target.Describe().c_str());
        return kExitNoUnit;
    }
    std::printf("Schema version:   %u\n", schema);
    VersionInfo v;
    if (Retry([&] { return client.GetVersion(v); })) {
        std::printf("Version text:     %s\n", v.m_Text.c_str());
        std::printf("Version numbers:  %u %u\n", v.m_Number1, v.m_Number2);
        std::printf("Firmware build:   %u\n", v.m_FirmwareBuild);
        std::printf("Hardware version: %u\n", v.m_HardwareVersion);
    } else {
        std::printf("Version:          (no answer)\n");
    }
    uint8_t dip = 0;
    if (Retry([&] { return client.GetDipAddress(dip); }))
        std::printf("DIP address:      %u\n", dip);
    else
        std::printf("DIP address:      (no answer)\n");
    uint16_t state = 0;
    uint32_t value = 0;
    if (Retry([&] { return client.GetStatus(state, value); }))
        std::printf("Status:           state 0x%04X%s, value %u\n", state,
                    state == 0x1111 ? " (running)" : "", value);
    else
        std::printf("Status:           (no answer)\n");
    return kExitOk;
}

int RunPorts(int argc, char** argv) {
    Args args = ParseArgs(argc, argv, {});
    if (args.help)
        return PrintCommandHelp("ports", "",
                                "Lists the COM ports 1..32 that can be opened now, with the device "
                                "each one resolves to. Pins live in $JVO_PORT_DIR or "
                                "~/.config/jvo/ports (symlinks named com<n>).\n");
    if (!args.error.empty() || !args.positional.empty())
        return UsageError("ports", "", args.error.empty() ? "unexpected argument" : args.error);
    const auto ports = ProbeComPorts();
    if (ports.empty()) std::printf("No COM port can be opened.\n");
    for (const PortEntry& p : ports) {
        std::printf("COM%-3d %s", p.number, p.path.c_str());
        if (!p.byId.empty()) std::printf("  (%s)", p.byId.c_str());
        std::printf("\n");
    }
    return kExitOk;
}

}  // namespace jvo::ctl
