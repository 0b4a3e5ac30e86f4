// jvoctl info: identifies a unit. jvoctl ports: lists the COM ports that can be opened.
#include "base/FormatStr.h"
#include "base/Printable.h"
#include "ctl/Commands.h"
#include "ctl/LinkFailure.h"
#include "ctl/LinkOptions.h"
#include "link/PortDirectory.h"
#include "link/UnitClient.h"

namespace jvo::ctl {

namespace {
constexpr const char* kInfoUsage = kLinkUsage;
constexpr int kTries = 3;

template <class Fn>
bool Retry(Fn&& fn) {
    for (int i = 0; i < kTries; ++i)
        if (fn()) return true;
    return false;
}
}  // namespace

int RunInfo(int argc, char** argv) {
    Args args = ParseArgs(argc, argv, kLinkOptions);
    if (args.help)
        return PrintCommandHelp(
            "info", kInfoUsage,
            FormatStr("Asks the unit for its schema version, version, firmware build, hardware\n"
                      "version, DIP switch address and status (control characters in the unit's "
                      "texts are\n"
                      "shown as \\xNN).\n\n%s\n"
                      "Exit status: 0 done, 1 the unit (or the proxy server) refused the request,\n"
                      "4 the unit cannot be reached or does not answer, 64 bad command line,\n"
                      "74 the output could not be written.\n",
                      kLinkHelp)
                .c_str());
    if (!args.error.empty()) return UsageError("info", kInfoUsage, args.error);
    if (!args.positional.empty()) return UsageError("info", kInfoUsage, "unexpected argument");
    LinkTarget target;
    std::string error;
    if (!ParseLinkTarget(args, target, error)) return UsageError("info", kInfoUsage, error);

    UnitLink link;
    if (!OpenLinkTarget(link, target, "info")) return kExitNoUnit;
    UnitClient client(&link, 0);
    client.SetReplyTimeoutMs(target.timeoutMs);
    uint16_t schema = 0;
    if (!Retry([&] { return client.GetSchemaVersion(schema); }))
        return ReportLinkFailure("info", client.Status(), target);
    std::string out = FormatStr("Schema version:   %u\n", schema);
    VersionInfo v;
    if (Retry([&] { return client.GetVersion(v); })) {
        out += FormatStr("Version text:     %s\n", Printable(v.m_Text));
        out += FormatStr("Version numbers:  %u %u\n", v.m_Number1, v.m_Number2);
        out += FormatStr("Firmware build:   %u\n", v.m_FirmwareBuild);
        out += FormatStr("Hardware version: %u\n", v.m_HardwareVersion);
    } else {
        out += "Version:          (no answer)\n";
    }
    uint8_t dip = 0;
    if (Retry([&] { return client.GetDipAddress(dip); }))
        out += FormatStr("DIP address:      %u\n", dip);
    else
        out += "DIP address:      (no answer)\n";
    uint16_t state = 0;
    uint32_t value = 0;
    if (Retry([&] { return client.GetStatus(state, value); }))
        out += FormatStr("Status:           state 0x%04X%s, value %u\n", state,
                         state == 0x1111 ? " (running)" : "", value);
    else
        out += "Status:           (no answer)\n";
    return WriteText(stdout, out) ? kExitOk : kExitOutput;
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
    std::string out;
    if (ports.empty()) out = "No COM port can be opened.\n";
    for (const PortEntry& p : ports) {
        out += FormatStr("COM%-3d %s", p.number, Printable(p.path));
        if (!p.byId.empty()) out += FormatStr("  (%s)", Printable(p.byId));
        out += "\n";
    }
    return WriteText(stdout, out) ? kExitOk : kExitOutput;
}

}  // namespace jvo::ctl
