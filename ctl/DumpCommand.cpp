// jvoctl dump FILE: prints the configuration text dump of a file.
#include "config/ConfigDump.h"
#include "ctl/Commands.h"

namespace jvo::ctl {

namespace {

constexpr const char* kName = "dump";
constexpr const char* kUsage = "FILE";
constexpr const char* kDetails =
    "Prints the text dump of the configuration in FILE (the monitor's configuration dump), with\n"
    "control characters in its names shown as \\xNN.\n"
    "Exit status: 0 done, 3 FILE could not be read, 64 bad command line, 74 the output could\n"
    "not be written.\n";

}  // namespace

int RunDump(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv, {});
    if (!args.error.empty()) return UsageError(kName, kUsage, args.error);
    if (args.help) return PrintCommandHelp(kName, kUsage, kDetails);
    if (args.positional.size() != 1)
        return UsageError(kName, kUsage,
                          args.positional.empty() ? "missing FILE" : "too many arguments");
    UnitConfig config;
    if (!LoadForCommand(args.positional[0], config)) return kExitFile;
    return WriteText(stdout, ConfigDump(PrintableConfig(config))) ? kExitOk : kExitOutput;
}

}  // namespace jvo::ctl
