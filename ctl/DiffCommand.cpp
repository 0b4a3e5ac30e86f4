// jvoctl diff FILE1 FILE2: what differs between two configuration files, in plain words.
#include "config/ConfigDiff.h"
#include "ctl/Commands.h"

namespace jvo::ctl {

namespace {

constexpr const char* kName = "diff";
constexpr const char* kUsage = "FILE1 FILE2";
constexpr const char* kDetails =
    "Lists what differs from the configuration in FILE1 to the one in FILE2, one line for each\n"
    "unit, panel, main feed, breaker, subfeed or channel with its changed fields, as in\n"
    "  Panel A, breaker at position 5 \"Lights\": rating 20 -> 30\n"
    "Breakers and subfeeds are matched by their position. Prints nothing when the\n"
    "configurations are the same. Passwords are only said to differ.\n"
    "Exit status: 0 the same, 1 they differ, 3 a file could not be read, 64 bad command line,\n"
    "74 the output could not be written.\n";

}  // namespace

int RunDiff(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv, {});
    if (!args.error.empty()) return UsageError(kName, kUsage, args.error);
    if (args.help) return PrintCommandHelp(kName, kUsage, kDetails);
    if (args.positional.size() != 2)
        return UsageError(
            kName, kUsage,
            args.positional.size() < 2 ? "two files are needed" : "too many arguments");
    UnitConfig before, after;
    if (!LoadForCommand(args.positional[0], before) || !LoadForCommand(args.positional[1], after))
        return kExitFile;
    std::string text;
    for (const std::string& line : DiffConfigs(PrintableConfig(before), PrintableConfig(after)))
        text += line + "\n";
    if (!WriteText(stdout, text)) return kExitOutput;
    return text.empty() ? kExitOk : kExitDiffer;
}

}  // namespace jvo::ctl
